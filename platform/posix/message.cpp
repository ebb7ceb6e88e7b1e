// Messages to the user on POSIX: one line on standard error.
#include "platform/platform.h"

namespace platform {

void showMessage(const std::string& strText) { writeErrorLine(strText); }

}  // namespace platform
