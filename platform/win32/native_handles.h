// What the Windows platform's objects hold; platform/platform.h includes it.
#pragma once

struct _SECURITY_ATTRIBUTES;

namespace platform {

using SecurityAttributes = _SECURITY_ATTRIBUTES;

// A segment: the mapping object's handle.
struct MappingHandles {
  void* hMapping = nullptr;
};

// A mutex: the kernel mutex's handle.
struct MutexHandles {
  void* hMutex = nullptr;
};

// Named objects vanish with their last handle: nothing stays behind.
inline constexpr bool kNamesLeaveFiles = false;

}  // namespace platform
