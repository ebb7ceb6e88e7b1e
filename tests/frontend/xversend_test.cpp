// xversend as its callers run it.
#include <gtest/gtest.h>

#include <string>

#include "frontend/xversend_fixture.h"

namespace {

using testsupport::ProcessResult;
using testsupport::XversendTest;

constexpr const char* kSetupMessage = "Transceiver Set Up File Incorrect cannot read.\n";

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
    if (c.pszContents) {
      WriteSetupFile(c.pszContents);
    } else {
      RemoveSetupFile();
    }
    WriteText("MM_XMITERSTATUS", "READY");
    const ProcessResult result = Run({"C:\\Data\\obs_002.txt"});
    EXPECT_EQ(result.nExitCode, 1);
    EXPECT_EQ(result.strStderr, testsupport::kMessageOnStderr ? kSetupMessage : "");
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
