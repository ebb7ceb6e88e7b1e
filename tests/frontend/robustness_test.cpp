// xversend beside peers that crash, stall, race it or fill the segments with
// garbage: it answers in bounded time, refuses rather than guesses, and never
// loses or mixes a path without saying so.
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

const char* const kUsedSegments[] = {"MM_XMITERSTATUS", "MM_XMITPATH"};

class SlotTest : public XversendTest {
 protected:
  // Starts `xverctl serve`, waits until it reports READY, and collects what
  // it prints as it goes: a full pipe would stop it taking paths.
  void StartServer() {
    ASSERT_TRUE(m_server.Start({testsupport::XverctlPath(), "serve"}));
    m_reader = std::thread([this] {
      for (std::string strLine; !(strLine = m_server.ReadLine()).empty();) {
        m_taken.push_back(strLine.substr(0, strLine.find('\t')));
      }
    });
    ASSERT_TRUE(WaitForStatus("READY"));
  }
  // Lets the server take what is left, stops it, and returns the paths it
  // took, in order.
  std::vector<std::string> StopServer() {
    EXPECT_TRUE(
        testsupport::WaitUntil([this] { return !segments::IsPath(ReadText("MM_XMITPATH")); }));
    if (!m_server.Interrupt()) m_server.Kill();
    m_reader.join();
    m_server.Wait();
    return m_taken;
  }

  void TearDown() override {
    if (m_reader.joinable()) {  // a test that stopped before StopServer
      m_server.Kill();
      m_reader.join();
    }
    XversendTest::TearDown();
  }

  ChildProcess m_server;
  std::thread m_reader;
  std::vector<std::string> m_taken;
};

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

// A peer killed while holding either mutex: the next request is refused at
// once (the mutex is abandoned, the bytes suspect), the one after succeeds.
TEST_F(XversendTest, PeerKilledHoldingAMutexCostsOneRefusalNotAWait) {
  for (const char* pszHeld : kUsedSegments) {
    SCOPED_TRACE(pszHeld);
    WriteText("MM_XMITERSTATUS", "READY");
    WriteText("MM_XMITPATH", "previous");
    ChildProcess peer;
    ASSERT_TRUE(peer.Start({testsupport::TestPeerPath(), "hold", pszHeld, "60000"}));
    ASSERT_EQ(peer.ReadLine(), "locked");
    peer.Kill();
    peer.Wait();

    const ProcessResult refused = Run({"C:\\Data\\first.txt"});
    EXPECT_EQ(refused.nExitCode, 0);
    EXPECT_LT(refused.dSeconds, 1.0);
    EXPECT_EQ(refused.strStderr,
              "");  // a peer's state, no fault of the machine
    EXPECT_EQ(ReadText("MM_XMITPATH"), "previous");
    EXPECT_EQ(Run({"C:\\Data\\second.txt"}).nExitCode, 1);
    EXPECT_EQ(ReadText("MM_XMITPATH"), "C:\\Data\\second.txt");
  }
}

// A peer stuck holding either mutex: refused within the 3000 ms bound plus
// a margin over what a process start costs here, nothing written.
TEST_F(XversendTest, StuckPeerMakesTheRequestFailWithinTheBound) {
  WriteText("MM_XMITERSTATUS", "STARTING");
  const double dStartCost = Run({"C:\\x"}).dSeconds;
  for (const char* pszHeld : kUsedSegments) {
    SCOPED_TRACE(pszHeld);
    WriteText("MM_XMITERSTATUS", "READY");
    WriteText("MM_XMITPATH", "previous");
    ChildProcess peer;
    ASSERT_TRUE(peer.Start({testsupport::TestPeerPath(), "hold", pszHeld, "10000"}));
    ASSERT_EQ(peer.ReadLine(), "locked");
    const ProcessResult result = Run({"C:\\Data\\obs_001.txt"});
    EXPECT_EQ(result.nExitCode, 0);
    EXPECT_GE(result.dSeconds, 2.9);
    EXPECT_LT(result.dSeconds, 3.2 + dStartCost);
    peer.Kill();
    peer.Wait();
    Recover(pszHeld);
    EXPECT_EQ(ReadText("MM_XMITPATH"), "previous");
  }
}

// The transceiver-control process killed while it reports "READY", with no
// other process attached: its segments die with it, as on Windows, and the
// next request finds no "READY" and is refused.
TEST_F(XversendTest, PeerKilledWhileReportingReadyTakesItsReadyAlong) {
  CloseSegments();
  ChildProcess server;
  ASSERT_TRUE(server.Start({testsupport::XverctlPath(), "serve"}));
  ASSERT_TRUE(WaitForStatus("READY"));
  server.Kill();
  server.Wait();

  const ProcessResult result = Run({"C:\\Data\\obs.txt"});
  EXPECT_EQ(result.nExitCode, 0);
  EXPECT_EQ(result.strStderr,
            "xversend: MM_XMITERSTATUS: no process holds it: is the transceiver-control "
            "process running?\n");
}

// A sender killed at each point of writing its path into the slot: the peer,
// once it has taken over the abandoned mutex, finds the old text as it was
// (killed before it wrote), emptied, or the whole new path; never a mix.
TEST_F(XversendTest, SenderKilledPartWayLeavesTheOldTextEmptiedOrTheWholeNewPath) {
  const std::string strOld = "SENT by the transceiver, 0000";
  const std::string strNew = "D:\\new\\obs_001.txt";
  const std::size_t nWhole = strNew.size() + 2;  // byte 0 twice, the rest once
  for (std::size_t nBytes = 0; nBytes <= nWhole; ++nBytes) {
    SCOPED_TRACE(nBytes);
    WriteText("MM_XMITPATH", strOld);
    const int nExit = testsupport::RunProcess({testsupport::TornWriterPath(), "MM_XMITPATH", strNew,
                                               std::to_string(nBytes)})
                          .nExitCode;
    EXPECT_EQ(nExit, nBytes < nWhole ? 9 : 0);
    Recover("MM_XMITPATH");
    EXPECT_EQ(ReadText("MM_XMITPATH"), nBytes == 0 ? strOld : nBytes < nWhole ? "" : strNew);
  }
}

