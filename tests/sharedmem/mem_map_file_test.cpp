#include "sharedmem/mem_map_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/test_env.h"

namespace {

using testsupport::ChildProcess;
using testsupport::TestPeerPath;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kSize = 201;

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)
      .count();
}

class MemMapFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_strName = testsupport::UniqueName("MMT");
    platform::removeName(m_strName);
    platform::removeName(m_strName + "MUTEX");
  }
  void TearDown() override {
    platform::removeName(m_strName);
    platform::removeName(m_strName + "MUTEX");
  }

  // Starts a peer in MODE on this test's segment and waits until it holds it.
  void StartHolder(ChildProcess& peer, const std::vector<std::string>& mode) {
    std::vector<std::string> args = {TestPeerPath(), mode[0], m_strName};
    args.insert(args.end(), mode.begin() + 1, mode.end());
    ASSERT_TRUE(peer.Start(args));
    ASSERT_EQ(peer.ReadLine(), "locked");
  }

  std::string m_strName;
};

TEST(MakeMapNameTest, UpperCasesAndTurnsBackslashIntoUnderscore) {
  const struct {
    const char* pszIn;
    const char* pszOut;
  } kCases[] = {
      {"MM_XMITPATH", "MM_XMITPATH"},
      {"a\\b", "A_B"},
      {"mm_xmitPath", "MM_XMITPATH"},
      {"\\\\x", "__X"},
      {"", ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(CMemMapFile::MakeMapName(c.pszIn), c.pszOut) << c.pszIn;
  }
}

TEST_F(MemMapFileTest, LockOnClosedSegmentFailsWithoutWaiting) {
  CMemMapFile map;
  const auto start = Clock::now();
  EXPECT_EQ(map.Lock(), nullptr);
  EXPECT_EQ(map.Unlock(), 1);
  EXPECT_LT(MillisecondsSince(start), 50);
}

TEST_F(MemMapFileTest, OpenOfUnknownNameFailsAndStaysClosed) {
  CMemMapFile map;
  EXPECT_EQ(map.Open(m_strName, kSize, 0), 0);
  EXPECT_EQ(map.Lock(), nullptr);
  map.Unlock();
  EXPECT_EQ(map.GetName(), "");
  EXPECT_EQ(map.GetSize(), 0u);
}

TEST_F(MemMapFileTest, CreateMakesZeroFilledSegmentThatOthersAttach) {
  CMemMapFile creator;
  ASSERT_EQ(creator.Create(m_strName, kSize, 0, nullptr), 1);
  auto* pBytes = static_cast<unsigned char*>(creator.Lock());
  ASSERT_NE(pBytes, nullptr);
  EXPECT_EQ(std::vector<unsigned char>(pBytes, pBytes + kSize),
            std::vector<unsigned char>(kSize, 0));
  std::strcpy(reinterpret_cast<char*>(pBytes), "hello");
  creator.Unlock();

  CMemMapFile opener;
  CMemMapFile secondCreator;
  ASSERT_EQ(opener.Open(m_strName, kSize, 0), 1);
  ASSERT_EQ(secondCreator.Create(m_strName, kSize, 0, nullptr), 1);
  for (CMemMapFile* pMap : {&opener, &secondCreator}) {
    const char* pszText = static_cast<const char*>(pMap->Lock());
    ASSERT_NE(pszText, nullptr);
    EXPECT_STREQ(pszText, "hello");
    pMap->Unlock();
  }
}

TEST_F(MemMapFileTest, ReadOnlySegmentIsReadable) {
  CMemMapFile writer;
  ASSERT_EQ(writer.Create(m_strName, kSize, 0, nullptr), 1);
  std::strcpy(static_cast<char*>(writer.Lock()), "ro");
  writer.Unlock();

  CMemMapFile reader;
  ASSERT_EQ(reader.Open(m_strName, kSize, 1), 1);
  const char* pszText = static_cast<const char*>(reader.Lock());
  ASSERT_NE(pszText, nullptr);
  EXPECT_STREQ(pszText, "ro");
  reader.Unlock();
}

TEST_F(MemMapFileTest, CloseTwiceAndCloseUnattachedAreHarmless) {
  CMemMapFile never;
  never.Close();
  never.Close();

  CMemMapFile keeper;  // Windows names vanish with their last handle
  ASSERT_EQ(keeper.Create(m_strName, kSize, 0, nullptr), 1);
  CMemMapFile map;
  ASSERT_EQ(map.Open(m_strName, kSize, 0), 1);
  ASSERT_NE(map.Lock(), nullptr);  // Close also releases a held mutex
  map.Close();
  map.Close();
  EXPECT_EQ(map.Lock(), nullptr);
  map.Unlock();

  // Mutexes are owned by a thread: only another one shows the release.
  std::thread([this] {
    CMemMapFile other;
    ASSERT_EQ(other.Open(m_strName, kSize, 0), 1);
    EXPECT_NE(other.Lock(), nullptr);
    other.Unlock();
  }).join();
}

// A peer that died holding the mutex (killed, or exited without releasing)
// while this process also held the segment leaves it abandoned: the next
// Lock fails at once but takes the mutex, the caller's Unlock releases it,
// and the Lock after that succeeds. With nobody else attached the objects
// died with the peer: the next Create finds them new and the mutex free.
TEST_F(MemMapFileTest, DeadHolderLeavesMutexAbandonedOnlyToOtherHolders) {
  for (const bool bKill : {true, false}) {
    for (const bool bOtherHolder : {true, false}) {
      SCOPED_TRACE(std::string(bKill ? "killed" : "exited") +
                   (bOtherHolder ? ", another holder" : ", alone"));
      CMemMapFile map;
      if (bOtherHolder) {
        ASSERT_EQ(map.Create(m_strName, kSize, 0, nullptr), 1);
      }
      ChildProcess peer;
      if (bKill) {
        StartHolder(peer, {"hold", "60000"});
        peer.Kill();
        EXPECT_EQ(peer.Wait(), -1);
      } else {
        StartHolder(peer, {"abandon"});
        EXPECT_EQ(peer.Wait(), 0);
      }

      const auto start = Clock::now();
      if (bOtherHolder) {
        EXPECT_EQ(map.Lock(), nullptr);
        EXPECT_EQ(map.GetLastWait(), platform::WaitResult::Abandoned);
        map.Unlock();
      } else {
        ASSERT_EQ(map.Create(m_strName, kSize, 0, nullptr), 1);
      }
      EXPECT_NE(map.Lock(), nullptr);
      EXPECT_LT(MillisecondsSince(start), 1000);
      EXPECT_EQ(map.GetProblem(), "");
      map.Unlock();
    }
  }
}

TEST_F(MemMapFileTest, LockGivesUpAfterThreeSecondsWhileAnotherHolds) {
  CMemMapFile map;
  ASSERT_EQ(map.Create(m_strName, kSize, 0, nullptr), 1);
  ChildProcess peer;
  StartHolder(peer, {"hold", "7000"});

  const auto start = Clock::now();
  EXPECT_EQ(map.Lock(), nullptr);
  const long long nWaited = MillisecondsSince(start);
  map.Unlock();  // not ours: must not release the peer's hold
  EXPECT_GE(nWaited, 2900);
  EXPECT_LE(nWaited, 3100);

  EXPECT_EQ(map.Lock(), nullptr) << "Unlock released a mutex it did not hold";
  map.Unlock();
  EXPECT_EQ(peer.Wait(), 0);
  EXPECT_NE(map.Lock(), nullptr);
  map.Unlock();
}

TEST_F(MemMapFileTest, NamesDifferingInCaseOrBackslashShareSegmentAndMutex) {
  const std::string strLower = "x\\" + m_strName;  // X_<name> once mapped
  for (const char* pszVariant : {"x_", "X\\"}) {
    SCOPED_TRACE(pszVariant);
    const std::string strOther = pszVariant + m_strName;
    CMemMapFile writer;
    ASSERT_EQ(writer.Create(strLower, kSize, 0, nullptr), 1);
    std::strcpy(static_cast<char*>(writer.Lock()), pszVariant);
    writer.Unlock();

    CMemMapFile reader;
    ASSERT_EQ(reader.Open(strOther, kSize, 0), 1);
    const char* pszText = static_cast<const char*>(reader.Lock());
    ASSERT_NE(pszText, nullptr);
    EXPECT_STREQ(pszText, pszVariant);
    reader.Unlock();

    // A peer dies holding the mutex under the one spelling; the other
    // spelling finds it abandoned, so it is the same mutex.
    ChildProcess peer;
    ASSERT_TRUE(peer.Start({TestPeerPath(), "abandon", strLower}));
    ASSERT_EQ(peer.ReadLine(), "locked");
    peer.Wait();
    EXPECT_EQ(reader.Lock(), nullptr);
    reader.Unlock();
    EXPECT_NE(reader.Lock(), nullptr);
    reader.Unlock();
  }
  platform::removeName("X_" + m_strName);
  platform::removeName("X_" + m_strName + "MUTEX");
}

TEST_F(MemMapFileTest, TwentyProcessesCreatingTheSameNamesAtOnceAllSucceed) {
  std::vector<std::string> names;
  for (int i = 0; i < 7; ++i) names.push_back(m_strName + "_" + std::to_string(i));
  const auto atMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count() +
                    500;
  std::vector<std::string> args = {TestPeerPath(), "attach", std::to_string(atMs)};
  args.insert(args.end(), names.begin(), names.end());

  std::vector<ChildProcess> peers(20);
  for (auto& peer : peers) ASSERT_TRUE(peer.Start(args));
  for (auto& peer : peers) EXPECT_EQ(peer.Wait(), 0) << peer.Stderr();

  // Each peer locked every mutex. With the last of them gone, so are the
  // objects, as on Windows.
  for (const auto& strName : names) {
    CMemMapFile map;
    EXPECT_EQ(map.Open(strName, kSize, 0), 0) << strName;
    platform::removeName(strName);
    platform::removeName(strName + "MUTEX");
  }
}

}  // namespace
