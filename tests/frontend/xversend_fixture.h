// xversend as its callers run it: a process with an argument, the setup file
// at its built-in place on a temporary drive C:, and the segments held by a
// peer (the test itself).
#pragma once

#include <gtest/gtest.h>

#include <string>
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

  TempDir m_drive;
};

}  // namespace testsupport
