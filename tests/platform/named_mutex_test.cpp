#include <gtest/gtest.h>

#include <thread>

#include "platform/platform.h"
#include "support/test_env.h"

namespace {

using platform::NamedMutex;
using platform::WaitResult;

class NamedMutexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_strName = testsupport::UniqueName("NMT");
    platform::removeName(m_strName);
  }
  void TearDown() override { platform::removeName(m_strName); }

  // Whether another thread can take the mutex now; it lets go again.
  WaitResult LockFromAnotherThread() const {
    WaitResult result = WaitResult::Failed;
    std::thread([&] {
      NamedMutex other;
      if (!other.Create(m_strName, nullptr)) return;
      result = other.Lock(0);
      other.Unlock();
    }).join();
    return result;
  }

  std::string m_strName;
};

TEST_F(NamedMutexTest, ClosedMutexFailsAtOnce) {
  NamedMutex mutex;
  EXPECT_FALSE(mutex.IsOpen());
  EXPECT_EQ(mutex.Lock(1000), WaitResult::Failed);
  mutex.Unlock();
}

TEST_F(NamedMutexTest, IsRecursiveForItsOwner) {
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Create(m_strName, nullptr));
  EXPECT_EQ(mutex.Lock(0), WaitResult::Acquired);
  EXPECT_EQ(mutex.Lock(0), WaitResult::Acquired);
  mutex.Unlock();
  mutex.Unlock();
}

TEST_F(NamedMutexTest, OtherThreadTimesOutAndCannotReleaseIt) {
  NamedMutex holder;
  ASSERT_TRUE(holder.Create(m_strName, nullptr));
  ASSERT_EQ(holder.Lock(0), WaitResult::Acquired);

  std::thread([&] {
    NamedMutex other;
    ASSERT_TRUE(other.Create(m_strName, nullptr));
    other.Unlock();
    holder.Unlock();  // wrong thread: no effect
    EXPECT_EQ(other.Lock(50), WaitResult::TimedOut);
  }).join();

  holder.Unlock();
  EXPECT_EQ(LockFromAnotherThread(), WaitResult::Acquired);
}

TEST_F(NamedMutexTest, ThreadThatEndsHoldingItLeavesItAbandoned) {
  NamedMutex dead;
  ASSERT_TRUE(dead.Create(m_strName, nullptr));
  std::thread([&] { ASSERT_EQ(dead.Lock(0), WaitResult::Acquired); }).join();

  NamedMutex mutex;
  ASSERT_TRUE(mutex.Create(m_strName, nullptr));
  EXPECT_EQ(mutex.Lock(1000), WaitResult::Abandoned);
  mutex.Unlock();
  EXPECT_EQ(mutex.Lock(0), WaitResult::Acquired);
  mutex.Unlock();
}

TEST_F(NamedMutexTest, MoveHandsTheHoldOver) {
  NamedMutex first;
  ASSERT_TRUE(first.Create(m_strName, nullptr));
  ASSERT_EQ(first.Lock(0), WaitResult::Acquired);
  NamedMutex second(std::move(first));
  EXPECT_FALSE(first.IsOpen());
  first.Unlock();
  second.Unlock();
  EXPECT_EQ(LockFromAnotherThread(), WaitResult::Acquired);
}

}  // namespace
