// xversend as its callers run it: a process with an argument, the setup file
// at its built-in place, and the segments held by a peer (this test).
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "support/child_process.h"
#include "support/system_segments.h"
#include "support/test_env.h"

namespace {

using testsupport::ProcessResult;
using testsupport::RunProcess;

constexpr const char* kSetupFilePath =
    "C:\\Program Files\\KESTRAVIA\\Administration\\Xver\\XverSetUp.Txt";
constexpr const char* kGoodSetupFile =
    "Transceiver Setup File  \n"
    "any text, ignored\n"
    "Automatic Binary Transmission Enabled = Yes\n"
    "X.25 address = 123; free comment\n"
    "Coast Earth Station Address = 002;\n"
    "Com Port Number = 1;\n";
constexpr const char* kSetupMessage = "Transceiver Set Up File Incorrect cannot read.\n";

class XversendTest : public testsupport::SystemSegmentsTest {
 protected:
  void SetUp() override {
    SystemSegmentsTest::SetUp();
    testsupport::SetEnvironment("XVER_DRIVE_C", m_drive.Path());
    WriteSetupFile(kGoodSetupFile);
  }

  void WriteSetupFile(const std::string& strContents) {
    const std::string strPath = platform::hostPath(kSetupFilePath);
    const std::string strPrefix = m_drive.Path() + "/";
    ASSERT_EQ(strPath.compare(0, strPrefix.size(), strPrefix), 0) << strPath;
    m_drive.WriteFile(strPath.substr(strPrefix.size()), strContents);
  }

  static ProcessResult Run(const std::vector<std::string>& args) {
    std::vector<std::string> command = {testsupport::XversendPath()};
    command.insert(command.end(), args.begin(), args.end());
    return RunProcess(command);
  }

  testsupport::TempDir m_drive;
};

TEST_F(XversendTest, ExitStatusFollowsTheTransmitterStatus) {
  const struct {
    const char* pszStatus;
    int nExit;
  } kCases[] = {
      {"READY", 1}, {"STARTING", 0}, {"FAILED", 0}, {"", 0}, {"Ready", 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszStatus);
    WriteText("MM_XMITERSTATUS", c.pszStatus);
    WriteText("MM_XMITPATH", "previous");
    const ProcessResult result = Run({"C:\\Data\\obs_001.txt"});
    EXPECT_EQ(result.nExitCode, c.nExit);
    EXPECT_EQ(result.strStderr, "");
    EXPECT_EQ(ReadText("MM_XMITPATH"), c.nExit ? "C:\\Data\\obs_001.txt" : "previous");
  }
}

TEST_F(XversendTest, BareWordOrNoArgumentIsHandedOverWhateverTheStatus) {
  WriteText("MM_XMITERSTATUS", "FAILED");
  WriteText("MM_XMITPATH", "previous");
  EXPECT_EQ(Run({"word", "ignored"}).nExitCode, 1);
  EXPECT_EQ(ReadText("MM_XMITPATH"), "word");
  EXPECT_EQ(Run({}).nExitCode, 1);
  // Only the first byte changes: the old text behind it stays.
  EXPECT_EQ(ReadBytes("MM_XMITPATH"),
            std::string("\0ord\0ous", 8) + std::string(193, '\0'));
}

TEST_F(XversendTest, TooLongRequestIsRefusedWithOneLineSayingTheLimit) {
  WriteText("MM_XMITERSTATUS", "READY");
  WriteText("MM_XMITPATH", "previous");
  const ProcessResult result = Run({"C:\\" + std::string(197, 'a')});
  EXPECT_EQ(result.nExitCode, 0);
  EXPECT_NE(result.strStderr.find("too long"), std::string::npos) << result.strStderr;
  EXPECT_NE(result.strStderr.find("199"), std::string::npos) << result.strStderr;
  EXPECT_EQ(result.strStderr.find('\n'), result.strStderr.size() - 1);
  EXPECT_EQ(ReadText("MM_XMITPATH"), "previous");
}

// A peer that keeps a mutex past the 3000 ms bound makes the request fail:
// the status reads as unknown, or the path cannot be written.
TEST_F(XversendTest, StuckPeerMakesTheRequestFailAfterThreeSeconds) {
  for (const char* pszHeld : {"MM_XMITERSTATUS", "MM_XMITPATH"}) {
    SCOPED_TRACE(pszHeld);
    WriteText("MM_XMITERSTATUS", "READY");
    WriteText("MM_XMITPATH", "previous");
    testsupport::ChildProcess peer;
    ASSERT_TRUE(peer.Start({testsupport::TestPeerPath(), "hold", pszHeld, "4500"}));
    ASSERT_EQ(peer.ReadLine(), "locked");
    const ProcessResult result = Run({"C:\\Data\\obs_001.txt"});
    EXPECT_EQ(result.nExitCode, 0);
    EXPECT_GE(result.dSeconds, 2.9);
    EXPECT_LT(result.dSeconds, 4.0);
    EXPECT_EQ(peer.Wait(), 0);
    EXPECT_EQ(ReadText("MM_XMITPATH"), "previous");
  }
}

TEST_F(XversendTest, BadSetupFileIsReportedOnceAndTheRequestStillRuns) {
  const struct {
    const char* pszCase;
    const char* pszContents;  // null: no file at all
  } kCases[] = {
      {"missing", nullptr},
      {"wrong header", "Transceiver Setup File\nx\n"},
      {"bad station", "Transceiver Setup File  \n\nAutomatic Binary Transmission "
                      "Enabled = No\nX.25 address = 1;\nCoast Earth Station "
                      "Address = 02A;\nCom Port Number = 1;\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszCase);
    testsupport::TempDir drive;
    testsupport::SetEnvironment("XVER_DRIVE_C", drive.Path());
    if (c.pszContents) {
      testsupport::SetEnvironment("XVER_DRIVE_C", m_drive.Path());
      WriteSetupFile(c.pszContents);
    }
    WriteText("MM_XMITERSTATUS", "READY");
    const ProcessResult result = Run({"C:\\Data\\obs_002.txt"});
    EXPECT_EQ(result.nExitCode, 1);
    EXPECT_EQ(result.strStderr, kSetupMessage);
    EXPECT_EQ(ReadText("MM_XMITPATH"), "C:\\Data\\obs_002.txt");
  }
}

TEST_F(XversendTest, SetupFileWithCrLfLineEndsIsGood) {
  WriteSetupFile(
      "Transceiver Setup File  \r\nany\r\nAutomatic Binary Transmission Enabled "
      "= Yes\r\nX.25 address = 123;\r\nCoast Earth Station Address = 002;\r\n"
      "Com Port Number = 1;\r\n");
  WriteText("MM_XMITERSTATUS", "STARTING");
  const ProcessResult result = Run({"C:\\x"});
  EXPECT_EQ(result.nExitCode, 0);
  EXPECT_EQ(result.strStderr, "");
}

}  // namespace
