// Messages to the user on POSIX: one line on standard error.
#include <cstdio>

#include "platform/platform.h"

namespace platform {

void showMessage(const std::string& strText) {
  // One write, so the line is not split among other writers of the stream.
  const std::string strLine = strText + '\n';
  std::fwrite(strLine.data(), 1, strLine.size(), stderr);
  std::fflush(stderr);
}

}  // namespace platform
