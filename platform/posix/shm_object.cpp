#include "platform/posix/shm_object.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool ensureObjectSize(int fd, off_t nSize) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return false;
  if (info.st_size >= nSize) return true;
  // Reserve the pages too, so a full /dev/shm fails here rather than with
  // SIGBUS on first touch. Several openers may do this at once; it only grows.
  return posix_fallocate(fd, 0, nSize) == 0;
}

int openOrCreateObject(const std::string& strName, off_t nSize, mode_t nMode) {
  const std::string strPath = shmName(strName);
  // The name may be removed between a failed exclusive create and the open
  // that follows; a few rounds settle that race.
  for (int nAttempt = 0; nAttempt < 8; ++nAttempt) {
    int fd = shm_open(strPath.c_str(), O_RDWR | O_CREAT | O_EXCL, nMode);
    if (fd >= 0) {
      // The umask may have narrowed the mode given at creation.
      if (fchmod(fd, nMode) == 0 && ensureObjectSize(fd, nSize)) return fd;
      close(fd);
      shm_unlink(strPath.c_str());
      return -1;
    }
    if (errno != EEXIST) return -1;
    fd = shm_open(strPath.c_str(), O_RDWR, 0);
    if (fd >= 0) {
      if (ensureObjectSize(fd, nSize)) return fd;
      close(fd);
      return -1;
    }
    if (errno != ENOENT) return -1;
  }
  return -1;
}

void removeName(const std::string& strName) noexcept {
  shm_unlink(shmName(strName).c_str());
}

}  // namespace platform
