// Inside the POSIX platform layer only: deadlines as the C library's waits
// take them.
#pragma once

#include <time.h>

#include "platform/platform.h"

namespace platform {

// The deadline on CLOCK_MONOTONIC, which std::chrono::steady_clock reads.
inline timespec monotonicTime(Deadline deadline) {
  const auto nNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                       deadline.time_since_epoch())
                       .count();
  return timespec{static_cast<time_t>(nNs / 1000000000),
                  static_cast<long>(nNs % 1000000000)};
}

}  // namespace platform
