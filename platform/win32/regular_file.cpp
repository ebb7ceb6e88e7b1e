// Opening a regular file on Windows without blocking on anything else.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include "platform/regular_file.h"
#include "platform/win32/system_error.h"

namespace platform {

std::FILE* openRegularFile(const std::string& strPath,
                           std::string& strProblem) {
  // A NUL inside would silently cut the name short.
  if (strPath.empty() || strPath.find('\0') != std::string::npos) {
    strProblem = errorText(ERROR_INVALID_NAME);
    return nullptr;
  }
  // CreateFileA refuses a folder (without FILE_FLAG_BACKUP_SEMANTICS) and
  // opens devices such as CON or COM1 and pipes without reading them; the
  // type check then turns those away before fopen-style reads could block.
  HANDLE hFile =
      CreateFileA(strPath.c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hFile == INVALID_HANDLE_VALUE) {
    strProblem = errorText(GetLastError());
    return nullptr;
  }
  if (GetFileType(hFile) != FILE_TYPE_DISK) {
    strProblem = kNotARegularFile;
    CloseHandle(hFile);
    return nullptr;
  }
  // From here the descriptor owns the handle, and then the stream owns both.
  const int fd =
      _open_osfhandle(reinterpret_cast<intptr_t>(hFile), _O_RDONLY | _O_BINARY);
  if (fd == -1) {
    strProblem = errorText(ERROR_TOO_MANY_OPEN_FILES);
    CloseHandle(hFile);
    return nullptr;
  }
  std::FILE* pFile = _fdopen(fd, "rb");
  if (!pFile) {
    strProblem = errorText(ERROR_TOO_MANY_OPEN_FILES);
    _close(fd);
  }
  return pFile;
}

}  // namespace platform
