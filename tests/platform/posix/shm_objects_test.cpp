// What peers on the same machine see of the named objects: modes, the mutex
// object's layout and its one-time initialisation.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>

#include "platform/platform.h"
#include "sharedmem/mem_map_file.h"
#include "support/child_process.h"
#include "support/test_env.h"

namespace {

using Clock = std::chrono::steady_clock;

class ShmObjectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_strName = testsupport::UniqueName("SOT");
    Remove();
  }
  void TearDown() override { Remove(); }
  void Remove() {
    platform::removeName(m_strName);
    platform::removeName(m_strName + "MUTEX");
  }
  static struct stat Stat(const std::string& strName) {
    struct stat info {};
    EXPECT_EQ(stat(("/dev/shm/" + strName).c_str(), &info), 0) << strName;
    return info;
  }

  // Writes a mutex object as a creator that stopped half-way would leave it.
  void CraftHalfInitialisedMutex(std::uint32_t nState) {
    const int fd = shm_open(("/" + m_strName + "MUTEX").c_str(),
                            O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 128), 0);
    std::uint32_t header[3] = {0, 0, nState};
    ASSERT_EQ(pwrite(fd, header, sizeof header, 0), ssize_t{sizeof header});
    std::memset(header, 0xA5, sizeof header);  // garbage where the mutex goes
    ASSERT_EQ(pwrite(fd, header, sizeof header, 64), ssize_t{sizeof header});
    close(fd);
  }

  std::string m_strName;
};

TEST_F(ShmObjectsTest, NewObjectsAreOwnerOnlyWhateverTheUmask) {
  for (const mode_t nUmask : {0000, 0022, 0077, 0277}) {
    SCOPED_TRACE(nUmask);
    const mode_t nOld = umask(nUmask);
    CMemMapFile map;
    const std::int32_t bCreated = map.Create(m_strName, 201, 0, nullptr);
    umask(nOld);
    ASSERT_EQ(bCreated, 1);
    EXPECT_EQ(Stat(m_strName).st_mode & 0777, 0600u);
    EXPECT_EQ(Stat(m_strName + "MUTEX").st_mode & 0777, 0600u);
    EXPECT_EQ(Stat(m_strName).st_size, 201);
    map.Close();
    Remove();
  }
}

TEST_F(ShmObjectsTest, MutexObjectHasTheDocumentedHeader) {
  CMemMapFile map;
  ASSERT_EQ(map.Create(m_strName, 201, 0, nullptr), 1);
  const int fd = shm_open(("/" + m_strName + "MUTEX").c_str(), O_RDONLY, 0);
  ASSERT_GE(fd, 0);
  std::uint32_t header[3] = {};
  ASSERT_EQ(pread(fd, header, sizeof header, 0), ssize_t{sizeof header});
  close(fd);
  EXPECT_EQ(std::memcmp(&header[0], "XVMX", 4), 0);
  EXPECT_EQ(header[1], 1u);
  EXPECT_EQ(header[2], 0xFFFFFFFFu);
  EXPECT_EQ(Stat(m_strName + "MUTEX").st_size, 128);
}

TEST_F(ShmObjectsTest, ShortObjectLeftByAnotherCreatorIsGrownNotMappedShort) {
  const int fd = shm_open(("/" + m_strName).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(fd, 0);
  close(fd);

  CMemMapFile reader;
  EXPECT_EQ(reader.Open(m_strName, 201, 1), 0) << "read-only view of a short object";
  CMemMapFile writer;
  ASSERT_EQ(writer.Open(m_strName, 201, 0), 1);
  char* pView = static_cast<char*>(writer.Lock());
  ASSERT_NE(pView, nullptr);
  pView[200] = 'x';  // would be SIGBUS on a short object
  writer.Unlock();
  EXPECT_EQ(Stat(m_strName).st_size, 201);
}

TEST_F(ShmObjectsTest, FailedViewReleasesItsHandlesBeforeCreate) {
  const int fd = shm_open(("/" + m_strName).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(fd, 0);
  close(fd);
  const auto openDescriptors = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator());
  };
  const auto nBefore = openDescriptors();
  CMemMapFile map;
  ASSERT_EQ(map.Open(m_strName, 201, 1), 0);  // short object: no view
  ASSERT_EQ(map.Create(m_strName, 201, 0, nullptr), 1);
  EXPECT_EQ(openDescriptors(), nBefore + 1);  // the mapping alone
}

TEST_F(ShmObjectsTest, MutexLeftHalfInitialisedByDeadCreatorIsRecovered) {
  testsupport::ChildProcess gone;
  ASSERT_TRUE(gone.Start({"/bin/true"}));
  // The pid of a process that has ended stands for a creator that died.
  const auto nDeadPid = static_cast<std::uint32_t>(gone.Pid());
  ASSERT_EQ(gone.Wait(), 0);
  CraftHalfInitialisedMutex(nDeadPid);

  const auto start = Clock::now();
  CMemMapFile map;
  ASSERT_EQ(map.Create(m_strName, 201, 0, nullptr), 1);
  EXPECT_NE(map.Lock(), nullptr);
  map.Unlock();
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3000));
}

TEST_F(ShmObjectsTest, MutexStillBeingInitialisedByLiveCreatorFailsWithinBound) {
  // This process stands in for a live creator that never finishes.
  testsupport::ChildProcess alive;
  ASSERT_TRUE(alive.Start({"/bin/sleep", "10"}));
  CraftHalfInitialisedMutex(static_cast<std::uint32_t>(alive.Pid()));

  const auto start = Clock::now();
  CMemMapFile map;
  ASSERT_EQ(map.Create(m_strName, 201, 0, nullptr), 1);  // attached, no mutex
  EXPECT_EQ(map.Lock(), nullptr);
  map.Unlock();
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(2900));
  EXPECT_LT(waited, std::chrono::milliseconds(3200));
  alive.Kill();
}

TEST_F(ShmObjectsTest, SymlinkInPlaceOfANameIsNotFollowed) {
  testsupport::TempDir dir;
  const std::string strTarget = dir.WriteFile("target", std::string(201, 'T'));
  ASSERT_EQ(symlink(strTarget.c_str(), ("/dev/shm/" + m_strName).c_str()), 0);

  CMemMapFile map;
  EXPECT_EQ(map.Open(m_strName, 201, 0), 0);
  EXPECT_EQ(map.Create(m_strName, 201, 0, nullptr), 0);
  struct stat info {};
  ASSERT_EQ(stat(strTarget.c_str(), &info), 0);
  EXPECT_EQ(info.st_size, 201);
}

}  // namespace
