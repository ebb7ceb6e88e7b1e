// The folder of an account's named objects, /dev/shm/xver-<euid>: what a
// Windows logon session is to its names. Nothing of another account, and
// nothing that is not a folder, is ever used or touched in its place.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/posix/shm_object.h"

namespace platform {

namespace {

constexpr mode_t kFolderMode = 0700;

// The folder's descriptor once opened; -1 until then.
std::atomic<int> g_nFolder{-1};

// Why what stands at the folder's path cannot be used; nError is why it
// could not be opened or made.
std::string whyNotUsable(const std::string& strPath, int nError) {
  struct stat info {};
  if (lstat(strPath.c_str(), &info) == 0 && info.st_uid != geteuid()) {
    return "not used: " + strPath + " belongs to user " +
           std::to_string(info.st_uid);
  }
  if (nError == ENOTDIR || nError == ELOOP) {
    return "not used: " + strPath + " is not a directory";
  }
  return strPath + ": " + errorText(nError);
}

int openFolder(bool bCreate, std::string& strProblem) {
  const std::string strPath = nameFolderPath();
  // O_NOFOLLOW: a symbolic link in its place is not followed.
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  int fd = open(strPath.c_str(), kFlags);
  // The umask can only narrow the mode; it is set exactly below.
  if (fd < 0 && errno == ENOENT && bCreate &&
      (mkdir(strPath.c_str(), kFolderMode) == 0 || errno == EEXIST)) {
    fd = open(strPath.c_str(), kFlags);
  }
  if (fd < 0) {
    if (errno != ENOENT || bCreate) strProblem = whyNotUsable(strPath, errno);
    return -1;
  }
  fd = aboveStandardStreams(fd);
  struct stat info {};
  if (fd < 0 || fstat(fd, &info) != 0) {
    strProblem = strPath + ": " + errorText(errno);
  } else if (info.st_uid != geteuid()) {
    strProblem = whyNotUsable(strPath, 0);
  } else if ((info.st_mode & 07777) != kFolderMode &&
             fchmod(fd, kFolderMode) != 0) {
    strProblem = strPath + ": " + errorText(errno);
  } else {
    return fd;
  }
  if (fd >= 0) close(fd);
  return -1;
}

}  // namespace

std::string nameFolderPath() {
  static const std::string strPath =
      "/dev/shm/xver-" + std::to_string(geteuid());
  return strPath;
}

int nameFolder(bool bCreate, bool bRenew, std::string& strProblem) {
  const int fd = g_nFolder.load(std::memory_order_acquire);
  if (fd >= 0 && !bRenew) return fd;
  const int fdNew = openFolder(bCreate, strProblem);
  if (fdNew < 0) return -1;
  // A descriptor replaced here stays open: another thread may still use it.
  int fdSeen = fd;
  if (g_nFolder.compare_exchange_strong(fdSeen, fdNew,
                                        std::memory_order_acq_rel)) {
    return fdNew;
  }
  close(fdNew);
  return fdSeen;
}

std::string removeNameFolder() {
  const std::string strPath = nameFolderPath();
  struct stat info {};
  if (lstat(strPath.c_str(), &info) != 0) {
    return errno == ENOENT ? std::string() : strPath + ": " + errorText(errno);
  }
  if (info.st_uid != geteuid() || !S_ISDIR(info.st_mode)) {
    return whyNotUsable(strPath, ENOTDIR);
  }
  // Other files keep it: they are none of the suite's.
  if (rmdir(strPath.c_str()) != 0 && errno != ENOENT && errno != ENOTEMPTY) {
    return strPath + ": " + errorText(errno);
  }
  return std::string();
}

}  // namespace platform
