#include "platform/platform.h"

namespace platform {

// A native path holds '/', and must wait for "READY" like a Windows path.
const char kPathMarkers[] = ":\\/";

}  // namespace platform
