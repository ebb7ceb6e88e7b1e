// What the POSIX platform's objects hold; platform/platform.h includes it.
#pragma once

namespace platform {

// Access rights of newly created objects; null stands for owner-only (0600).
struct SecurityAttributes {
  unsigned nMode;
};

// A segment: the descriptor of its file, which carries the hold.
struct MappingHandles {
  int fd = -1;
};

// A mutex object: held through its descriptor until the first lock maps it,
// then through the mapping; and how many holds this object has taken.
struct MutexHandles {
  int fd = -1;
  struct MutexObject* pObject = nullptr;
  int nHeld = 0;
};

// Names stay behind as files after their last holder has gone, for
// removeName to tidy away; a later attach makes them new anyway.
inline constexpr bool kNamesLeaveFiles = true;

}  // namespace platform
