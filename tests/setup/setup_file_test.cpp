#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "sharedmem/xver_interface.h"
#include "support/child_process.h"
#include "support/test_env.h"

namespace {

struct Settings {
  std::int32_t bAutoBinaryXmit;
  std::string strX25Address;
  std::string strCesAddress;
  std::string strComPortNumber;

  bool operator==(const Settings& other) const {
    return bAutoBinaryXmit == other.bAutoBinaryXmit &&
           strX25Address == other.strX25Address &&
           strCesAddress == other.strCesAddress &&
           strComPortNumber == other.strComPortNumber;
  }
  friend std::ostream& operator<<(std::ostream& os, const Settings& s) {
    return os << "{" << s.bAutoBinaryXmit << ", \"" << s.strX25Address
              << "\", \"" << s.strCesAddress << "\", \"" << s.strComPortNumber
              << "\"}";
  }
};

// What the settings hold before a read: values no file produces, so a test
// sees which settings the read stored.
const Settings kUnset = {7, "unset", "unset", "unset"};
const Settings kExampleSettings = {1, "123", "002", "1"};

const std::vector<std::string> kExample = {
    "Transceiver Setup File  ",
    "any text, ignored",
    "Automatic Binary Transmission Enabled = Yes",
    "X.25 address = 123; free comment",
    "Coast Earth Station Address = 002;",
    "Com Port Number = 1;",
};

std::string Join(const std::vector<std::string>& lines,
                 const std::string& strEnd) {
  std::string strBytes;
  for (const std::string& strLine : lines) strBytes += strLine + strEnd;
  return strBytes;
}

// The example with line nIndex replaced by the given lines.
std::vector<std::string> ExampleWith(std::size_t nIndex,
                                     const std::vector<std::string>& lines) {
  std::vector<std::string> result = kExample;
  result.erase(result.begin() + nIndex);
  result.insert(result.begin() + nIndex, lines.begin(), lines.end());
  return result;
}

class SetupFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_strSavedPath = CXverInterface::m_strSetupFilePath;
    Store(kUnset);
  }
  void TearDown() override {
    CXverInterface::m_strSetupFilePath = m_strSavedPath;
    Store({0, "", "", ""});
  }

  static void Store(const Settings& s) {
    CXverInterface::m_bAutoBinaryXmit = s.bAutoBinaryXmit;
    CXverInterface::m_strX25Address = s.strX25Address;
    CXverInterface::m_strCesAddress = s.strCesAddress;
    CXverInterface::m_strComPortNumber = s.strComPortNumber;
  }
  static Settings Stored() {
    return {CXverInterface::m_bAutoBinaryXmit, CXverInterface::m_strX25Address,
            CXverInterface::m_strCesAddress,
            CXverInterface::m_strComPortNumber};
  }

  std::int32_t ReadFile(const std::string& strBytes) {
    Store(kUnset);
    CXverInterface::m_strSetupFilePath =
        m_dir.WriteFile("XverSetUp.Txt", strBytes);
    return m_xver.ReadSetupFile();
  }

  testsupport::TempDir m_dir;
  CXverInterface m_xver;
  std::string m_strSavedPath;
};

struct FileCase {
  const char* pszName;
  std::vector<std::string> lines;
  std::int32_t bResult;
  Settings stored;
};

void PrintTo(const FileCase& c, std::ostream* pOs) { *pOs << c.pszName; }

// Every case reads alike with LF and with CR LF line ends.
class SetupFileLinesTest : public SetupFileTest,
                           public ::testing::WithParamInterface<FileCase> {};

TEST_P(SetupFileLinesTest, ReadsAlikeWithLfAndCrLf) {
  for (const char* pszEnd : {"\n", "\r\n"}) {
    SCOPED_TRACE(pszEnd[0] == '\r' ? "CR LF" : "LF");
    EXPECT_EQ(ReadFile(Join(GetParam().lines, pszEnd)), GetParam().bResult);
    EXPECT_EQ(m_xver.IsSetupValid(), GetParam().bResult);
    EXPECT_EQ(Stored(), GetParam().stored);
  }
}

const std::string k76(76, 'c');
const std::string k77(77, 'c');
const std::string k600(600, 'x');
const std::string kNul(1, '\0');
const std::string kCtrlZ(1, '\x1A');
// Reads that stopped after the binary line.
const Settings kFlagOff = {0, "unset", "unset", "unset"};
const Settings kFlagOn = {1, "unset", "unset", "unset"};

