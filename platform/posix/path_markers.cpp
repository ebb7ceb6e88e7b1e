#include "platform/platform.h"

namespace platform {

// A native path holds '/', and must wait for "READY" like a Windows path. No
// byte of a multibyte character in UTF-8 is below 0x80.
bool hasPathMarker(const std::string& strText) {
  return strText.find_first_of(":\\/") != std::string::npos;
}

}  // namespace platform
