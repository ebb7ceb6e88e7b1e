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

std::vector<std::string> NumberedPaths(const char* pszStem, int nCount) {
  std::vector<std::string> paths;
  for (int i = 0; i < nCount; ++i) {
    paths.push_back(std::string("C:\\Data\\") + pszStem + std::to_string(i) + ".txt");
  }
  return paths;
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

// Thirty senders at once: every one told "handed over" has its path taken
// by the peer exactly once.
TEST_P(PeerTest, ThirtySendersAtOnceLoseNoPath) {
  StartPeer(GetParam());
  const std::vector<std::string> paths = NumberedPaths("at_once_", 30);
  const std::vector<ProcessResult> results = SendAtOnce(paths);
  const std::vector<std::string> taken = StopPeer();
  std::multiset<std::string> takenSet(taken.begin(), taken.end());
  int nHandedOver = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const bool bHandedOver = results[i].nExitCode == 1;
    nHandedOver += bHandedOver;
    EXPECT_EQ(takenSet.count(paths[i]), bHandedOver ? 1u : 0u) << paths[i];
  }
  EXPECT_EQ(taken.size(), static_cast<std::size_t>(nHandedOver));
  std::printf("thirty at once: %d handed over, all taken once\n", nHandedOver);
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

  std::multiset<std::string> takenSet(taken.begin(), taken.end());
  int nHandedOver = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(paths[i]);
    if (results[i].nExitCode == 1) {
      ++nHandedOver;
      EXPECT_EQ(takenSet.count(paths[i]), 1u);
      continue;
    }
    EXPECT_EQ(results[i].nExitCode, 0);
    EXPECT_EQ(takenSet.count(paths[i]), 0u);
    EXPECT_GE(results[i].dSeconds, 2.9);
    EXPECT_EQ(results[i].strStderr.rfind("xversend: MM_XMITPATH: the path waiting there "
                                         "was not taken within 3000 ms: \"C:\\Data\\slow_",
                                         0),
              0u)
        << results[i].strStderr;
  }
  EXPECT_EQ(taken.size(), static_cast<std::size_t>(nHandedOver));
  EXPECT_GT(nHandedOver, 0);
  EXPECT_LT(nHandedOver, 12);
  std::printf("slow peer: %d handed over and taken, %d refused after 3000 ms\n", nHandedOver,
              12 - nHandedOver);
}

// Eight senders hand up to 200 distinct paths each (as many as 15 s allow,
// since process starts are slow under an emulator) to the stand-in peer. Every
// line the peer prints is one of the submitted paths, whole, and every path
// handed over is taken: a path waits in the slot until the peer takes it.
TEST_F(PeerFixture, ConcurrentSendersNeverTearOrMixAPath) {
  constexpr int kSenders = 8;
  constexpr int kPathsEach = 200;
  StartPeer(XverctlPeer());

  std::vector<std::vector<std::string>> handedOver(kSenders);
  std::vector<int> refused(kSenders, 0);
  std::vector<int> sent(kSenders, 0);
  std::vector<std::thread> senders;
  const auto stopAt = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  for (int s = 0; s < kSenders; ++s) {
    senders.emplace_back([&, s] {
      for (int i = 0; i < kPathsEach && std::chrono::steady_clock::now() < stopAt; ++i) {
        char szPath[64];
        std::snprintf(szPath, sizeof szPath, "C:\\sender%d\\obs_%04d_%s.txt", s, i,
                      std::string(static_cast<std::size_t>(i % 40), 'x').c_str());
        const int nExit = Run({szPath}).nExitCode;
        ++sent[s];
        if (nExit == 1) handedOver[s].push_back(szPath);
        if (nExit == 0) ++refused[s];
      }
    });
  }
  for (auto& sender : senders) sender.join();

  std::set<std::string> submitted;
  for (const auto& paths : handedOver) submitted.insert(paths.begin(), paths.end());
  std::set<std::string> taken;
  for (const std::string& strPath : StopPeer()) {
    EXPECT_EQ(submitted.count(strPath), 1u) << "torn or unknown path: " << strPath;
    EXPECT_TRUE(taken.insert(strPath).second) << "taken twice: " << strPath;
  }
  int nRefused = 0;
  int nSent = 0;
  for (int s = 0; s < kSenders; ++s) {
    nRefused += refused[s];
    nSent += sent[s];
  }
  const int nLost = static_cast<int>(submitted.size() - taken.size());
  std::printf(
      "concurrent senders: %d requests, %zu handed over, %d refused, "
      "%zu taken by the peer, lost: %d\n",
      nSent, submitted.size(), nRefused, taken.size(), nLost);
  RecordProperty("handed_over", static_cast<int>(submitted.size()));
  RecordProperty("refused", nRefused);
  RecordProperty("lost", nLost);
  EXPECT_EQ(static_cast<int>(submitted.size()) + nRefused, nSent);
  EXPECT_EQ(nLost, 0);
}

}  // namespace
