// The transceiver-control processes of the suite beside xversend: the
// stand-in (`xverctl serve`) and the examples written on libxver, in C and in
// Python, each as a peer author would run it. Every path handed over is
// taken, once, in order; a peer killed while READY takes its READY along; a
// peer stopped right after a hand-off still takes the path.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

#include "frontend/xversend_fixture.h"

namespace {

using testsupport::ChildProcess;
using testsupport::ProcessResult;
using testsupport::XversendTest;

// A transceiver-control process: how to start it, and what it needs.
struct Peer {
  const char* pszName;
  std::vector<std::string> command;
  testsupport::Environment env;
};

void PrintTo(const Peer& peer, std::ostream* pOut) { *pOut << peer.pszName; }

Peer XverctlPeer() { return {"Xverctl", {testsupport::XverctlPath(), "serve"}, {}}; }

std::vector<Peer> Peers() {
  std::vector<Peer> peers = {XverctlPeer()};
  if (const char* pszC = testsupport::ExampleTransceiverPath()) {
    peers.push_back({"ExampleInC", {pszC}, {}});
  }
  if (const char* pszPython = testsupport::PythonPath()) {
    peers.push_back({"ExampleInPython",
                     {pszPython, testsupport::ExamplePath("transceiver.py")},
                     testsupport::PythonEnvironment()});
  }
  return peers;
}

class PeerFixture : public XversendTest {
 protected:
  // Starts the peer, waits until it reports READY, and collects the paths it
  // prints as it goes: a full pipe would stop it taking paths.
  void StartPeer(const Peer& peer) {
    ASSERT_TRUE(m_peer.Start(peer.command, peer.env));
    m_reader = std::thread([this] {
      for (std::string strLine; !(strLine = m_peer.ReadLine()).empty();) {
        m_taken.push_back(strLine.substr(0, strLine.find('\t')));
      }
    });
    ASSERT_TRUE(WaitForStatus("READY"));
  }
  // Stops the peer and returns the paths it took, in order.
  std::vector<std::string> StopPeer() {
    if (!m_peer.Interrupt()) {
      // No stop request here: let it take what is left first.
      EXPECT_TRUE(
          testsupport::WaitUntil([this] { return !segments::IsPath(ReadText("MM_XMITPATH")); }));
      m_peer.Kill();
    }
    m_reader.join();
    m_peer.Wait();
    return m_taken;
  }

  void TearDown() override {
    if (m_reader.joinable()) {  // a test that stopped before StopPeer
      m_peer.Kill();
      m_reader.join();
    }
    XversendTest::TearDown();
  }

  ChildProcess m_peer;
  std::thread m_reader;
  std::vector<std::string> m_taken;
};

class PeerTest : public PeerFixture, public ::testing::WithParamInterface<Peer> {};

INSTANTIATE_TEST_SUITE_P(Peers, PeerTest, ::testing::ValuesIn(Peers()),
                         [](const auto& info) { return std::string(info.param.pszName); });

// Starts one xversend per path at the same moment; returns the exit status
// and what each wrote on standard error, in the same order.
std::vector<ProcessResult> SendAtOnce(const std::vector<std::string>& paths) {
  std::vector<ProcessResult> results(paths.size());
  std::vector<std::thread> senders;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    senders.emplace_back([&, i] {
      results[i] = testsupport::RunProcess({testsupport::XversendPath(), paths[i]});
    });
  }
  for (auto& sender : senders) sender.join();
  return results;
}

// Paths of different lengths, so that a path written over a longer one and
// torn would show.
std::vector<std::string> NumberedPaths(const std::string& strStem, int nCount) {
  std::vector<std::string> paths;
  for (int i = 0; i < nCount; ++i) {
    paths.push_back("C:\\Data\\" + strStem + std::to_string(i) +
                    std::string(static_cast<std::size_t>(i % 8 * 5), 'x') + ".txt");
  }
  return paths;
}

// Every sender told "handed over" (exit 1) has its path taken exactly once,
// and nothing else is taken: no path torn, mixed or lost. The others were
// refused (exit 0). Returns how many were handed over.
int ExpectEachHandedOverTakenOnce(const std::vector<std::string>& paths,
                                  const std::vector<ProcessResult>& results,
                                  const std::vector<std::string>& taken) {
  const std::multiset<std::string> takenSet(taken.begin(), taken.end());
  int nHandedOver = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const bool bHandedOver = results[i].nExitCode == 1;
    nHandedOver += bHandedOver;
    EXPECT_TRUE(bHandedOver || results[i].nExitCode == 0) << results[i].nExitCode;
    EXPECT_EQ(takenSet.count(paths[i]), bHandedOver ? 1u : 0u) << paths[i];
  }
  EXPECT_EQ(taken.size(), static_cast<std::size_t>(nHandedOver));
  return nHandedOver;
}

