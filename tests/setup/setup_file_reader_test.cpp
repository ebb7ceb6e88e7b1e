#include "setup/setup_file_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_env.h"

namespace {

constexpr char kKey[] = "X.25 address = ";
constexpr char kEmpty[] = "Empty Line Reached";
constexpr char kEnd[] = "End Of File Reached";

class SetupFileReaderTest : public ::testing::Test {
 protected:
  // Opens a file holding exactly these bytes.
  platform::TextFile& Open(const std::string& strBytes) {
    m_file.Open(m_dir.WriteFile("setup.txt", strBytes));
    return m_file;
  }

  testsupport::TempDir m_dir;
  platform::TextFile m_file;
  CSetupFileReader m_reader;
};

TEST_F(SetupFileReaderTest, KeyLineGivesTheValueAndLeavesTheStreamBehindIt) {
  const std::string k = kKey;
  const struct {
    const char* pszName;
    std::string strBytes;
    std::int32_t bResult;
    std::string strValue;
    std::string strNextLine;  // what ReadLine returns afterwards
  } kCases[] = {
      {"value and comment", k + "123; free comment\nnext\n", 1, "123", "next"},
      {"first ';' ends value", k + "1;2;\nnext\n", 1, "1", "next"},
      {"white space trimmed, inner blanks kept", k + " \t12 34\t ;\nnext\n", 1,
       "12 34", "next"},
      {"BAD FILE is just text here", k + "a BAD FILE;\n", 1, "a BAD FILE",
       kEmpty},
      {"NUL hides nothing", k + std::string(" 1\0 2 ;\n", 8), 1,
       std::string("1\0 2", 4), kEmpty},
      {"no ';'", k + "123 comment\nnext\n", 1, "", "next"},
      {"only blanks before ';'", k + "   ;\nnext\n", 1, "", "next"},
      {"line ends after key", k + "\nnext\n", 1, "", "next"},
      {"file ends after key", k, 1, "", kEnd},
      {"CR LF line end", k + "123;\r\nnext\r\n", 1, "123", "next"},
      // Tails after the key: at most 79 characters, line end included.
      {"tail of 78", k + "1;" + std::string(76, 'c') + "\nnext\n", 1, "1",
       "next"},
      {"tail of 79 leaves its LF", k + "1;" + std::string(77, 'c') + "\nnext\n",
       1, "1", kEmpty},
      {"tail of 80 leaves one character",
       k + "1;" + std::string(77, 'c') + "z\nnext\n", 1, "1", "z"},
      {"tail of 78 with CR LF", k + "1;" + std::string(76, 'c') + "\r\nnext\n",
       1, "1", "next"},
      {"';' as 79th character", k + std::string(78, 'a') + ";\n", 1,
       std::string(78, 'a'), kEmpty},
      {"';' as 80th character", k + std::string(79, 'a') + ";\n", 1, "", ";"},
      // Mismatches consume only the key's length of the line.
      {"no blank after '='", "X.25 address =123;\nnext\n", 0, "BAD FILE",
       "23;"},
      {"letter case", "x.25 address = 123;\nnext\n", 0, "BAD FILE", "123;"},
      {"blank in front", " X.25 address = 1;\nnext\n", 0, "BAD FILE", " 1;"},
      {"line shorter than key", "X.25 address\nnext\n", 0, "BAD FILE", "next"},
      {"NUL inside key", std::string("X.25\0address = 1;\n", 18), 0, "BAD FILE",
       "1;"},
      {"empty file", "", 0, "BAD FILE", kEnd},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszName);
    CSetupFileReader reader;
    platform::TextFile& file = Open(c.strBytes);
    std::string strValue = "old";
    EXPECT_EQ(reader.ReadKeyLine(kKey, strValue, file), c.bResult);
    EXPECT_EQ(strValue, c.strValue);
    EXPECT_EQ(reader.IsLastReadOk(), c.bResult);
    EXPECT_EQ(reader.ReadLine(file), c.strNextLine);
  }
}

