// Named objects never share numbers with the standard streams on Windows,
// nor do writes raise signals there.
#include <cstdio>

#include "platform/platform.h"

namespace platform {

void prepareProcess() noexcept {}

void writeErrorLine(const std::string& strLine) noexcept {
  std::fprintf(stderr, "%s\n", strLine.c_str());
  std::fflush(stderr);
}

}  // namespace platform
