// What peers on the same machine see of the named objects: modes, the mutex
// object's layout, and what becomes of objects left by others.
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <filesystem>

#include "platform/platform.h"
#include "sharedmem/mem_map_file.h"
#include "support/child_process.h"
#include "support/posix/named_objects.h"
#include "support/test_env.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::ObjectContents;
using testsupport::ObjectFile;
using testsupport::PlantObject;
using testsupport::StatObject;

class ShmObjectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_strName = testsupport::UniqueName("SOT");
    Remove();
    mkdir(testsupport::NameFolder().c_str(), 0700);
  }
  void TearDown() override { Remove(); }
  void Remove() {
    platform::removeName(m_strName);
    platform::removeName(m_strName + "MUTEX");
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
    EXPECT_EQ(StatObject(m_strName).st_mode & 0777, 0600u);
    EXPECT_EQ(StatObject(m_strName + "MUTEX").st_mode & 0777, 0600u);
    EXPECT_EQ(StatObject(m_strName).st_size, 201);
    map.Close();
    Remove();
  }
  // One of ours left with a wider mode is narrowed when attached.
  PlantObject(m_strName, "", 0666);
  CMemMapFile map;
  ASSERT_EQ(map.Create(m_strName, 201, 0, nullptr), 1);
  EXPECT_EQ(StatObject(m_strName).st_mode & 0777, 0600u);
}

TEST_F(ShmObjectsTest, MutexObjectHasTheDocumentedHeader) {
  CMemMapFile map;
  ASSERT_EQ(map.Create(m_strName, 201, 0, nullptr), 1);
  const std::string strHeader = ObjectContents(m_strName + "MUTEX");
  ASSERT_EQ(strHeader.size(), 128u);
  EXPECT_EQ(strHeader.substr(0, 4), "XVMX");
  EXPECT_EQ(strHeader.substr(4, 4), std::string("\2\0\0\0", 4));
  EXPECT_EQ(strHeader.substr(8, 56), std::string(56, '\0'));
}

// Whatever a name nobody holds has left behind is made new: a segment of
// zero bytes and a free mutex, at once.
TEST_F(ShmObjectsTest, LeftoversNobodyHoldsAreMadeNew) {
  testsupport::ChildProcess alive;
  ASSERT_TRUE(alive.Start({"/bin/sleep", "10"}));
  const auto nLivePid = static_cast<std::uint32_t>(alive.Pid());
  std::string strVersion1("XVMX\1\0\0\0", 8);
  strVersion1.append(reinterpret_cast<const char*>(&nLivePid), 4);
  strVersion1.resize(128, '\xA5');
  const struct {
    const char* pszCase;
    std::string strSegment;
    std::string strMutex;
  } kCases[] = {
      {"old contents", std::string(201, 'R'), ""},
      {"short segment", "RE", ""},
      {"segment too long", std::string(300, 'R'), ""},
      {"older layout, initialiser alive", "", strVersion1},
      {"foreign magic", "", std::string(128, 'G')},
      {"short mutex object", "", "XVMX\2\0\0\0"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszCase);
    if (!c.strSegment.empty()) PlantObject(m_strName, c.strSegment);
    if (!c.strMutex.empty()) PlantObject(m_strName + "MUTEX", c.strMutex);
    const auto start = Clock::now();
    CMemMapFile map;
    ASSERT_EQ(map.Create(m_strName, 201, 0, nullptr), 1);
    const char* pView = static_cast<const char*>(map.Lock());
    ASSERT_NE(pView, nullptr);
    EXPECT_EQ(std::string(pView, 201), std::string(201, '\0'));
    map.Unlock();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(StatObject(m_strName).st_size, 201);
    map.Close();
    Remove();
  }
  alive.Kill();
}

// A process stopped while it makes an object new keeps the write lock: an
// attach waits for it at most 3000 ms, then gives up saying so.
TEST_F(ShmObjectsTest, ObjectBeingMadeNewIsWaitedForWithinTheBound) {
  PlantObject(m_strName, "");
  const int fd = open(ObjectFile(m_strName).c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  struct flock lock {};
  lock.l_type = F_WRLCK;
  ASSERT_EQ(fcntl(fd, F_OFD_SETLK, &lock), 0);

  const auto start = Clock::now();
  CMemMapFile map;
  EXPECT_EQ(map.Create(m_strName, 201, 0, nullptr), 0);
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(2900));
  EXPECT_LT(waited, std::chrono::milliseconds(3300));
  EXPECT_NE(map.GetProblem().find(m_strName + ": not used"), std::string::npos) << map.GetProblem();
  close(fd);
}

// What is not this user's regular file is never used, and never touched.
struct ForeignObject {
  const char* pszCase;
  bool bFifo;
  uid_t nOwner;
  const char* pszProblem;
};

void PrintTo(const ForeignObject& c, std::ostream* pOut) { *pOut << c.pszCase; }

