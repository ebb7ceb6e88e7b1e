// Where the built-in Windows paths land on a POSIX host.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "support/child_process.h"

namespace {

constexpr char kSetupFile[] =
    "C:\\Program Files\\KESTRAVIA\\Administration\\Xver\\XverSetUp.Txt";

// Keeps XVER_DRIVE_C as the test found it.
class HostPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* pszDrive = std::getenv("XVER_DRIVE_C");
    m_bHadDrive = pszDrive != nullptr;
    if (m_bHadDrive) m_strDrive = pszDrive;
  }
  void TearDown() override {
    if (m_bHadDrive) {
      testsupport::SetEnvironment("XVER_DRIVE_C", m_strDrive);
    } else {
      unsetenv("XVER_DRIVE_C");
    }
  }

  bool m_bHadDrive = false;
  std::string m_strDrive;
};

TEST_F(HostPathTest, DriveCGoesBelowTheDriveFolder) {
  testsupport::SetEnvironment("XVER_DRIVE_C", "/srv/drive c");
  const struct {
    const char* pszIn;
    const char* pszOut;
  } kCases[] = {
      {kSetupFile,
       "/srv/drive c/Program "
       "Files/KESTRAVIA/Administration/Xver/XverSetUp.Txt"},
      {"c:\\a\\b.txt", "/srv/drive c/a/b.txt"},
      {"C:/a\\b", "/srv/drive c/a/b"},
      {"C:\\", "/srv/drive c/"},
      // Not on drive C: left alone, backslashes included.
      {"D:\\a\\b", "D:\\a\\b"},
      {"C:a\\b", "C:a\\b"},
      {"C:", "C:"},
      {"/home/x/C:\\y", "/home/x/C:\\y"},
      {"relative\\name", "relative\\name"},
      {"", ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(platform::hostPath(c.pszIn), c.pszOut) << c.pszIn;
  }
}

TEST_F(HostPathTest, UnsetOrEmptyDriveFallsBackToTheBuildDefault) {
  unsetenv("XVER_DRIVE_C");
  const std::string strUnset = platform::hostPath(kSetupFile);
  testsupport::SetEnvironment("XVER_DRIVE_C", "");
  const std::string strEmpty = platform::hostPath(kSetupFile);

  EXPECT_EQ(strEmpty, strUnset);
  const std::string strRest =
      "/Program Files/KESTRAVIA/Administration/Xver/XverSetUp.Txt";
  ASSERT_GT(strUnset.size(), strRest.size());
  EXPECT_EQ(strUnset.substr(strUnset.size() - strRest.size()), strRest);
  EXPECT_EQ(strUnset[0], '/');
}

}  // namespace