// A script handing over a batch one file after another: each waits in the
// slot until the peer has taken the one before, so all arrive, in order.
TEST_P(PeerTest, TakesABatchSentOneAfterAnotherInOrder) {
  StartPeer(GetParam());
  const std::vector<std::string> paths = NumberedPaths("batch_", 40);
  for (const std::string& strPath : paths) {
    ASSERT_EQ(Run({strPath}).nExitCode, 1) << strPath;
  }
  EXPECT_EQ(StopPeer(), paths);
}

// Rounds of thirty senders at once, for up to 8 s: every one told "handed
// over" has its path taken by the peer exactly once, whole.
TEST_P(PeerTest, SendersAtOnceLoseOrTearNoPath) {
  StartPeer(GetParam());
  std::vector<std::string> paths;
  std::vector<ProcessResult> results;
  const auto stopAt = std::chrono::steady_clock::now() + std::chrono::seconds(8);
  for (int nRound = 0; nRound < 10 && std::chrono::steady_clock::now() < stopAt; ++nRound) {
    const std::vector<std::string> round =
        NumberedPaths("round_" + std::to_string(nRound) + "\\obs_", 30);
    const std::vector<ProcessResult> roundResults = SendAtOnce(round);
    paths.insert(paths.end(), round.begin(), round.end());
    results.insert(results.end(), roundResults.begin(), roundResults.end());
  }
  const int nHandedOver = ExpectEachHandedOverTakenOnce(paths, results, StopPeer());
  std::printf("senders at once: %zu requests, %d handed over, all taken once\n", paths.size(),
              nHandedOver);
}

// The peer killed while it reports "READY", with no other process attached:
// its segments die with it, as on Windows, and the next request finds no
// "READY" and is refused.
TEST_P(PeerTest, KilledWhileReportingReadyTakesItsReadyAlong) {
  CloseSegments();
  StartPeer(GetParam());
  m_peer.Kill();
  m_reader.join();
  m_peer.Wait();
  const ProcessResult result = Run({"C:\\Data\\obs.txt"});
  EXPECT_EQ(result.nExitCode, 0);
  EXPECT_EQ(result.strStderr,
            "xversend: MM_XMITERSTATUS: no process holds it: is the transceiver-control "
            "process running?\n");
}

// Asked to stop right after a hand-off, before its next look, the peer
// still takes the path: it says STOPPED first, then empties the slot.
TEST_P(PeerTest, StoppedRightAfterAHandOffStillTakesThePath) {
  for (int i = 0; i < 20; ++i) {
    const std::string strPath = "C:\\Data\\last_" + std::to_string(i) + ".txt";
    ChildProcess peer;
    ASSERT_TRUE(peer.Start(GetParam().command, GetParam().env));
    ASSERT_TRUE(WaitForStatus("READY"));
    ASSERT_EQ(Run({strPath}).nExitCode, 1);
    if (!peer.Interrupt()) GTEST_SKIP() << "no stop request on this platform";
    EXPECT_EQ(peer.Wait(), 0);
    const std::string& strOut = peer.Stdout();
    EXPECT_EQ(strOut.substr(0, strOut.find_first_of("\t\n")), strPath) << i;
    EXPECT_EQ(std::count(strOut.begin(), strOut.end(), '\n'), 1) << strOut;
    EXPECT_EQ(ReadText("MM_XMITERSTATUS"), "STOPPED");
  }
}

// A peer that takes one path every 400 ms, and twelve senders at once: those
// handed over are all taken; the others give up after the 3000 ms bound and
// say so.
TEST_F(XversendTest, SlowPeerTakesAllItIsHandedAndTheRestAreToldSo) {
  WriteText("MM_XMITERSTATUS", "READY");
  std::vector<std::string> taken;
  std::atomic<bool> bStop{false};
  std::thread peer([&] {
    CMemMapFile slot;
    ASSERT_TRUE(segments::Attach(slot, "MM_XMITPATH"));
    for (std::string strPath; !bStop || !strPath.empty();) {
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
      strPath.clear();
      if (segments::IsDone(segments::TakePath(slot, strPath, segments::LockDeadline())) &&
          !strPath.empty()) {
        taken.push_back(strPath);
      }
    }
  });
  const std::vector<std::string> paths = NumberedPaths("slow_", 12);
  const std::vector<ProcessResult> results = SendAtOnce(paths);
  bStop = true;
  peer.join();

  const int nHandedOver = ExpectEachHandedOverTakenOnce(paths, results, taken);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (results[i].nExitCode == 1) continue;
    SCOPED_TRACE(paths[i]);
    EXPECT_GE(results[i].dSeconds, 2.9);
    EXPECT_EQ(results[i].strStderr.rfind("xversend: MM_XMITPATH: the path waiting there "
                                         "was not taken within 3000 ms: \"C:\\Data\\slow_",
                                         0),
              0u)
        << results[i].strStderr;
  }
  EXPECT_GT(nHandedOver, 0);
  EXPECT_LT(nHandedOver, 12);
  std::printf("slow peer: %d handed over and taken, %d refused after 3000 ms\n", nHandedOver,
              12 - nHandedOver);
}

}  // namespace
