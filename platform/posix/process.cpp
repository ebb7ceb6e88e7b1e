// What a program's process needs before it touches a named object, and its
// messages, which must never block or end a run.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"

namespace platform {

void prepareProcess() noexcept {
  // In order, so that each open takes the lowest free number: the one closed.
  // Should one fail, attaching still keeps named objects off 0, 1 and 2.
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF &&
        open("/dev/null", O_RDWR) < 0) {
      break;
    }
  }
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

void writeErrorLine(const std::string& strLine) noexcept {
  const std::string strText = strLine + '\n';
  struct stat info {};
  if (fstat(STDERR_FILENO, &info) != 0) return;
  if (S_ISFIFO(info.st_mode)) {
    // A description of the pipe of our own, so that O_NONBLOCK touches no
    // other process's; opening fails with ENXIO when nobody reads it. Without
    // /proc, a look at the pipe below has to do.
    const int fd = open("/proc/self/fd/2", O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      (void)!write(fd, strText.data(), strText.size());
      close(fd);
    }
    if (fd >= 0 || errno == ENXIO) return;
  }
  if (S_ISSOCK(info.st_mode)) {
    (void)!send(STDERR_FILENO, strText.data(), strText.size(),
                MSG_DONTWAIT | MSG_NOSIGNAL);
    return;
  }
  // A terminal held by flow control is not written to.
  pollfd ready{STDERR_FILENO, POLLOUT, 0};
  if (poll(&ready, 1, 0) == 1 && (ready.revents & POLLOUT)) {
    (void)!write(STDERR_FILENO, strText.data(), strText.size());
  }
}

}  // namespace platform
