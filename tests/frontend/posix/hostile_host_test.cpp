// xversend on a POSIX host where the named objects are not what they should
// be: planted by another account, corrupt, held up or cut short under it, on
// a file system that is read-only or full, or where the launcher left it
// standard streams that cannot take a line. It answers with a defined exit
// status in bounded time, says why in one line when the machine is at fault,
// and never crashes.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <thread>

#include "frontend/xversend_fixture.h"
#include "support/posix/named_objects.h"

namespace {

using testsupport::ChildProcess;
using testsupport::ObjectFile;
using testsupport::ProcessResult;
using testsupport::XversendTest;

const std::string kUser = std::to_string(geteuid());
const std::string kFolder = testsupport::NameFolder();

// Runs xversend REQUEST through the shell line SCRIPT, which refers to the
// program as "$0" and to the request as "$1".
ProcessResult RunThrough(const std::string& strScript, const std::string& strRequest,
                         const std::vector<std::string>& prefix = {}) {
  std::vector<std::string> args = prefix;
  args.insert(args.end(), {"/bin/bash", "-c", strScript, testsupport::XversendPath(), strRequest});
  return testsupport::RunProcess(args);
}

// As RunThrough, in a /dev/shm of its own that SCRIPT mounts: what it does
// there touches nothing of the machine's. SCRIPT finds xverctl as "$X".
ProcessResult RunInPrivateShm(const std::string& strScript, const std::string& strRequest) {
  return RunThrough("export XVER_DRIVE_C=/nonexistent X='" +
                        std::string(testsupport::XverctlPath()) + "'; " + strScript,
                    strRequest, {"/usr/bin/unshare", "--mount", "--propagation", "private"});
}

bool CanUsePrivateShm() { return geteuid() == 0 && access("/usr/bin/unshare", X_OK) == 0; }

// A pipe for a child's standard error that nobody reads: full, or with its
// reader gone. Inherited by children started meanwhile; returns the end to
// write to.
class UnreadPipe {
 public:
  explicit UnreadPipe(bool bFull) {
    EXPECT_EQ(pipe(m_fds), 0);
    if (bFull) {
      // Filled through a description of our own, so that the child's stays
      // blocking as a launcher would leave it.
      const std::string strEnd = "/proc/self/fd/" + std::to_string(m_fds[1]);
      const int fd = open(strEnd.c_str(), O_WRONLY | O_NONBLOCK);
      static const char kBlock[4096] = {};
      while (write(fd, kBlock, sizeof kBlock) > 0) {
      }
      close(fd);
    } else {
      close(std::exchange(m_fds[0], -1));
    }
  }
  ~UnreadPipe() {
    for (const int fd : m_fds) {
      if (fd >= 0) close(fd);
    }
  }
  int WriteEnd() const { return m_fds[1]; }

 private:
  int m_fds[2] = {-1, -1};
};

// Standard error that cannot take a line, and the setup file missing so
// that a line is due: the request is made all the same, in its usual time,
// and nothing of the program's reaches a segment.
TEST_F(XversendTest, StandardErrorThatTakesNoLineNeitherBlocksNorEndsTheRun) {
  RemoveSetupFile();
  const double dUsual = Run({"C:\\Data\\usual.txt"}).dSeconds;
  const UnreadPipe broken(false);
  const UnreadPipe full(true);
  const struct {
    const char* pszCase;
    std::string strRedirection;
  } kCases[] = {
      {"closed", "2>&-"},
      {"all three closed", "0<&- 1>&- 2>&-"},
      {"a pipe whose reader has gone", "2>&" + std::to_string(broken.WriteEnd())},
      {"a full pipe nobody reads", "2>&" + std::to_string(full.WriteEnd())},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszCase);
    for (const char* pszName : segments::kNames) WriteText(pszName, "kept");
    WriteText("MM_XMITERSTATUS", "READY");
    WriteText("MM_XMITPATH", "");
    const ProcessResult result =
        RunThrough("exec \"$0\" \"$1\" " + c.strRedirection, "C:\\Data\\obs.txt");
    EXPECT_EQ(result.nExitCode, 1);
    EXPECT_LT(result.dSeconds, dUsual + 1.0);
    for (const char* pszName : segments::kNames) {
      const std::string strName = pszName;
      EXPECT_EQ(ReadText(pszName), strName == "MM_XMITPATH"       ? "C:\\Data\\obs.txt"
                                   : strName == "MM_XMITERSTATUS" ? "READY"
                                                                  : "kept");
    }
  }
}

