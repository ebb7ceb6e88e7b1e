// Inside the POSIX platform layer only: bounded waits on the monotonic clock.
#pragma once

#include <time.h>

namespace platform {

// The moment nMs milliseconds from now.
inline timespec deadlineAfter(long nMs) {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  t.tv_sec += nMs / 1000;
  t.tv_nsec += (nMs % 1000) * 1000000L;
  if (t.tv_nsec >= 1000000000L) {
    t.tv_sec += 1;
    t.tv_nsec -= 1000000000L;
  }
  return t;
}

inline bool isPast(const timespec& deadline) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec > deadline.tv_sec ||
         (now.tv_sec == deadline.tv_sec && now.tv_nsec >= deadline.tv_nsec);
}

}  // namespace platform
