// The request on POSIX: the bytes of argv[1], whatever their encoding.
#include "platform/platform.h"

namespace platform {

bool requestArgument(int argc, char* argv[], std::string& strRequest,
                     int& nIgnored, std::string& /*strProblem*/) {
  strRequest = argc > 1 ? argv[1] : "";
  nIgnored = argc > 2 ? argc - 2 : 0;
  return true;
}

}  // namespace platform
