// Opening a regular file on POSIX without blocking on anything else.
#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::FILE* openRegularFile(const std::string& strPath) {
  // open() would stop at an embedded NUL and take another file.
  if (strPath.find('\0') != std::string::npos) return nullptr;
  // O_NONBLOCK: opening a FIFO or a device must not wait for a peer.
  const int fd =
      open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat status;
  const int nFlags = fcntl(fd, F_GETFL);
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || nFlags < 0 ||
      fcntl(fd, F_SETFL, nFlags & ~O_NONBLOCK) != 0) {
    close(fd);
    return nullptr;
  }
  std::FILE* pFile = fdopen(fd, "rb");
  if (pFile == nullptr) close(fd);
  return pFile;
}

}  // namespace platform
