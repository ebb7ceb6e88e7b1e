// xversend as its callers run it.
#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <string>
#include <thread>

#include "frontend/xversend_fixture.h"

namespace {

using testsupport::ProcessResult;
using testsupport::XversendTest;

constexpr const char* kSetupMessage = "Transceiver Set Up File Incorrect cannot read.\n";

// The status, the slot and the request decide the answer. A path waits for
// READY, and in the slot for the one before it to be taken, 3000 ms at most;
// a bare word or no argument needs neither.
TEST_F(XversendTest, RequestsEndToEnd) {
  const std::string strPath = "C:\\Data\\obs_001.txt";
  const std::string strWaited =
      "MM_XMITPATH: the path waiting there was not taken within 3000 ms: \"C:\\old.txt\"";
  const std::string strReplaced = "MM_XMITPATH: replaced the path waiting there: \"C:\\old.txt\"";
  const Scenario kScenarios[] = {
      {"ready", "READY", "", {strPath}, 1, strPath.c_str(), ""},
      {"starting", "STARTING", "", {strPath}, 0, "", ""},
      {"failed", "FAILED", "", {strPath}, 0, "", ""},
      {"no status", "", "", {strPath}, 0, "", ""},
      {"ready in other case", "Ready", "", {strPath}, 0, "", ""},
      {"bare word while failed, and more",
       "FAILED",
       "previous",
       {"word", "and", "more"},
       1,
       "word",
       "only the first argument is the request; 2 more ignored"},
      {"no argument while failed", "FAILED", "previous", {}, 1, "", ""},
      {"nobody takes the waiting path",
       "READY",
       "C:\\old.txt",
       {"C:\\new.txt"},
       0,
       "C:\\old.txt",
       strWaited,
       nullptr,
       2.9,
       3.6},
      {"taken meanwhile",
       "READY",
       "C:\\old.txt",
       {"C:\\new.txt"},
       1,
       "C:\\new.txt",
       "",
       "",
       0.3,
       1.5},
      {"answered meanwhile",
       "READY",
       "C:\\old.txt",
       {"C:\\new.txt"},
       1,
       "C:\\new.txt",
       "",
       "SENT",
       0.3,
       1.5},
      {"no path waiting", "READY", "SENT", {"C:\\new.txt"}, 1, "C:\\new.txt", ""},
      {"bare word clears a waiting path", "READY", "C:\\old.txt", {"word"}, 1, "word", strReplaced},
      {"no argument clears a waiting path", "READY", "C:\\old.txt", {}, 1, "", strReplaced},
      {"too long",
       "READY",
       "previous",
       {"C:\\" + std::string(197, 'a')},
       0,
       "previous",
       "path too long: 200 characters, the limit is 199"},
  };
  for (const Scenario& scenario : kScenarios) Check(scenario);
}

// No process but this test's holds the path slot: a path written there would
// die with xversend, so it is refused, every time, with a line.
TEST_F(XversendTest, PathIsRefusedWhenNoOtherProcessHoldsTheSlot) {
  WriteText("MM_XMITERSTATUS", "READY");
  CMemMapFile status;  // "READY" lives on in a process of the suite
  ASSERT_TRUE(segments::Attach(status, "MM_XMITERSTATUS"));
  CloseSegments();
  for (int i = 0; i < 3; ++i) {
    const ProcessResult result = Run({"C:\\Data\\obs.txt"});
    EXPECT_EQ(result.nExitCode, 0);
    EXPECT_EQ(result.strStderr,
              "xversend: MM_XMITPATH: no process holds it: nobody would take the path\n");
  }
  // A bare word is written all the same.
  EXPECT_EQ(Run({"word"}).nExitCode, 1);
}

// A setup file missing or wrong: the system's message, then one line naming
// the file and the first reason found; the request is carried out all the
// same.
TEST_F(XversendTest, BadSetupFileIsReportedWithItsReasonAndTheRequestStillRuns) {
  const std::string strGood = testsupport::kGoodSetupFile;
  const auto replaced = [&](const std::string& strFrom, const std::string& strTo) {
    return strGood.substr(0, strGood.find(strFrom)) + strTo +
           strGood.substr(strGood.find(strFrom) + strFrom.size());
  };
  const struct {
    const char* pszCase;
    std::string strContents;  // empty: no file at all
    std::string strReason;    // what the line says after the file's path
  } kCases[] = {
      {"missing", "", "cannot be opened: "},
      {"wrong header", "Transceiver Setup File\nx\n",
       "line 1: expected the key \"Transceiver Setup File  \""},
      {"line 4's key misspelt", replaced("X.25 address", "X.25 adress"),
       "line 4: expected the key \"X.25 address = \""},
      {"bad station", replaced("002", "02A"),
       "line 5: the coast earth station address \"02A\" is not valid: exactly three digits"},
      {"bad com port", replaced("Number = 1", "Number = COM1"),
       "line 6: the com-port number \"COM1\" is not valid: digits and '.' only"},
  };
  const std::string strLine = "xversend: " + platform::hostPath(testsupport::kSetupFilePath) + ": ";
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszCase);
    if (c.strContents.empty()) {
      RemoveSetupFile();
    } else {
      WriteSetupFile(c.strContents);
    }
    WriteText("MM_XMITERSTATUS", "READY");
    WriteText("MM_XMITPATH", "");
    const ProcessResult result = Run({"C:\\Data\\obs_002.txt"});
    EXPECT_EQ(result.nExitCode, 1);
    const std::string strMessage = testsupport::kMessageOnStderr ? kSetupMessage : "";
    EXPECT_EQ(result.strStderr.rfind(strMessage + strLine + c.strReason, 0), 0u)
        << result.strStderr;
    EXPECT_EQ(std::count(result.strStderr.begin(), result.strStderr.end(), '\n'),
              testsupport::kMessageOnStderr ? 2 : 1);
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
