// Built-in paths on Windows: they are Windows paths already.
#include "platform/platform.h"

namespace platform {

std::string hostPath(const std::string& strWindowsPath) {
  return strWindowsPath;
}

}  // namespace platform
