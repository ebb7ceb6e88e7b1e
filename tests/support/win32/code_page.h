// Tests whose cases depend on the ANSI code page they run in (Windows).
#pragma once

namespace testsupport {

// The ANSI code page of this process. Under Wine it follows the locale that
// Wine was started in (LC_ALL=ja_JP.UTF-8: 932), and children inherit it. A
// run that sets XVER_TEST_CODE_PAGE fails unless in that code page: without
// the locale its cases would otherwise all be skipped.
unsigned CodePageUnderTest();

}  // namespace testsupport