// A file-size limit of 0 with nobody holding the objects: making them new
// fails, and the request is refused with a line, not ended by SIGXFSZ.
TEST_F(XversendTest, FileSizeLimitIsARefusalWithALine) {
  CloseSegments();
  RemoveNames();
  const ProcessResult result = RunThrough("ulimit -f 0; exec \"$0\" \"$1\"", "C:\\x");
  EXPECT_EQ(result.nExitCode, 0);
  EXPECT_EQ(result.strStderr, "xversend: MM_XMITERSTATUS: File too large\n");
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
    EXPECT_EQ(result.strStderr,
              std::string("xversend: ") + c.pszObject + ": not used: it belongs to user 65534\n");
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
    EXPECT_EQ(result.strStderr, "xversend: " + strMutex + ": not used: its mutex is corrupt\n");
    ASSERT_EQ(pwrite(fd, &nKind, sizeof nKind, kKindAt), ssize_t{sizeof nKind});
    close(fd);
  }
}

// Another process cuts the two segments xversend reads and writes short and
// restores them, as fast as it can, while requests run: each request ends
// with its own exit status, never a signal, also when xversend was started
// with SIGBUS blocked.
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
  for (const bool bBlocked : {false, true}) {
    SCOPED_TRACE(bBlocked ? "SIGBUS blocked" : "SIGBUS unblocked");
    // Children inherit the signal mask of the thread that starts them.
    sigset_t busError;
    sigemptyset(&busError);
    sigaddset(&busError, SIGBUS);
    pthread_sigmask(bBlocked ? SIG_BLOCK : SIG_UNBLOCK, &busError, nullptr);
    int nExits[2] = {0, 0};
    for (int i = 0; i < 150; ++i) {
      const int nExit = Run({i % 2 ? "C:\\Data\\obs.txt" : "word"}).nExitCode;
      EXPECT_TRUE(nExit == 0 || nExit == 1) << "run " << i << ": exit " << nExit;
      if (nExit != 0 && nExit != 1) break;
      ++nExits[nExit];
    }
    pthread_sigmask(SIG_UNBLOCK, &busError, nullptr);
    std::printf("segments cut short, %s: 150 runs, %d handed over, %d refused\n",
                bBlocked ? "SIGBUS blocked" : "SIGBUS unblocked", nExits[1], nExits[0]);
  }
  bStop = true;
  shrinker.join();
}

// A process stopped while it makes an object new holds every newcomer up:
// start-up waits for it once, within its bound, and names it; `xverctl serve`
// waits for it and serves once it is gone.
TEST_F(XversendTest, ObjectHeldUpByAStoppedMakerCostsOneBoundAndIsNamed) {
  CloseSegments();
  RemoveNames();
  testsupport::ObjectMaker maker("MMFLG_PCRESET");
  const ProcessResult result = Run({"C:\\Data\\obs.txt"});
  EXPECT_EQ(result.nExitCode, 0);
  EXPECT_LT(result.dSeconds, 3.5);
  EXPECT_EQ(result.strStderr,
            "xversend: MMFLG_PCRESET: not used: another process kept making it new for 3000 ms\n"
            "xversend: MM_XMITERSTATUS: no process holds it: is the transceiver-control process "
            "running?\n");

  ChildProcess server;
  ASSERT_TRUE(server.Start({testsupport::XverctlPath(), "serve"}));
  EXPECT_FALSE(WaitForStatus("READY", 500));
  maker.Release();
  EXPECT_TRUE(WaitForStatus("READY"));
}

