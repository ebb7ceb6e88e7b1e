// User messages on Windows: a modal box with one OK button, or a line on
// standard error where nobody would see the box.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdio>

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

// Whether the window station of this process is one a user sees. A service,
// or a task run whether or not anyone is logged on, has one nobody sees, in
// session 0: a box there would wait for an OK that never comes.
bool stationVisible() {
  HWINSTA hStation = GetProcessWindowStation();
  USEROBJECTFLAGS flags{};
  DWORD nNeeded = 0;
  return hStation &&
         GetUserObjectInformationA(hStation, UOI_FLAGS, &flags, sizeof flags,
                                   &nNeeded) &&
         (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace

void showMessage(const std::string& strText) {
  if (!stationVisible()) {
    // One write, so the line is not split among other writers of the stream.
    const std::string strLine = strText + '\n';
    std::fwrite(strLine.data(), 1, strLine.size(), stderr);
    std::fflush(stderr);
    return;
  }
  const std::string strCaption = applicationName();
  // Returns only when dismissed. A null caption reads "Error".
  MessageBoxA(nullptr, strText.c_str(),
              strCaption.empty() ? nullptr : strCaption.c_str(), MB_OK);
}

}  // namespace platform