// A peer that keeps re-taking the path mutex, 2.9 s at a time, while a path
// waits in the slot: the slot's 3000 ms are 3000 ms in all, lock waits
// included.
TEST_F(XversendTest, SlotBoundCountsItsLockWaitsToo) {
  WriteText("MM_XMITERSTATUS", "READY");
  WriteText("MM_XMITPATH", "C:\\old.txt");
  std::atomic<bool> bHeld{false};
  std::atomic<bool> bStop{false};
  std::thread peer([&] {
    CMemMapFile slot;
    ASSERT_TRUE(segments::Attach(slot, "MM_XMITPATH"));
    while (!bStop) {
      {
        const segments::CSegmentLock lock(slot, segments::LockDeadline(),
                                          segments::Abandoned::Take);
        bHeld = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2900));
      }
      // Long enough for the waiting sender to look, short of its next look.
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  ASSERT_TRUE(testsupport::WaitUntil([&] { return bHeld.load(); }));
  const ProcessResult result = Run({"C:\\new.txt"});
  bStop = true;
  peer.join();
  EXPECT_EQ(result.nExitCode, 0);
  EXPECT_LT(result.dSeconds, 3.5);
  EXPECT_EQ(ReadText("MM_XMITPATH"), "C:\\old.txt");
}

// Thirty senders start at once while this process holds every segment:
// each attaches to the segments as they are; none makes one new.
TEST_F(XversendTest, SendersAttachHeldSegmentsWithoutMakingThemNew) {
  for (const char* pszName : segments::kNames) WriteText(pszName, "kept");
  WriteText("MM_XMITERSTATUS", "READY");
  std::vector<ChildProcess> senders(30);
  for (std::size_t i = 0; i < senders.size(); ++i) {
    ASSERT_TRUE(senders[i].Start({testsupport::XversendPath(), "word" + std::to_string(i)}));
  }
  for (auto& sender : senders) {
    EXPECT_EQ(sender.Wait(), 1);
    EXPECT_EQ(sender.Stderr(), "");
  }
  for (const char* pszName : segments::kNames) {
    const std::string strText = ReadText(pszName);
    if (std::string(pszName) == "MM_XMITPATH") {
      EXPECT_EQ(strText.rfind("word", 0), 0u) << strText;
    } else {
      EXPECT_EQ(strText, std::string(pszName) == "MM_XMITERSTATUS" ? "READY" : "kept");
    }
  }
}

TEST_F(XversendTest, GarbageInTheSegmentsGetsDefinedAnswers) {
  const std::string strNoNul(201, 'R');
  const std::string strBinary = [] {
    std::string str;
    for (int i = 0; i < 201; ++i) str += static_cast<char>((i * 37 + 1) % 255 + 1);
    return str;
  }();
  // Status garbage: never READY, so a path is refused.
  for (const std::string& strStatus : {strNoNul, strBinary}) {
    WriteBytes("MM_XMITERSTATUS", strStatus);
    WriteText("MM_XMITPATH", "previous");
    EXPECT_EQ(Run({"C:\\x"}).nExitCode, 0);
    EXPECT_EQ(ReadText("MM_XMITPATH"), "previous");
  }
  // Path garbage: overwritten up to the new NUL, the rest left as it was. The
  // binary bytes hold ':' and count as a waiting path, which a path would
  // wait for; a bare word clears it.
  WriteText("MM_XMITERSTATUS", "READY");
  for (const auto& [strPath, strRequest] :
       {std::pair{strNoNul, std::string("C:\\x")}, {strBinary, std::string("word")}}) {
    WriteBytes("MM_XMITPATH", strPath);
    EXPECT_EQ(Run({strRequest}).nExitCode, 1);
    EXPECT_EQ(ReadBytes("MM_XMITPATH"), strRequest + '\0' + strPath.substr(strRequest.size() + 1));
  }
}

TEST_F(XversendTest, RequestTextIsCopiedNeverInterpreted) {
  WriteText("MM_XMITERSTATUS", "READY");
  for (const char* pszRequest :
       {"C:\\%s%n%x%p", "C:\\$(touch x)`id`;|&", "C:\\..\\..\\etc\\passwd", "C:\\\x01\x7f\xff\t"}) {
    EXPECT_EQ(Run({pszRequest}).nExitCode, 1);
    EXPECT_EQ(ReadText("MM_XMITPATH"), pszRequest);
    WriteText("MM_XMITPATH", "");  // taken
  }
}

// Thirty senders at once: every one told "handed over" has its path taken
// by the server exactly once.
TEST_F(SlotTest, ThirtySendersAtOnceLoseNoPath) {
  StartServer();
  const std::vector<std::string> paths = NumberedPaths("at_once_", 30);
  const std::vector<ProcessResult> results = SendAtOnce(paths);
  const std::vector<std::string> taken = StopServer();
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
TEST_F(SlotTest, ConcurrentSendersNeverTearOrMixAPath) {
  constexpr int kSenders = 8;
  constexpr int kPathsEach = 200;
  StartServer();

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
  for (const std::string& strPath : StopServer()) {
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
