// User messages on Windows: a modal box with one OK button.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/platform.h"

namespace platform {

namespace {

// The caption a message box of this program carries: the name of its
// executable without folder and extension, as the framework's default.
std::string applicationName() {
  char szModule[MAX_PATH + 1] = {};
  const DWORD nLength = GetModuleFileNameA(nullptr, szModule, MAX_PATH);
  if (nLength == 0 || nLength >= MAX_PATH) return std::string();
  std::string strName(szModule, nLength);
  const std::size_t nSlash = strName.find_last_of("\\/:");
  if (nSlash != std::string::npos) strName.erase(0, nSlash + 1);
  const std::size_t nDot = strName.rfind('.');
  if (nDot != std::string::npos && nDot > 0) strName.erase(nDot);
  return strName;
}

}  // namespace

void showMessage(const std::string& strText) {
  const std::string strCaption = applicationName();
  // Returns only when dismissed; without a desktop (a service, or Wine
  // without a display) it returns at once. A null caption reads "Error".
  MessageBoxA(nullptr, strText.c_str(),
              strCaption.empty() ? nullptr : strCaption.c_str(), MB_OK);
}

}  // namespace platform
