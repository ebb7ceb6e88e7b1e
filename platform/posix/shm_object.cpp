// Named objects as POSIX shared-memory objects, held with open-file-description
// locks: a read lock on the whole file is a process's hold on the object; the
// write lock, granted only while nobody else holds it, is the licence to make
// it new. The kernel drops both when the process ends, however it ends.
#include "platform/posix/shm_object.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/deadline.h"

namespace platform {

namespace {

constexpr long kAttachWaitMs = 3000;

// Sets, or with F_UNLCK drops, this descriptor's lock on the whole file
// without waiting. false with errno EAGAIN or EACCES when another open file
// description holds a conflicting lock.
bool setWholeFileLock(int fd, short nType) {
  struct flock lock {};
  lock.l_type = nType;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

bool isConflict(int nError) { return nError == EAGAIN || nError == EACCES; }

// Moves a descriptor off 0, 1 and 2 should one of them have been free: what
// the program writes to its standard streams must never reach an object.
int aboveStandardStreams(int fd) {
  if (fd > 2) return fd;
  const int nMoved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  close(fd);
  return nMoved;
}

// Why an object found in place of a name may not be used: it is not this
// user's regular file. Empty when it may be used.
std::string ownershipProblem(const struct stat& info) {
  static const uid_t nUser = geteuid();
  if (!S_ISREG(info.st_mode)) return "not used: not a regular file";
  // Another account's object is its business: never touch it.
  if (info.st_uid != nUser) {
    return "not used: it belongs to user " + std::to_string(info.st_uid);
  }
  return std::string();
}

// Opens the object read-write, creating it when bCreate and absent (then
// bCreated). -1 with strProblem empty when it is absent.
int openObject(const std::string& strPath, mode_t nMode, bool bCreate,
               bool& bCreated, std::string& strProblem) {
  // O_NOFOLLOW: a symbolic link planted in place of a name is not followed;
  // O_NONBLOCK, O_NOCTTY: nor is anything but a regular file waited on.
  constexpr int kFlags =
      O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  // Others may create and remove the name between our tries.
  for (int nTry = 0; nTry < 8; ++nTry) {
    int fd = shm_open(strPath.c_str(), kFlags, 0);
    if (fd >= 0) {
      fd = aboveStandardStreams(fd);
      if (fd < 0) break;
      return fd;
    }
    if (errno != ENOENT) break;
    if (!bCreate) return -1;
    // Exactly nMode from the first moment, whatever the umask. The umask is
    // the process's: no other thread of this program creates files meanwhile.
    const mode_t nOldMask = umask(0);
    fd = shm_open(strPath.c_str(), kFlags | O_CREAT | O_EXCL, nMode);
    const int nError = errno;
    umask(nOldMask);
    if (fd >= 0) {
      bCreated = true;
      fd = aboveStandardStreams(fd);
      if (fd >= 0) return fd;
      shm_unlink(strPath.c_str());
      break;
    }
    errno = nError;
    if (errno != EEXIST) break;
  }
  strProblem = errorText(errno);
  return -1;
}

// Makes the object new; this descriptor has the write lock, so nobody else
// holds it. Returns 0 or an errno value.
int makeNew(int fd, const ObjectType& type) {
  // Zero bytes whatever an earlier holder left, and the pages reserved, so a
  // full /dev/shm fails here rather than with SIGBUS on first touch.
  if (ftruncate(fd, 0) != 0 || ftruncate(fd, type.nSize) != 0) return errno;
  if (const int nError = posix_fallocate(fd, 0, type.nSize)) return nError;
  return type.pMakeNew ? type.pMakeNew(fd) : 0;
}

// Why an object that others hold is not whole, or null when it is.
const char* whatIsWrong(int fd, const struct stat& info,
                        const ObjectType& type) {
  if (info.st_size < type.nSize) return "not used: shorter than its size";
  return type.pWhatIsWrong ? type.pWhatIsWrong(fd) : nullptr;
}

}  // namespace

std::string errorText(int nError) { return std::strerror(nError); }

int attachObject(const std::string& strName, const ObjectType& type,
                 mode_t nMode, bool bCreate, std::string& strProblem) {
  strProblem.clear();
  bool bCreated = false;
  const int fd =
      openObject(shmName(strName), nMode, bCreate, bCreated, strProblem);
  if (fd < 0) return -1;

  const timespec deadline = deadlineAfter(kAttachWaitMs);
  const char* pszWrong = nullptr;
  for (;;) {
    // Granted only while no other process holds the object.
    const bool bAlone = setWholeFileLock(fd, F_WRLCK);
    if (!bAlone && !isConflict(errno)) {
      strProblem = errorText(errno);
      break;
    }
    if (bAlone || setWholeFileLock(fd, F_RDLCK)) {
      struct stat info {};
      if (fstat(fd, &info) != 0) {
        strProblem = errorText(errno);
        break;
      }
      if (!bCreated) strProblem = ownershipProblem(info);
      if (!strProblem.empty()) break;
      bool bHeld = false;
      if (bAlone) {
        // Nobody else holds it: as on Windows, it no longer exists.
        if (!bCreate) break;
        const int nError = makeNew(fd, type);
        // The kernel turns the write lock into the read lock in one step.
        if (nError != 0 || !setWholeFileLock(fd, F_RDLCK)) {
          strProblem = errorText(nError != 0 ? nError : errno);
          break;
        }
        bHeld = true;
      } else {
        pszWrong = whatIsWrong(fd, info, type);
        bHeld = pszWrong == nullptr;
        // Left half made by a process that died making it new, or foreign:
        // let go, so that whoever is last to hold it can make it new.
        if (!bHeld) setWholeFileLock(fd, F_UNLCK);
      }
      // One of ours with a wider mode than asked is narrowed to it.
      if (bHeld &&
          ((info.st_mode & 07777 & ~nMode) == 0 || fchmod(fd, nMode) == 0)) {
        return fd;
      }
      if (bHeld) {
        strProblem = errorText(errno);
        break;
      }
    } else if (!isConflict(errno)) {
      strProblem = errorText(errno);
      break;
    }
    // Another process is making it new right now, or holds it as it is.
    if (isPast(deadline)) {
      strProblem = pszWrong ? pszWrong
                            : "not used: another process kept making it new "
                              "for 3000 ms";
      break;
    }
    const timespec pause{0, 1000000L};
    nanosleep(&pause, nullptr);
  }
  close(fd);
  return -1;
}

void removeName(const std::string& strName) noexcept {
  shm_unlink(shmName(strName).c_str());
}

}  // namespace platform
