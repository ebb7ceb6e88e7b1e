// Named objects as files in the account's folder of /dev/shm, held with
// open-file-description locks: a read lock on the whole file is a process's
// hold on the object; the write lock, granted only while nobody else holds
// it, is the licence to make it new. The kernel drops both when the process
// ends, however it ends.
#include "platform/posix/shm_object.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace platform {

namespace {

// What one look at an object found.
enum class Look {
  Held,    // this process holds it, as it was or made new
  Absent,  // nobody holds it, and the caller only attaches
  Wait,    // another process is making it new: look again
  Failed,  // it cannot be used
};

const std::string kBeingMadeNew =
    "not used: another process kept making it new for " +
    std::to_string(kAttachWaitMs) + " ms";

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

Look failed(int nError, Attachment& attachment) {
  attachment.strProblem = errorText(nError);
  return Look::Failed;
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

// Opens the object read-write, creating it with exactly nMode when bCreate
// and it is absent. -1 with no problem when it is only absent.
int openObject(int nFolder, const std::string& strName, mode_t nMode,
               bool bCreate, Attachment& attachment) {
  // O_NOFOLLOW: a symbolic link in place of a name is not followed;
  // O_NONBLOCK, O_NOCTTY: nor is anything but a regular file waited on.
  constexpr int kFlags =
      O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  const char* pszName = strName.c_str();
  // Others may create and remove the name between our tries.
  for (int nTry = 0; nTry < 8; ++nTry) {
    const int fd = openat(nFolder, pszName, kFlags);
    if (fd >= 0) return aboveStandardStreams(fd);
    if (errno != ENOENT) break;
    if (!bCreate) return -1;
    const int fdNew =
        openat(nFolder, pszName, kFlags | O_CREAT | O_EXCL, nMode);
    if (fdNew >= 0) {
      // The umask may have narrowed the mode; nobody else can open the file
      // before it is set exactly, so leaving the umask alone is safe.
      if (fchmod(fdNew, nMode) == 0) return aboveStandardStreams(fdNew);
      const int nError = errno;
      close(fdNew);
      unlinkat(nFolder, pszName, 0);
      errno = nError;
      break;
    }
    if (errno != EEXIST) break;
  }
  attachment.strProblem = errorText(errno);
  return -1;
}

// Nobody else holds the object, so, as on Windows, it no longer exists: make
// it new, then let the kernel turn the write lock into the read lock in one
// step.
Look makeNew(int fd, const ObjectType& type, Attachment& attachment) {
  // Zero bytes whatever an earlier holder left, and the pages reserved, so a
  // full /dev/shm fails here rather than with SIGBUS on first touch.
  if (ftruncate(fd, 0) != 0 || ftruncate(fd, type.nSize) != 0) {
    return failed(errno, attachment);
  }
  int nError = posix_fallocate(fd, 0, type.nSize);
  if (nError == 0 && type.pMakeNew) nError = type.pMakeNew(fd);
  if (nError == 0 && !setWholeFileLock(fd, F_RDLCK)) nError = errno;
  if (nError != 0) return failed(nError, attachment);
  attachment.bMadeNew = true;
  return Look::Held;
}

// Other processes hold the object: use it as it is, once it is whole.
Look holdAsItIs(int fd, const struct stat& info, const ObjectType& type,
                Attachment& attachment) {
  const char* pszWrong = info.st_size < type.nSize
                             ? "not used: shorter than its size"
                         : type.pWhatIsWrong ? type.pWhatIsWrong(fd)
                                             : nullptr;
  if (!pszWrong) return Look::Held;
  // Left half made by a process that died making it new, or foreign: let
  // go, so that whoever is last to hold it can make it new.
  setWholeFileLock(fd, F_UNLCK);
  attachment.strProblem = pszWrong;
  return Look::Wait;
}

Look look(int fd, const ObjectType& type, mode_t nMode, bool bCreate,
          Attachment& attachment) {
  // The write lock is granted only while no other process holds the object.
  const bool bAlone = setWholeFileLock(fd, F_WRLCK);
  if (!bAlone && !isConflict(errno)) return failed(errno, attachment);
  if (!bAlone && !setWholeFileLock(fd, F_RDLCK)) {
    if (!isConflict(errno)) return failed(errno, attachment);
    attachment.strProblem = kBeingMadeNew;
    return Look::Wait;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0) return failed(errno, attachment);
  attachment.strProblem = ownershipProblem(info);
  if (!attachment.strProblem.empty()) return Look::Failed;

  const Look result = !bAlone   ? holdAsItIs(fd, info, type, attachment)
                      : bCreate ? makeNew(fd, type, attachment)
                                : Look::Absent;
  // One of ours left with another mode is given the one asked for.
  if (result == Look::Held && (info.st_mode & 07777) != nMode &&
      fchmod(fd, nMode) != 0) {
    return failed(errno, attachment);
  }
  return result;
}

}  // namespace

std::string errorText(int nError) { return std::strerror(nError); }

int aboveStandardStreams(int fd) {
  if (fd > 2) return fd;
  const int nMoved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  close(fd);
  return nMoved;
}

Attachment attachObject(const std::string& strName, const ObjectType& type,
                        mode_t nMode, bool bCreate, Deadline deadline) {
  Attachment attachment;
  int fd = -1;
  for (const bool bRenew : {false, true}) {
    const int nFolder = nameFolder(true, bRenew, attachment.strProblem);
    if (nFolder < 0) return attachment;
    fd = openObject(nFolder, strName, nMode, bCreate, attachment);
    // Creating in a folder that `xverctl remove` deleted while this process
    // ran fails with ENOENT: open the folder anew, once.
    if (fd >= 0 || !bCreate || errno != ENOENT) break;
  }
  if (fd < 0) return attachment;

  Look result;
  while ((result = look(fd, type, nMode, bCreate, attachment)) == Look::Wait &&
         !isPast(deadline)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (result == Look::Held) {
    attachment.fd = fd;
    attachment.strProblem.clear();
  } else {
    close(fd);
  }
  return attachment;
}

std::string removeName(const std::string& strName) {
  std::string strProblem;
  const int nFolder = nameFolder(false, false, strProblem);
  if (nFolder >= 0 && unlinkat(nFolder, strName.c_str(), 0) != 0 &&
      errno != ENOENT) {
    strProblem = errorText(errno);
  }
  return strProblem;
}

}  // namespace platform
