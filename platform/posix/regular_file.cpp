// Opening a regular file on POSIX without blocking on anything else.
#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

std::FILE* openRegularFile(const std::string& strPath,
                           std::string& strProblem) {
  // open() would stop at an embedded NUL and take another file.
  if (strPath.find('\0') != std::string::npos) {
    strProblem = std::strerror(EINVAL);
    return nullptr;
  }
  // O_NONBLOCK: opening a FIFO or a device must not wait for a peer.
  const int fd =
      open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    strProblem = std::strerror(errno);
    return nullptr;
  }
  struct stat status;
  const int nFlags = fcntl(fd, F_GETFL);
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || nFlags < 0 ||
      fcntl(fd, F_SETFL, nFlags & ~O_NONBLOCK) != 0) {
    strProblem = kNotARegularFile;
    close(fd);
    return nullptr;
  }
  std::FILE* pFile = fdopen(fd, "rb");
  if (pFile == nullptr) {
    strProblem = std::strerror(errno);
    close(fd);
  }
  return pFile;
}

}  // namespace platform
