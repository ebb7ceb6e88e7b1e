// Standard descriptors that a launcher left closed, opened on the null device.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"

namespace platform {

void openStandardStreams() noexcept {
  // In order, so that each open takes the lowest free number: the one closed.
  // Should one fail, attaching still keeps named objects off 0, 1 and 2.
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF &&
        open("/dev/null", O_RDWR) < 0) {
      return;
    }
  }
}

}  // namespace platform
