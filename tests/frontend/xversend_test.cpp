// xversend as its callers run it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

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

// The path slot holds one path until the transceiver-control process takes
// it: a later path waits for it at most 3000 ms; a bare word or no argument
// clears it at once.
TEST_F(XversendTest, PathWaitsInTheSlotForTheOneBeforeIt) {
  WriteText("MM_XMITERSTATUS", "STARTING");
  const double dStartCost = Run({"C:\\x"}).dSeconds;
  WriteText("MM_XMITERSTATUS", "READY");
  const std::string strLine =
      "xversend: MM_XMITPATH: the path waiting there was not taken within "
      "3000 ms: \"C:\\old.txt\"\n";
  const struct {
    const char* pszCase;
    const char* pszSlot;
    std::vector<std::string> request;
    const char* pszFreedTo;  // written to the slot after 300 ms; null: never
    int nExit;
    const char* pszSlotAfter;
    double dMinSeconds, dMaxSeconds;
  } kCases[] = {
      {"nobody takes it", "C:\\old.txt", {"C:\\new.txt"}, nullptr, 0, "C:\\old.txt",
       2.9, 3.6},
      {"taken meanwhile", "C:\\old.txt", {"C:\\new.txt"}, "", 1, "C:\\new.txt", 0.3,
       1.5},
      {"answered meanwhile", "C:\\old.txt", {"C:\\new.txt"}, "SENT", 1, "C:\\new.txt",
       0.3, 1.5},
      {"no path there", "SENT", {"C:\\new.txt"}, nullptr, 1, "C:\\new.txt", 0, 1},
      {"bare word", "C:\\old.txt", {"word"}, nullptr, 1, "word", 0, 1},
      {"no argument", "C:\\old.txt", {}, nullptr, 1, "", 0, 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszCase);
    WriteText("MM_XMITPATH", c.pszSlot);
    std::thread peer([&] {
      if (!c.pszFreedTo) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      WriteText("MM_XMITPATH", c.pszFreedTo);
    });
    const ProcessResult result = Run(c.request);
    peer.join();
    EXPECT_EQ(result.nExitCode, c.nExit);
    EXPECT_EQ(result.strStderr, c.nExit ? "" : strLine);
    EXPECT_EQ(ReadText("MM_XMITPATH"), c.pszSlotAfter);
    EXPECT_GE(result.dSeconds, c.dMinSeconds);
    EXPECT_LT(result.dSeconds, c.dMaxSeconds + dStartCost);
  }
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
    WriteText("MM_XMITPATH", "");
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
