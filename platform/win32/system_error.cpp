#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/win32/system_error.h"

namespace platform {

std::string errorText(unsigned long nError) {
  char szText[512] = {};
  DWORD nLength =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, nError, 0, szText, sizeof szText, nullptr);
  while (nLength > 0 &&
         (szText[nLength - 1] == '\n' || szText[nLength - 1] == '\r')) {
    --nLength;
  }
  if (nLength == 0) return "error " + std::to_string(nError);
  return std::string(szText, nLength);
}

}  // namespace platform