// The most a peer can hold one run up: it makes every object new, slowly,
// finishing just before start-up's bound, then keeps the status mutex until
// just before the status read would give up, and the path mutex past the
// slot's bound. The run still ends within about three bounds.
TEST_F(XversendTest, NoPeerHoldsARunUpLongerThanThreeBounds) {
  CloseSegments();
  RemoveNames();
  platform::NamedMutex statusMutex;
  platform::NamedMutex pathMutex;
  ASSERT_TRUE(statusMutex.Create("MM_XMITERSTATUSMUTEX", nullptr));
  ASSERT_TRUE(pathMutex.Create("MM_XMITPATHMUTEX", nullptr));
  ASSERT_EQ(statusMutex.Lock(0), platform::WaitResult::Acquired);
  ASSERT_EQ(pathMutex.Lock(0), platform::WaitResult::Acquired);
  std::vector<std::unique_ptr<testsupport::ObjectMaker>> makers;
  std::vector<std::string> contents;
  const std::string strMutexHeader = std::string("XVMX\2\0\0\0", 8) + std::string(120, '\0');
  for (const char* pszName : segments::kNames) {
    makers.push_back(std::make_unique<testsupport::ObjectMaker>(pszName));
    contents.push_back(std::string(pszName) == "MM_XMITERSTATUS"
                           ? std::string("READY") + std::string(196, '\0')
                           : std::string(201, '\0'));
    const std::string strMutex = std::string(pszName) + "MUTEX";
    if (strMutex == "MM_XMITERSTATUSMUTEX" || strMutex == "MM_XMITPATHMUTEX") continue;
    makers.push_back(std::make_unique<testsupport::ObjectMaker>(strMutex));
    contents.push_back(strMutexHeader);
  }

  using Clock = std::chrono::steady_clock;
  ChildProcess sender;
  const auto start = Clock::now();
  ASSERT_TRUE(sender.Start({testsupport::XversendPath(), "C:\\Data\\obs.txt"}));
  std::this_thread::sleep_until(start + std::chrono::milliseconds(2900));
  for (std::size_t i = 0; i < makers.size(); ++i) makers[i]->FinishAsHolder(contents[i]);
  std::this_thread::sleep_until(start + std::chrono::milliseconds(5800));
  statusMutex.Unlock();
  const int nExit = sender.Wait();
  const double dSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_EQ(nExit, 0);
  EXPECT_GE(dSeconds, 8.5);
  EXPECT_LT(dSeconds, 9.5);
  std::printf("a run held up at every step: %.2f s, exit %d\n", dSeconds, nExit);
}

// The account's folder of names, in a /dev/shm of its own: whatever else
// stands there is never used or touched, and what the run leaves lies in the
// account's own folder.
struct FolderCase {
  const char* pszCase;
  std::string strBefore;  // shell commands run first
  const char* pszRequest;
  int nExit;
  std::string strStderr;
  std::string strAfter;  // a shell test that must hold afterwards
};

void PrintTo(const FolderCase& c, std::ostream* pOut) { *pOut << c.pszCase; }

class NameFolderTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(NameFolderTest, HoldsOnlyTheAccountsOwn) {
  if (!CanUsePrivateShm()) GTEST_SKIP() << "needs root and unshare for a private /dev/shm";
  const FolderCase& c = GetParam();
  const ProcessResult result = RunInPrivateShm(
      c.strBefore + " && \"$0\" \"$1\"; s=$?; " + c.strAfter + " || echo AFTER FAILED >&2; exit $s",
      c.pszRequest);
  EXPECT_EQ(result.nExitCode, c.nExit);
  EXPECT_EQ(result.strStderr,
            "Transceiver Set Up File Incorrect cannot read.\n"
            "xversend: /nonexistent/Program Files/KESTRAVIA/Administration/Xver/XverSetUp.Txt: "
            "cannot be opened: No such file or directory\n" +
                c.strStderr);
}

const std::string kMount = "mount -t tmpfs tmpfs /dev/shm";
const std::string kOldNames =
    "for n in MMFLG_PCRESET MMFLG_TIMEPOSVALID MM_XBTTIMEPOS MM_XMITPATH "
    "MM_XMITERSTATUS "
    "MM_SHIPSPEEDDIR MM_XBTFROMXVER; do";

