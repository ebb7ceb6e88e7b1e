// Built-in Windows paths on POSIX: drive C: is a folder of the host.
#include <cstdlib>

#include "platform/platform.h"

#ifndef XVER_DEFAULT_DRIVE_C
#error "the build defines XVER_DEFAULT_DRIVE_C, the folder that stands for C:"
#endif

namespace platform {

std::string hostPath(const std::string& strWindowsPath) {
  const bool bOnDriveC =
      strWindowsPath.size() >= 3 &&
      (strWindowsPath[0] == 'C' || strWindowsPath[0] == 'c') &&
      strWindowsPath[1] == ':' &&
      (strWindowsPath[2] == '\\' || strWindowsPath[2] == '/');
  if (!bOnDriveC) return strWindowsPath;

  const char* pszDrive = std::getenv("XVER_DRIVE_C");
  std::string strPath = pszDrive != nullptr && *pszDrive != '\0'
                            ? pszDrive
                            : XVER_DEFAULT_DRIVE_C;
  for (std::size_t i = 2; i < strWindowsPath.size(); ++i) {
    strPath += strWindowsPath[i] == '\\' ? '/' : strWindowsPath[i];
  }
  return strPath;
}

}  // namespace platform
