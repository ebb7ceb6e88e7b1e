// Named objects never share numbers with the standard streams on Windows.
#include "platform/platform.h"

namespace platform {

void openStandardStreams() noexcept {}

}  // namespace platform