const FileCase kAccepted[] = {
    {"example", kExample, 1, kExampleSettings},
    {"binary line as line 4", ExampleWith(2, {"other", kExample[2]}), 1,
     kExampleSettings},
    {"empty line 3", ExampleWith(2, {"", kExample[2]}), 1, kExampleSettings},
    {"empty line 2", ExampleWith(1, {""}), 1, kExampleSettings},
    {"free text after the header", ExampleWith(0, {kExample[0] + "v2; ok"}), 1,
     kExampleSettings},
    {"BAD FILE after the header without ';'",
     ExampleWith(0, {kExample[0] + "BAD FILE"}), 1, kExampleSettings},
    {"header tail of 79 moves the lines down",
     ExampleWith(0, {kExample[0] + k77 + "cc"}), 1, kExampleSettings},
    {"line 2 of 299 characters", ExampleWith(1, {k600.substr(0, 299)}), 1,
     kExampleSettings},
    {"NUL in line 2", ExampleWith(1, {"any" + kNul + "text"}), 1,
     kExampleSettings},
    {"NUL in the header tail", ExampleWith(0, {kExample[0] + kNul + "v2; ok"}),
     1, kExampleSettings},
    {"NUL in a comment",
     ExampleWith(5, {"Com Port Number = 1; was" + kNul + "COM2"}), 1,
     kExampleSettings},
    {"NUL in the X.25 value",
     ExampleWith(3, {"X.25 address = 1" + kNul + "23;"}),
     1,
     {1, "1" + kNul + "23", "002", "1"}},
    {"X.25 tail of 78",
     ExampleWith(3, {"X.25 address = 1;" + k76}),
     1,
     {1, "1", "002", "1"}},
    {"com-port tail of 80",
     ExampleWith(5, {"Com Port Number = 1;" + k77 + "z"}), 1, kExampleSettings},
    {"values with blanks",
     ExampleWith(3, {"X.25 address =  1 2 ;"}),
     1,
     {1, "1 2", "002", "1"}},
    {"empty X.25", ExampleWith(3, {"X.25 address = "}), 1, {1, "", "002", "1"}},
    {"Ctrl-Z after the com-port line", ExampleWith(5, {kExample[5], kCtrlZ}), 1,
     kExampleSettings},
    {"Ctrl-Z before the com-port ';'",
     ExampleWith(5, {"Com Port Number = 1" + kCtrlZ + ";"}),
     1,
     {1, "123", "002", ""}},
    {"com port without ';'",
     ExampleWith(5, {"Com Port Number = 1"}),
     1,
     {1, "123", "002", ""}},
    {"binary value after '=' only",
     ExampleWith(2, {"x", "Yes True = No"}),
     1,
     {0, "123", "002", "1"}},
    {"';' does not end the binary value",
     ExampleWith(2, {"Automatic Binary Transmission Enabled = No; not Yes"}), 1,
     kExampleSettings},
    {"binary line without '='",
     ExampleWith(2, {"Automatic Binary Transmission Enabled true"}), 1,
     kExampleSettings},
    {"empty binary value",
     ExampleWith(2, {"Automatic Binary Transmission Enabled ="}),
     1,
     {0, "123", "002", "1"}},
    {"lines after the com port",
     ExampleWith(5, {kExample[5], "BAD FILE", "Com Port Number = x;"}), 1,
     kExampleSettings},
};
INSTANTIATE_TEST_SUITE_P(Accepted, SetupFileLinesTest,
                         ::testing::ValuesIn(kAccepted));

const FileCase kRejected[] = {
    {"header without trailing blanks",
     ExampleWith(0, {"Transceiver Setup File"}), 0, kUnset},
    {"header in other letter case",
     ExampleWith(0, {"Transceiver setup file  "}), 0, kUnset},
    {"byte-order mark", ExampleWith(0, {"\xEF\xBB\xBF" + kExample[0]}), 0,
     kUnset},
    {"Ctrl-Z in line 2", ExampleWith(1, {"any" + kCtrlZ + "text"}), 0,
     kFlagOff},
    {"BAD FILE in the header value",
     ExampleWith(0, {kExample[0] + "BAD FILE;"}), 0, kUnset},
    {"NUL before the header's ';' hiding BAD FILE",
     ExampleWith(0, {kExample[0] + kNul + "BAD FILE;"}), 0, kUnset},
    {"binary line as line 5",
     ExampleWith(2, {"free", "more free", kExample[2]}), 0, kFlagOff},
    {"header tail of 79 and binary line as line 4",
     {kExample[0] + k77 + "cc", kExample[1], "other", kExample[2], kExample[3],
      kExample[4], kExample[5]},
     0,
     kFlagOff},
    {"line 2 of 600 characters", ExampleWith(1, {k600}), 0, kFlagOff},
    {"header only", {kExample[0]}, 0, kFlagOff},
    {"BAD FILE in the X.25 value",
     ExampleWith(3, {"X.25 address = no BAD FILE here;"}), 0, kFlagOn},
    {"X.25 tail of 79",
     ExampleWith(3, {"X.25 address = 1;" + k77}),
     0,
     {1, "1", "unset", "unset"}},
    {"blank line after X.25",
     ExampleWith(4, {"", kExample[4]}),
     0,
     {1, "123", "unset", "unset"}},
    {"BAD FILE in the coast-earth-station value",
     ExampleWith(4, {"Coast Earth Station Address = BAD FILE;"}),
     0,
     {1, "123", "unset", "unset"}},
    {"BAD FILE in the com-port value",
     ExampleWith(5, {"Com Port Number = BAD FILE;"}),
     0,
     {1, "123", "002", "unset"}},
    {"coast earth station 0022",
     ExampleWith(4, {"Coast Earth Station Address = 0022;"}),
     0,
     {1, "123", "0022", "1"}},
    {"coast earth station 02A",
     ExampleWith(4, {"Coast Earth Station Address = 02A;"}),
     0,
     {1, "123", "02A", "1"}},
    {"NUL hiding the rest of the coast-earth-station value",
     ExampleWith(4, {"Coast Earth Station Address = 0" + kNul + "2;"}),
     0,
     {1, "123", "0" + kNul + "2", "1"}},
    {"Ctrl-Z inside the coast-earth-station value",
     ExampleWith(4, {"Coast Earth Station Address = 00" + kCtrlZ + "2;"}),
     0,
     {1, "123", "", "unset"}},
    {"coast earth station without ';'",
     ExampleWith(4, {"Coast Earth Station Address = 002"}),
     0,
     {1, "123", "", "1"}},
    {"com port COM1",
     ExampleWith(5, {"Com Port Number = COM1;"}),
     0,
     {1, "123", "002", "COM1"}},
    {"NUL hiding the rest of the com-port value",
     ExampleWith(5, {"Com Port Number = 1" + kNul + " COM2;"}),
     0,
     {1, "123", "002", "1" + kNul + " COM2"}},
};
INSTANTIATE_TEST_SUITE_P(Rejected, SetupFileLinesTest,
                         ::testing::ValuesIn(kRejected));

