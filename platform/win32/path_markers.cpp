// Path markers in ANSI text: a drive colon or a backslash. In a double-byte
// code page (932, 936, 949, 950) the second byte of a character may be 0x5C,
// as in 0x83 0x5C, which is no backslash but a katakana: the text is read
// character by character there.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/platform.h"

namespace platform {

bool hasPathMarker(const std::string& strText) {
  static const bool bDoubleByte = [] {
    CPINFO info{};
    return GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 2;
  }();
  if (!bDoubleByte) return strText.find_first_of(":\\") != std::string::npos;
  for (std::size_t i = 0; i < strText.size(); ++i) {
    const char c = strText[i];
    if (c == ':' || c == '\\') return true;
    // A lead byte takes the byte after it along, as the system's own
    // conversion does, whatever that byte is.
    if (IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(c))) ++i;
  }
  return false;
}

}  // namespace platform
