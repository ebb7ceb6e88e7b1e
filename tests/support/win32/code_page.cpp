#include "support/win32/code_page.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // the MinGW C++ library defines it already
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace testsupport {

unsigned CodePageUnderTest() {
  const unsigned nCodePage = GetACP();
  if (const char* pszRequired = std::getenv("XVER_TEST_CODE_PAGE")) {
    EXPECT_EQ(nCodePage, std::strtoul(pszRequired, nullptr, 10))
        << "XVER_TEST_CODE_PAGE asks for another code page: is its locale "
           "there (locale -a)?";
  }
  return nCodePage;
}

}  // namespace testsupport
