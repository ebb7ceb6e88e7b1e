// xverctl as the stand-in transceiver-control process beside xversend.
#include <gtest/gtest.h>

#include "support/child_process.h"
#include "frontend/xversend_fixture.h"
#include "support/test_env.h"

namespace {

using testsupport::ChildProcess;
using testsupport::ProcessResult;
using testsupport::RunProcess;
using testsupport::XverctlPath;
using testsupport::XversendPath;

// xversend runs beside these tests with its setup file in place: a missing
// one would be reported (on Windows, a box).
class XverctlTest : public testsupport::XversendTest {
 protected:
  // Starts `xverctl serve ARGS` and waits until it reports STATUS.
  static void StartServer(ChildProcess& server, const std::vector<std::string>& args,
                          const std::string& strStatus) {
    std::vector<std::string> command = {XverctlPath(), "serve"};
    command.insert(command.end(), args.begin(), args.end());
    ASSERT_TRUE(server.Start(command));
    ASSERT_TRUE(WaitForStatus(strStatus)) << "server never said " << strStatus;
  }

  testsupport::TempDir m_dir;
};

// `serve --once` takes exactly the path handed over, says whether the file
// is there, empties the slot and stops.
TEST_F(XverctlTest, ServerTakesExactlyThePathHandedOverAndSaysWhetherItExists) {
  const std::string strFile = m_dir.WriteFile("obs 001.txt", "data");
  for (const auto& [strPath, pszSays] : {std::pair{strFile, "file exists"},
                                         std::pair{std::string("C:\\nowhere\\x.txt"), "no such file"}}) {
    ChildProcess server;
    StartServer(server, {"--once"}, "READY");
    EXPECT_EQ(RunProcess({XversendPath(), strPath}).nExitCode, 1);
    EXPECT_EQ(server.ReadLine(), strPath + "\t" + pszSays);
    EXPECT_EQ(server.Wait(), 0);
    EXPECT_EQ(ReadText("MM_XMITPATH"), "");
    EXPECT_EQ(ReadText("MM_XMITERSTATUS"), "STOPPED");
  }
}

TEST_F(XverctlTest, ServerHoldingStartingMakesPathsRefused) {
  ChildProcess server;
  StartServer(server, {"--once", "--status", "STARTING"}, "STARTING");
  EXPECT_EQ(RunProcess({XversendPath(), "C:\\Data\\obs.txt"}).nExitCode, 0);
  EXPECT_EQ(ReadText("MM_XMITPATH"), "");
  // A bare word needs no READY, and is no path for the server to take.
  EXPECT_EQ(RunProcess({XversendPath(), "word"}).nExitCode, 1);
  EXPECT_FALSE(testsupport::WaitUntil([this] { return ReadText("MM_XMITPATH") != "word"; }, 100));
}

TEST_F(XverctlTest, ShowEscapesTextsAndSaysWhatBlocksAMutex) {
  WriteBytes("MM_XMITERSTATUS", std::string("RE\x01\xff\\", 5) + '\0');
  ChildProcess peer;
  ASSERT_TRUE(peer.Start({testsupport::TestPeerPath(), "abandon", "MM_XMITPATH"}));
  ASSERT_EQ(peer.ReadLine(), "locked");
  peer.Wait();
  const ProcessResult result = RunProcess({XverctlPath(), "show"});
  EXPECT_EQ(result.nExitCode, 1);
  for (const char* pszLine :
       {"MM_XMITERSTATUS      \"RE\\x01\\xFF\\\"\n",
        "MM_XMITPATH          \"\"  abandoned: a process died holding its mutex"}) {
    EXPECT_NE(result.strStdout.find(pszLine), std::string::npos) << result.strStdout;
  }
}

TEST_F(XverctlTest, WritesTextsWithItsOwnCommands) {
  EXPECT_EQ(RunProcess({XverctlPath(), "status", "FAILED"}).nExitCode, 0);
  EXPECT_EQ(RunProcess({XverctlPath(), "path", "C:\\p"}).nExitCode, 0);
  EXPECT_EQ(ReadText("MM_XMITERSTATUS"), "FAILED");
  EXPECT_EQ(ReadText("MM_XMITPATH"), "C:\\p");
}

TEST_F(XverctlTest, WrongUseIsExitStatusTwo) {
  const std::vector<std::vector<std::string>> kCases = {
      {},
      {"bogus"},
      {"hold", "MM_XMITPATH"},
      {"hold", "MM_XMITPATH", "soon"},
      {"status"},
      {"path", std::string(201, 'p')},
      {"serve", "--status"},
      {"serve", "--forever"},
      {"show", "extra"},
  };
  for (const auto& args : kCases) {
    std::vector<std::string> command = {XverctlPath()};
    command.insert(command.end(), args.begin(), args.end());
    const ProcessResult result = RunProcess(command);
    EXPECT_EQ(result.nExitCode, 2) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(result.strStderr.empty());
  }
  EXPECT_EQ(ReadText("MM_XMITPATH"), "");
}

}  // namespace