class ForeignObjectTest : public ShmObjectsTest,
                          public ::testing::WithParamInterface<ForeignObject> {};

TEST_P(ForeignObjectTest, IsRefusedUntouched) {
  const ForeignObject& c = GetParam();
  if (geteuid() != 0 && c.nOwner != geteuid()) GTEST_SKIP() << "needs root to chown";
  if (c.bFifo) {
    ASSERT_EQ(mkfifo(ObjectFile(m_strName).c_str(), 0600), 0);
  } else {
    PlantObject(m_strName, std::string(201, 'K'), 0666);
  }
  ASSERT_EQ(chown(ObjectFile(m_strName).c_str(), c.nOwner, static_cast<gid_t>(-1)), 0);
  const struct stat before = StatObject(m_strName);

  CMemMapFile map;
  EXPECT_EQ(map.Open(m_strName, 201, 0), 0);
  EXPECT_EQ(map.Create(m_strName, 201, 0, nullptr), 0);
  EXPECT_EQ(map.GetProblem(), m_strName + c.pszProblem);
  const struct stat after = StatObject(m_strName);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(after.st_uid, before.st_uid);
  if (!c.bFifo) {
    EXPECT_EQ(ObjectContents(m_strName), std::string(201, 'K'));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ForeignObjectTest,
                         ::testing::Values(ForeignObject{"AnotherUsers", false, 65534,
                                                         ": not used: it belongs to user 65534"},
                                           ForeignObject{"Fifo", true, geteuid(),
                                                         ": not used: not a regular file"}),
                         [](const auto& info) { return std::string(info.param.pszCase); });

// Kind bits and owners that no mutex of ours can have, written by a process
// that holds the object: Lock refuses them without calling the C library's
// lock, which would assert or wait for ever on some of them.
TEST_F(ShmObjectsTest, CorruptMutexIsRefusedNotLocked) {
  const struct {
    const char* pszCase;
    std::size_t nOffset;
    int nValue;
  } kCases[] = {
      {"priority inheritance", offsetof(pthread_mutex_t, __data.__kind), 0x91 | 0x20},
      {"priority protection", offsetof(pthread_mutex_t, __data.__kind), 0x91 | 0x40},
      {"not robust", offsetof(pthread_mutex_t, __data.__kind), 0x81},
      {"owner no thread has", offsetof(pthread_mutex_t, __data.__owner), -5},
      {"lock word of no thread", offsetof(pthread_mutex_t, __data.__lock), 0x3FFFFFFF},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszCase);
    CMemMapFile holder;
    ASSERT_EQ(holder.Create(m_strName, 201, 0, nullptr), 1);
    const int fd = open(ObjectFile(m_strName + "MUTEX").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, &c.nValue, sizeof c.nValue, off_t(64 + c.nOffset)),
              ssize_t{sizeof c.nValue});
    close(fd);

    EXPECT_EQ(holder.Lock(), nullptr);
    EXPECT_EQ(holder.GetLastWait(), platform::WaitResult::Failed);
    EXPECT_EQ(holder.GetProblem(), m_strName + "MUTEX: not used: its mutex is corrupt");
    holder.Unlock();
    CMemMapFile newcomer;
    EXPECT_EQ(newcomer.Create(m_strName, 201, 0, nullptr), 1);
    EXPECT_EQ(newcomer.Lock(), nullptr);
    EXPECT_EQ(newcomer.GetProblem(), holder.GetProblem());
    newcomer.Unlock();
  }
}

TEST_F(ShmObjectsTest, FailedViewReleasesItsHandlesBeforeCreate) {
  CMemMapFile holder;
  ASSERT_EQ(holder.Create(m_strName, 201, 0, nullptr), 1);
  const auto openDescriptors = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator());
  };
  const auto nBefore = openDescriptors();
  CMemMapFile map;
  ASSERT_EQ(map.Open(m_strName, 0, 0), 0);  // attached, but no view of 0 bytes
  ASSERT_EQ(map.Create(m_strName, 201, 0, nullptr), 1);
  // The segment and its mutex object, until a Lock maps that.
  EXPECT_EQ(openDescriptors(), nBefore + 2);
}

TEST_F(ShmObjectsTest, SymlinkInPlaceOfANameIsNotFollowed) {
  testsupport::TempDir dir;
  const std::string strTarget = dir.WriteFile("target", std::string(201, 'T'));
  ASSERT_EQ(symlink(strTarget.c_str(), ObjectFile(m_strName).c_str()), 0);

  CMemMapFile map;
  EXPECT_EQ(map.Open(m_strName, 201, 0), 0);
  EXPECT_EQ(map.Create(m_strName, 201, 0, nullptr), 0);
  struct stat info {};
  ASSERT_EQ(stat(strTarget.c_str(), &info), 0);
  EXPECT_EQ(info.st_size, 201);
}

}  // namespace
