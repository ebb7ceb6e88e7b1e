// xversend on a Windows host: requests in Unicode that the ANSI code page
// may not hold, and double-byte code pages. It hands over exactly what its
// caller gave, or refuses saying why.
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // the MinGW C++ library defines it already
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "frontend/xversend_fixture.h"
#include "support/win32/code_page.h"

namespace {

using testsupport::ProcessResult;
using testsupport::XversendTest;

// Run in code page 1252 and again in 932 (see tests/CMakeLists.txt). Requests
// are written here in UTF-8 and reach xversend in Unicode, as from a caller
// that starts it with CreateProcessW; the slot shows the bytes handed over.
TEST_F(XversendTest, RequestIsHandedOverExactlyInTheCodePageOrRefused) {
  const std::string strRefused1252 =
      "xversend: the request has characters that code page 1252 cannot hold\n";
  const std::string strRefused932 =
      "xversend: the request has characters that code page 932 cannot hold\n";
  const struct {
    unsigned nCodePage;
    const char* pszStatus;
    const char* pszSlot;     // the slot's text before
    const char* pszRequest;  // UTF-8
    int nExit;
    const char* pszSlotAfter;  // null: as before
    const std::string& strStderr;
  } kCases[] = {
      // Best fit would make ａ (fullwidth) an a: another file.
      {1252, "READY", "", "C:\\data\\ａ.txt", 0, nullptr, strRefused1252},
      // '?' in place of each letter would be a wildcard.
      {1252, "READY", "", "C:\\data\\Жук.txt", 0, nullptr, strRefused1252},
      // Best fit would make the fullwidth quote a real one.
      {1252, "READY", "", "C:\\data\\＂x＂.txt", 0, nullptr, strRefused1252},
      {1252, "STARTING", "", "Жук", 0, nullptr, strRefused1252},
      {1252, "READY", "", "C:\\data\\Größe.txt", 1, "C:\\data\\Gr\366\337e.txt",
       ""},
      {1252, "READY", "", "C:\\Data\\obs 001.txt", 1, "C:\\Data\\obs 001.txt",
       ""},
      // The first character ends in 0x5C, which is no backslash: a bare word.
      {932, "STARTING", "", "表示", 1, "\x95\x5C\x8E\xA6", ""},
      // ソフト (0x83 0x5C ...) in the slot is no path: it holds none back.
      {932, "READY", "\x83\x5C\x83\x74\x83\x67", "C:\\data\\x.txt", 1,
       "C:\\data\\x.txt", ""},
      // The backslash after double-byte characters is one.
      {932, "STARTING", "", "データ\\obs.txt", 0, nullptr, ""},
      {932, "READY", "", "C:\\data\\Жук.txt", 1,
       "C:\\data\\\x84\x47\x84\x85\x84\x7B.txt", ""},
      {932, "READY", "", "C:\\data\\Größe.txt", 0, nullptr, strRefused932},
  };
  const unsigned nCodePage = testsupport::CodePageUnderTest();
  int nRun = 0;
  for (const auto& c : kCases) {
    if (c.nCodePage != nCodePage) continue;
    ++nRun;
    SCOPED_TRACE(c.pszRequest);
    WriteText("MM_XMITERSTATUS", c.pszStatus);
    WriteText("MM_XMITPATH", c.pszSlot);
    const ProcessResult result =
        testsupport::RunProcess({testsupport::XversendPath(), c.pszRequest}, {},
                                testsupport::ArgText::Utf8);
    EXPECT_EQ(result.nExitCode, c.nExit);
    EXPECT_EQ(result.strStderr, c.strStderr);
    EXPECT_EQ(ReadText("MM_XMITPATH"),
              c.pszSlotAfter ? c.pszSlotAfter : c.pszSlot);
  }
  if (nRun == 0) GTEST_SKIP() << "no cases for code page " << nCodePage;
}

}  // namespace
