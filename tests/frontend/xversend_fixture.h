// xversend as its callers run it: a process with an argument, the setup file
// at its built-in place on a temporary drive C:, and the segments held by a
// peer (the test itself).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "support/child_process.h"
#include "support/system_segments.h"
#include "support/test_env.h"

namespace testsupport {

constexpr const char* kSetupFilePath =
    "C:\\Program Files\\KESTRAVIA\\Administration\\Xver\\XverSetUp.Txt";
constexpr const char* kGoodSetupFile =
    "Transceiver Setup File  \n"
    "any text, ignored\n"
    "Automatic Binary Transmission Enabled = Yes\n"
    "X.25 address = 123; free comment\n"
    "Coast Earth Station Address = 002;\n"
    "Com Port Number = 1;\n";

class XversendTest : public SystemSegmentsTest {
 protected:
  void SetUp() override {
    SystemSegmentsTest::SetUp();
    SetEnvironment("XVER_DRIVE_C", m_drive.Path());
    WriteSetupFile(kGoodSetupFile);
  }

  void TearDown() override {
    RemoveSetupFile();
    SystemSegmentsTest::TearDown();
  }

  // The setup file where xversend looks for it: under the temporary drive C:
  // on POSIX, at its real place on Windows.
  static void WriteSetupFile(const std::string& strContents) {
    WriteFileAt(platform::hostPath(kSetupFilePath), strContents);
  }
  static void RemoveSetupFile() { RemoveFileAt(platform::hostPath(kSetupFilePath)); }

  static testsupport::ProcessResult Run(const std::vector<std::string>& args) {
    std::vector<std::string> command = {XversendPath()};
    command.insert(command.end(), args.begin(), args.end());
    return testsupport::RunProcess(command);
  }

  // One request end to end: the status and the slot as a peer left them, the
  // request, and what xversend answered, said and left in the slot.
  struct Scenario {
    const char* pszCase;
    const char* pszStatus;
    const char* pszSlot;
    std::vector<std::string> request;
    int nExit;
    const char* pszSlotAfter;
    std::string strLine;               // on standard error, without its line end; "" for none
    const char* pszFreedTo = nullptr;  // written to the slot 300 ms into the run
    double dMinSeconds = 0;
    double dMaxSeconds = 1;  // beyond what starting a process costs
  };

  void Check(const Scenario& c) {
    SCOPED_TRACE(c.pszCase);
    const double dStartCost = StartCost();
    WriteText("MM_XMITERSTATUS", c.pszStatus);
    WriteText("MM_XMITPATH", c.pszSlot);
    std::thread peer([&] {
      if (!c.pszFreedTo) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      WriteText("MM_XMITPATH", c.pszFreedTo);
    });
    const ProcessResult result = Run(c.request);
    peer.join();
    EXPECT_EQ(result.nExitCode, c.nExit);
    EXPECT_EQ(result.strStderr, c.strLine.empty() ? "" : "xversend: " + c.strLine + "\n");
    EXPECT_EQ(ReadText("MM_XMITPATH"), c.pszSlotAfter);
    EXPECT_GE(result.dSeconds, c.dMinSeconds);
    EXPECT_LT(result.dSeconds, c.dMaxSeconds + dStartCost);
  }

  // What one run costs here before it does anything that may wait (much
  // more under Wine than natively); it writes a bare word to the slot.
  double StartCost() {
    if (m_dStartCost < 0) m_dStartCost = Run({"word"}).dSeconds;
    return m_dStartCost;
  }

  TempDir m_drive;
  double m_dStartCost = -1;
};

}  // namespace testsupport