TEST_F(SetupFileReaderTest, KeyTooLongForTheBufferFailsWithoutReading) {
  const std::string strLine = std::string(80, 'k') + ";\n";
  platform::TextFile& file = Open(strLine + std::string(79, 'k') + "v;\n");
  std::string strValue;
  EXPECT_EQ(m_reader.ReadKeyLine(std::string(80, 'k'), strValue, file), 0);
  EXPECT_EQ(strValue, "BAD FILE");
  EXPECT_EQ(m_reader.ReadLine(file), std::string(80, 'k') + ";");
  EXPECT_EQ(m_reader.ReadKeyLine(std::string(79, 'k'), strValue, file), 1);
  EXPECT_EQ(strValue, "v");
}

TEST_F(SetupFileReaderTest, KeyLineAtTheEndFailsAfterEveryLineWasRead) {
  platform::TextFile& file = Open(std::string(kKey) + "1;\n");
  std::string strValue;
  ASSERT_EQ(m_reader.ReadKeyLine(kKey, strValue, file), 1);
  EXPECT_EQ(m_reader.ReadKeyLine(kKey, strValue, file), 0);
  EXPECT_EQ(strValue, "BAD FILE");
  EXPECT_EQ(m_reader.ReadKeyLine(kKey, strValue, file), 0);
  EXPECT_EQ(m_reader.IsLastReadOk(), 0);
}

TEST_F(SetupFileReaderTest, PlainLinesAndTheEndOfTheFile) {
  const std::string k298(298, 'a');
  const std::string k299(299, 'a');
  const struct {
    const char* pszName;
    std::string strBytes;
    std::vector<std::string> lines;
  } kCases[] = {
      {"last line with LF ends in two steps",
       "text\n",
       {"text", kEmpty, kEnd, kEnd}},
      {"last line without LF", "text", {"text", kEnd, kEnd}},
      {"empty file", "", {kEmpty, kEnd}},
      {"blanks only", "   \n", {"", kEmpty, kEnd}},
      {"leading blanks stay", "  a  \n", {"  a", kEmpty, kEnd}},
      {"all trailing white space goes", "a \t\v\f\r \n", {"a", kEmpty, kEnd}},
      {"empty lines", "\n\nx", {kEmpty, kEmpty, "x", kEnd}},
      {"CR LF lines",
       "one\r\n\r\ntwo\r\n",
       {"one", kEmpty, "two", kEmpty, kEnd}},
      {"lone CR stays inside", "a\rb\n", {"a\rb", kEmpty, kEnd}},
      {"298 characters", k298 + "\n", {k298, kEmpty, kEnd}},
      {"299 characters leave the LF",
       k299 + "\n",
       {k299, kEmpty, kEmpty, kEnd}},
      {"300 characters", k299 + "z\n", {k299, "z", kEmpty, kEnd}},
      {"298 characters and CR LF", k298 + "\r\n", {k298, kEmpty, kEnd}},
      {"350 characters",
       std::string(350, 'b') + "\n",
       {std::string(299, 'b'), std::string(51, 'b'), kEmpty, kEnd}},
      {"NUL first is no empty line",
       std::string("\0 \nx\n", 5),
       {std::string(1, '\0'), "x", kEmpty, kEnd}},
      {"NUL hides nothing",
       std::string("a\0b \nx", 6),
       {std::string("a\0b", 3), "x", kEnd}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszName);
    CSetupFileReader reader;
    platform::TextFile& file = Open(c.strBytes);
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      EXPECT_EQ(reader.ReadLine(file), c.lines[i]) << "line " << i;
      const bool bFixedText = c.lines[i] == kEmpty || c.lines[i] == kEnd;
      EXPECT_EQ(reader.IsLastReadOk(), bFixedText ? 0 : 1) << "line " << i;
    }
  }
}

}  // namespace