// Files that are not text at all: rejected, nothing read past its buffer.
TEST_F(SetupFileTest, GarbageIsRejected) {
  std::string strAllBytes;
  for (int i = 0; i < 256 * 4; ++i) strAllBytes += static_cast<char>(i);
  std::string strUtf16 = "\xFF\xFE";
  for (char ch : Join(kExample, "\r\n")) strUtf16 += std::string{ch, '\0'};
  const struct {
    const char* pszName;
    std::string strBytes;
    Settings stored;
  } kCases[] = {
      {"empty file", "", kUnset},
      {"every byte value", strAllBytes, kUnset},
      {"NUL bytes only", std::string(1000, '\0'), kUnset},
      {"UTF-16 example", strUtf16, kUnset},
      {"NUL inside the header key",
       std::string("Transceiver\0Setup File  \n", 25) + Join(kExample, "\n"),
       kUnset},
      {"file ends inside a key",
       Join({kExample[0], kExample[1], kExample[2], kExample[3]}, "\n") +
           "Coast Earth Sta",
       {1, "123", "unset", "unset"}},
      {"one gigantic line", kExample[0] + std::string(8 << 20, 'x'), kFlagOff},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszName);
    EXPECT_EQ(ReadFile(c.strBytes), 0);
    EXPECT_EQ(Stored(), c.stored);
  }
}

TEST_F(SetupFileTest, FileThatCannotBeReadIsRejected) {
  struct Case {
    const char* pszName;
    std::string strPath;
  };
  const std::vector<Case> cases = {
      {"empty path", ""},
      {"missing file", m_dir.Path() + "/missing.txt"},
      {"directory", m_dir.Path()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    CXverInterface::m_strSetupFilePath = c.strPath;
    EXPECT_EQ(m_xver.ReadSetupFile(), 0);
    EXPECT_EQ(Stored(), kUnset);
  }
}

TEST_F(SetupFileTest, FailedReadClearsTheValidFlag) {
  ASSERT_EQ(ReadFile(Join(kExample, "\n")), 1);
  ASSERT_EQ(m_xver.IsSetupValid(), 1);
  CXverInterface::m_strSetupFilePath = m_dir.Path() + "/missing.txt";
  EXPECT_EQ(m_xver.ReadSetupFile(), 0);
  EXPECT_EQ(m_xver.IsSetupValid(), 0);
}

// The built-in Windows path: on a POSIX host it lands below XVER_DRIVE_C.
TEST_F(SetupFileTest, BuiltInPathIsFound) {
  const char* pszDrive = std::getenv("XVER_DRIVE_C");
  const std::string strSavedDrive = pszDrive != nullptr ? pszDrive : "";
  testsupport::SetEnvironment("XVER_DRIVE_C", m_dir.Path());
  CXverInterface::m_strSetupFilePath =
      "C:\\Program Files\\KESTRAVIA\\Administration\\Xver\\XverSetUp.Txt";
  const std::string strHostPath =
      platform::hostPath(CXverInterface::m_strSetupFilePath);
  testsupport::WriteFileAt(strHostPath, Join(kExample, "\r\n"));
  const std::int32_t bResult = m_xver.ReadSetupFile();
  testsupport::RemoveFileAt(strHostPath);
  // An empty value counts as unset.
  testsupport::SetEnvironment("XVER_DRIVE_C", strSavedDrive);
  EXPECT_EQ(bResult, 1);
  EXPECT_EQ(Stored(), kExampleSettings);
}

}  // namespace