INSTANTIATE_TEST_SUITE_P(
    Cases, NameFolderTest,
    ::testing::Values(
        FolderCase{"MadeByTheFirstRunWhateverTheUmask", kMount + " && umask 0277", "word", 1, "",
                   "[ \"$(stat -c %a:%U " + kFolder + ")\" = 700:root ] && [ \"$(stat -c %a " +
                       kFolder + "/MM_XMITPATH)\" = 600 ]"},
        FolderCase{"OursWithAWiderModeIsNarrowed", kMount + " && mkdir -m 777 " + kFolder, "word",
                   1, "", "[ \"$(stat -c %a " + kFolder + ")\" = 700 ]"},
        FolderCase{"RemoveTakesTheObjectsAndTheFolder", kMount, "word", 1, "",
                   "\"$X\" remove && [ ! -e " + kFolder + " ] && \"$X\" remove"},
        FolderCase{"AnotherAccountsIsRefused",
                   kMount + " && mkdir -m 755 " + kFolder + " && chown 65534 " + kFolder, "C:\\x",
                   0,
                   "xversend: MM_XMITERSTATUS: not used: " + kFolder + " belongs to user 65534\n",
                   "! \"$X\" remove 2>/dev/null && [ \"$(stat -c %a:%u " + kFolder +
                       ")\" = 755:65534 ] && [ -z \"$(ls -A " + kFolder + ")\" ]"},
        FolderCase{"AFileInItsPlaceIsRefused", kMount + " && echo x >" + kFolder, "word", 0,
                   "xversend: MM_XMITPATH: not used: " + kFolder + " is not a directory\n",
                   "[ \"$(cat " + kFolder + ")\" = x ]"},
        FolderCase{"ASymlinkInItsPlaceIsNotFollowed",
                   kMount + " && mkdir /dev/shm/elsewhere && ln -s elsewhere " + kFolder, "word", 0,
                   "xversend: MM_XMITPATH: not used: " + kFolder + " is not a directory\n",
                   "[ -z \"$(ls -A /dev/shm/elsewhere)\" ]"},
        FolderCase{"OtherAccountsFilesAtTheOldNamesDoNothing",
                   kMount + " && " + kOldNames +
                       " echo x >/dev/shm/$n; ln -s /dev/null /dev/shm/${n}MUTEX;"
                       " chown -h 65534 /dev/shm/$n /dev/shm/${n}MUTEX; done",
                   "word", 1, "", kOldNames + " [ \"$(cat /dev/shm/$n)\" = x ] || exit 1; done"},
        FolderCase{"ReadOnlySharedMemoryIsSaid", "mount -t tmpfs -o ro tmpfs /dev/shm", "C:\\x", 0,
                   "xversend: MM_XMITERSTATUS: " + kFolder + ": Read-only file system\n", "true"},
        FolderCase{"FullSharedMemoryIsSaid",
                   "mount -t tmpfs -o size=4k tmpfs /dev/shm && "
                   "head -c 4096 /dev/zero >/dev/shm/fill",
                   "word", 0, "xversend: MM_XMITPATH: No space left on device\n", "true"}),
    [](const auto& info) { return std::string(info.param.pszCase); });

// A run as root leaves its objects in root's folder; the suite of another
// account then starts, and a path is handed over and taken, as if root had
// never run.
TEST(NameFolderAccountsTest, RootsRunLeavesAnotherAccountsSuiteAlone) {
  if (!CanUsePrivateShm() || access("/usr/bin/setpriv", X_OK) != 0) {
    GTEST_SKIP() << "needs root, unshare and setpriv";
  }
  // Copies the other account can run, wherever the build lies.
  testsupport::TempDir bin;
  namespace fs = std::filesystem;
  fs::permissions(bin.Path(), fs::perms(0755));
  for (const char* pszProgram : {testsupport::XversendPath(), testsupport::XverctlPath()}) {
    fs::copy_file(pszProgram, bin.Path() + "/" + fs::path(pszProgram).filename().string());
  }
  const std::string strSend = bin.Path() + "/xversend";
  const std::string strCtl =
      bin.Path() + "/" + fs::path(testsupport::XverctlPath()).filename().string();
  const ProcessResult result =
      RunInPrivateShm(kMount +
                          " && \"$0\" C:/x 2>/dev/null;"
                          " exec setpriv --reuid=65534 --regid=65534 --clear-groups sh -c '"
                          "\"$0\" serve --once & i=0;"
                          " until \"$0\" show | grep -q \"READY\"; do i=$((i+1)); [ $i -lt 500 "
                          "] || exit 3;"
                          " sleep 0.01; done;"
                          " \"$1\" \"C:\\Data\\obs.txt\" 2>/dev/null; echo \"exit $?\"; "
                          "wait' " +
                          strCtl + " " + strSend,
                      "");
  EXPECT_EQ(result.nExitCode, 0) << result.strStderr;
  for (const char* pszLine : {"C:\\Data\\obs.txt\tno such file\n", "exit 1\n"}) {
    EXPECT_NE(result.strStdout.find(pszLine), std::string::npos) << result.strStdout;
  }
}

}  // namespace
