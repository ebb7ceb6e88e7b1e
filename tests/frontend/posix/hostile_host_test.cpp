// xversend on a POSIX host where the named objects are not what they should
// be: planted by another account, corrupt, cut short under it, on a file
// system that is read-only or full, or where the launcher closed the standard
// streams. It answers with a defined exit status, says why in one line when
// the machine is at fault, and never crashes.
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <thread>

#include "frontend/xversend_fixture.h"

namespace {

using testsupport::ProcessResult;
using testsupport::XversendTest;

std::string ObjectFile(const std::string& strName) { return "/dev/shm/" + strName; }

// Runs xversend REQUEST through the shell line SCRIPT, which ends in
// `exec "$0" "$1"`.
ProcessResult RunThrough(const std::string& strScript, const std::string& strRequest,
                         const std::vector<std::string>& prefix = {}) {
  std::vector<std::string> args = prefix;
  args.insert(args.end(), {"/bin/sh", "-c", strScript, testsupport::XversendPath(),
                           strRequest});
  return testsupport::RunProcess(args);
}

TEST_F(XversendTest, ClosedStandardStreamsNeverLeadIntoASegment) {
  RemoveSetupFile();  // so that the message is written
  for (const char* pszClose : {"2>&-", "0<&- 1>&- 2>&-"}) {
    SCOPED_TRACE(pszClose);
    for (const char* pszName : segments::kAll) WriteText(pszName, "kept");
    const ProcessResult result =
        RunThrough(std::string("exec \"$0\" \"$1\" ") + pszClose, "word");
    EXPECT_EQ(result.nExitCode, 1);
    for (const char* pszName : segments::kAll) {
      EXPECT_EQ(ReadText(pszName), std::string(pszName) == "MM_XMITPATH" ? "word" : "kept");
    }
  }
}

// A segment, or its mutex object, of another account: refused, one line
// naming it, and the object left as it was.
TEST_F(XversendTest, ObjectsOfAnotherAccountAreRefusedWithALine) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give objects away";
  const struct {
    const char* pszObject;
    const char* pszRequest;
  } kCases[] = {
      {"MM_XMITERSTATUS", "C:\\Data\\obs.txt"},
      {"MM_XMITERSTATUSMUTEX", "C:\\Data\\obs.txt"},
      {"MM_XMITPATH", "word"},
      {"MM_XMITPATHMUTEX", "word"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszObject);
    WriteText("MM_XMITERSTATUS", "READY");
    WriteText("MM_XMITPATH", "previous");
    const std::string strFile = ObjectFile(c.pszObject);
    ASSERT_EQ(chown(strFile.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(strFile.c_str(), 0666), 0);

    const ProcessResult result = Run({c.pszRequest});
    EXPECT_EQ(result.nExitCode, 0);
    EXPECT_EQ(result.strStderr, std::string("xversend: ") + c.pszObject +
                                    ": not used: it belongs to user 65534\n");
    struct stat info {};
    ASSERT_EQ(stat(strFile.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_mode & 0777, 0666u);
    ASSERT_EQ(chown(strFile.c_str(), 0, 0), 0);
    EXPECT_EQ(ReadText("MM_XMITERSTATUS"), "READY");
    EXPECT_EQ(ReadText("MM_XMITPATH"), "previous");
  }
}

// Mutex kinds that make the C library assert or wait for ever, written by a
// process that holds the objects: refused with a line, never a crash.
TEST_F(XversendTest, CorruptMutexKindsUnderALiveHolderAreRefused) {
  const struct {
    const char* pszSegment;
    const char* pszRequest;
    int nKindBits;
  } kCases[] = {
      {"MM_XMITERSTATUS", "C:\\Data\\obs.txt", 0x20},  // priority inheritance
      {"MM_XMITERSTATUS", "C:\\Data\\obs.txt", 0x40},  // priority protection
      {"MM_XMITPATH", "word", 0x20},
  };
  constexpr off_t kKindAt = 64 + offsetof(pthread_mutex_t, __data.__kind);
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.pszSegment) + " " + std::to_string(c.nKindBits));
    WriteText("MM_XMITERSTATUS", "READY");
    const std::string strMutex = std::string(c.pszSegment) + "MUTEX";
    const int fd = open(ObjectFile(strMutex).c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    int nKind = 0;
    ASSERT_EQ(pread(fd, &nKind, sizeof nKind, kKindAt), ssize_t{sizeof nKind});
    const int nCorrupt = nKind | c.nKindBits;
    ASSERT_EQ(pwrite(fd, &nCorrupt, sizeof nCorrupt, kKindAt), ssize_t{sizeof nKind});

    const ProcessResult result = Run({c.pszRequest});
    EXPECT_EQ(result.nExitCode, 0);
    EXPECT_EQ(result.strStderr,
              "xversend: " + strMutex + ": not used: its mutex is corrupt\n");
    ASSERT_EQ(pwrite(fd, &nKind, sizeof nKind, kKindAt), ssize_t{sizeof nKind});
    close(fd);
  }
}

