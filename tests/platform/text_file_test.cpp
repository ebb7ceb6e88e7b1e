#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/test_env.h"

namespace {

// What a text stream should deliver of these bytes: those before the first
// Ctrl-Z, each CR LF as LF.
std::string AsText(std::string strBytes) {
  strBytes.erase(std::min(strBytes.find('\x1A'), strBytes.size()));
  for (std::size_t nPos = strBytes.find("\r\n"); nPos != std::string::npos;
       nPos = strBytes.find("\r\n", nPos + 1)) {
    strBytes.erase(nPos, 1);
  }
  return strBytes;
}

class TextFileTest : public ::testing::Test {
 protected:
  testsupport::TempDir m_dir;
};

// Every sequence of Gets calls must give what the C library's fgets gives on
// the text of the same bytes in a binary file: the count of characters it
// took, buffer bytes and end-of-file flag.
TEST_F(TextFileTest, GetsIsFgetsOverTheTextBeforeCtrlZWithCrLfAsLf) {
  const std::vector<std::string> kContents = {
      "",
      "a",
      "\n",
      "ab\r\ncd\r\n",
      "ab\ncd",
      "one\r\n\r\n\r\nthree",
      "lone\rcr\r",
      "\r",
      "\r\r\n\r",
      "cr at end\r\n\r",
      std::string("nul\0byte\r\n\0", 12),
      "x\r\ny\rz\r\r\r\n\n",
      "\x1A",
      "ab\x1Axy\n",
      "dos\r\n\x1A\r\n",
      "a\r\x1A\n",
      "\r\x1A",
      std::string("\0\x1A\0", 3),
  };
  for (const std::string& strBytes : kContents) {
    const std::string strPath = m_dir.WriteFile("crlf", strBytes);
    const std::string strLfPath = m_dir.WriteFile("lf", AsText(strBytes));
    // From 2: the reader never reads with a count of 1, where C libraries
    // differ.
    for (int nCount = 2; nCount <= 6; ++nCount) {
      SCOPED_TRACE(::testing::Message()
                   << "bytes " << ::testing::PrintToString(strBytes)
                   << ", count " << nCount);
      platform::TextFile file;
      ASSERT_TRUE(file.Open(strPath));
      std::FILE* pExpected = std::fopen(strLfPath.c_str(), "rb");
      ASSERT_NE(pExpected, nullptr);
      for (int nRead = 0; nRead < 20; ++nRead) {
        std::vector<char> got(8, '#');
        std::vector<char> expected(8, '#');
        const long nBefore = std::ftell(pExpected);
        const int nGot = file.Gets(got.data(), nCount);
        const bool bExpected =
            std::fgets(expected.data(), nCount, pExpected) != nullptr;
        ASSERT_EQ(nGot, bExpected ? std::ftell(pExpected) - nBefore : 0)
            << "read " << nRead;
        ASSERT_EQ(got, expected) << "read " << nRead;
        ASSERT_EQ(file.AtEnd(), std::feof(pExpected) != 0) << "read " << nRead;
      }
      std::fclose(pExpected);
    }
  }
}

TEST_F(TextFileTest, CrLfCountsAsOneCharacterAndLoneCrStays) {
  platform::TextFile file;
  ASSERT_TRUE(file.Open(m_dir.WriteFile("f", "ab\r\nc\rd\r\n")));
  char szBuffer[8];
  ASSERT_EQ(file.Gets(szBuffer, 4), 3);
  EXPECT_STREQ(szBuffer, "ab\n");
  ASSERT_EQ(file.Gets(szBuffer, 8), 4);
  EXPECT_STREQ(szBuffer, "c\rd\n");
  EXPECT_FALSE(file.AtEnd());
  EXPECT_EQ(file.Gets(szBuffer, 8), 0);
  EXPECT_TRUE(file.AtEnd());
}

TEST_F(TextFileTest, ClosedFileReadsNothing) {
  platform::TextFile file;
  char szBuffer[4] = "abc";
  EXPECT_EQ(file.Gets(szBuffer, 4), 0);
  EXPECT_TRUE(file.AtEnd());
  ASSERT_TRUE(file.Open(m_dir.WriteFile("f", "text\n")));
  file.Close();
  file.Close();
  EXPECT_EQ(file.Gets(szBuffer, 4), 0);
  EXPECT_STREQ(szBuffer, "abc");
}

TEST_F(TextFileTest, OpenAgainStartsOnTheNewFile) {
  platform::TextFile file;
  ASSERT_TRUE(file.Open(m_dir.WriteFile("first", "first\n")));
  ASSERT_TRUE(file.Open(m_dir.WriteFile("second", "second\n")));
  char szBuffer[16];
  ASSERT_EQ(file.Gets(szBuffer, 16), 7);
  EXPECT_STREQ(szBuffer, "second\n");
}

// None of these may block or be taken for a file.
TEST_F(TextFileTest, OpenRefusesWhatIsNotAReadableRegularFile) {
  struct Case {
    const char* pszName;
    std::string strPath;
  };
  const std::vector<Case> cases = {
      {"missing file", m_dir.Path() + "/missing.txt"},
      {"directory", m_dir.Path()},
      {"empty path", ""},
      {"embedded NUL", m_dir.WriteFile("real", "x\n") + std::string(1, '\0')},
  };
  for (const Case& c : cases) {
    platform::TextFile file;
    EXPECT_FALSE(file.Open(c.strPath)) << c.pszName;
  }
}

}  // namespace
