#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "support/win32/code_page.h"

namespace {

// Run in code page 1252 and again in 932 (see tests/CMakeLists.txt). In 932
// "ソ" is 0x83 0x5C and "表" 0x95 0x5C: their second byte is no backslash.
TEST(PathMarkersTest, AreFoundCharacterByCharacterInTheCodePage) {
  const struct {
    unsigned nCodePage;
    const char* pszText;
    bool bPath;
  } kCases[] = {
      {1252, "C:\\data\\a.txt", true},
      {1252, "C:", true},
      {1252, "name\\only", true},
      {1252, "word", false},
      {1252, "/data/a.txt", false},
      {1252, "", false},
      {1252, "\x83\x5C\x83\x74\x83\x67", true},  // three characters, one '\'
      {932, "\x83\x5C\x83\x74\x83\x67", false},  // ソフト
      {932, "\x95\x5C\x8E\xA6", false},          // 表示
      {932, "\x83\x66\x81\x5B\x83\x5E\\obs.txt", true},  // データ\obs.txt
      {932, "\x95\x5C:", true},
      {932, "C:\\data\\\x95\x5C.txt", true},
      {932, "\xB1\x5C", true},   // single-byte katakana, then a backslash
      {932, "word\x83", false},  // a lead byte at the end of the text
      {932, "word", false},
  };
  const unsigned nCodePage = testsupport::CodePageUnderTest();
  int nRun = 0;
  for (const auto& c : kCases) {
    if (c.nCodePage != nCodePage) continue;
    ++nRun;
    EXPECT_EQ(platform::hasPathMarker(c.pszText), c.bPath) << c.pszText;
  }
  if (nRun == 0) GTEST_SKIP() << "no cases for code page " << nCodePage;
}

}  // namespace