// Another process cuts the two segments xversend reads and writes short and
// restores them, as fast as it can, while requests run: each request ends
// with its own exit status, never a signal.
TEST_F(XversendTest, SegmentsCutShortUnderRunningRequestsNeverCrashIt) {
  WriteText("MM_XMITERSTATUS", "READY");
  std::atomic<bool> bStop{false};
  std::thread shrinker([&] {
    const int fdStatus = open(ObjectFile("MM_XMITERSTATUS").c_str(), O_RDWR);
    const int fdPath = open(ObjectFile("MM_XMITPATH").c_str(), O_RDWR);
    while (!bStop) {
      for (const int fd : {fdStatus, fdPath}) {
        (void)!ftruncate(fd, 0);
        (void)!pwrite(fd, "READY", 6, 0);
        (void)!ftruncate(fd, 201);
      }
    }
    close(fdStatus);
    close(fdPath);
  });
  int nExits[2] = {0, 0};
  for (int i = 0; i < 150; ++i) {
    const int nExit = Run({i % 2 ? "C:\\Data\\obs.txt" : "word"}).nExitCode;
    EXPECT_TRUE(nExit == 0 || nExit == 1) << "run " << i << ": exit " << nExit;
    if (nExit != 0 && nExit != 1) break;
    ++nExits[nExit];
  }
  bStop = true;
  shrinker.join();
  std::printf("segments cut short: 150 runs, %d handed over, %d refused\n", nExits[1],
              nExits[0]);
}

// A /dev/shm that takes nothing new: the first object the request reaches is
// named in one line with the system's reason, and the request is refused.
TEST_F(XversendTest, ReadOnlyOrFullSharedMemoryIsSaidInALine) {
  if (geteuid() != 0 || access("/usr/bin/unshare", X_OK) != 0) {
    GTEST_SKIP() << "needs root and unshare for a private /dev/shm";
  }
  const std::string strFull =
      "mount -t tmpfs -o size=4k tmpfs /dev/shm && head -c 4096 /dev/zero >/dev/shm/fill";
  const struct {
    std::string strMount;
    const char* pszRequest;
    const char* pszLine;
  } kCases[] = {
      {"mount -t tmpfs -o ro tmpfs /dev/shm", "C:\\Data\\obs.txt",
       "MM_XMITERSTATUS: Read-only file system"},
      {strFull, "C:\\Data\\obs.txt", "MM_XMITERSTATUS: No space left on device"},
      {strFull, "word", "MM_XMITPATH: No space left on device"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.strMount + " / " + c.pszRequest);
    const ProcessResult result =
        RunThrough(c.strMount + " && exec \"$0\" \"$1\"", c.pszRequest,
                   {"/usr/bin/unshare", "--mount", "--propagation", "private"});
    EXPECT_EQ(result.nExitCode, 0);
    EXPECT_EQ(result.strStderr, std::string("xversend: ") + c.pszLine + "\n");
  }
}

}  // namespace
