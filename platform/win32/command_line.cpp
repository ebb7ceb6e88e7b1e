// The request on Windows, from the Unicode command line. The ANSI argv of
// main is the command line already converted to the ANSI code page with best
// fit: a character the code page lacks becomes a look-alike ('ａ' an 'a', a
// fullwidth quote a real one, which then splits the line) or '?'. Converting
// the one argument without best fit tells when that would happen.
//
// The line is split here rather than by CommandLineToArgvW, which ends a
// quoted program name at its closing quote and ends a quoted part at "",
// where the C runtime does neither: the arguments must be the ones argv has.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/command_line.h"

namespace platform {

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The text in the ANSI code page; false when that cannot hold it exactly.
bool toAnsi(const std::wstring& strWide, std::string& strAnsi) {
  strAnsi.clear();
  if (strWide.empty()) return true;
  // UTF-8 holds every character but a lone surrogate, and takes neither the
  // best-fit flag nor the default-character report.
  const bool bUtf8 = GetACP() == CP_UTF8;
  const DWORD nFlags = bUtf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL bUsedDefault = FALSE;
  BOOL* pUsedDefault = bUtf8 ? nullptr : &bUsedDefault;
  const int nWide = static_cast<int>(strWide.size());
  const int nBytes = WideCharToMultiByte(CP_ACP, nFlags, strWide.data(), nWide,
                                         nullptr, 0, nullptr, pUsedDefault);
  if (nBytes <= 0 || bUsedDefault) return false;
  strAnsi.resize(static_cast<std::size_t>(nBytes));
  return WideCharToMultiByte(CP_ACP, nFlags, strWide.data(), nWide, &strAnsi[0],
                             nBytes, nullptr, pUsedDefault) == nBytes &&
         !bUsedDefault;
}

}  // namespace

std::vector<std::wstring> splitCommandLine(const std::wstring& strLine) {
  std::vector<std::wstring> args(1);
  std::size_t i = 0;
  const std::size_t nEnd = strLine.size();
  // The program name: its first character counts even when blank.
  for (bool bQuoted = false; i < nEnd; ++i) {
    if (strLine[i] == L'"') {
      bQuoted = !bQuoted;
    } else if (!bQuoted && isBlank(strLine[i]) && i > 0) {
      break;
    } else {
      args[0] += strLine[i];
    }
  }
  for (;;) {
    while (i < nEnd && isBlank(strLine[i])) ++i;
    if (i == nEnd) break;
    std::wstring strArg;
    bool bQuoted = false;
    for (;;) {
      std::size_t nBackslashes = 0;
      while (i < nEnd && strLine[i] == L'\\') {
        ++nBackslashes;
        ++i;
      }
      bool bCopy = true;
      if (i < nEnd && strLine[i] == L'"') {
        if (nBackslashes % 2 == 0) {
          if (bQuoted && i + 1 < nEnd && strLine[i + 1] == L'"') {
            ++i;  // "" inside quotes: one literal quote, still quoted
          } else {
            bCopy = false;
            bQuoted = !bQuoted;
          }
        }
        nBackslashes /= 2;
      }
      strArg.append(nBackslashes, L'\\');
      if (i == nEnd || (!bQuoted && isBlank(strLine[i]))) break;
      if (bCopy) strArg += strLine[i];
      ++i;
    }
    args.push_back(strArg);
  }
  return args;
}

bool requestArgument(int /*argc*/, char* /*argv*/[], std::string& strRequest,
                     int& nIgnored, std::string& strProblem) {
  const std::vector<std::wstring> args = splitCommandLine(GetCommandLineW());
  strRequest.clear();
  nIgnored = args.size() > 2 ? static_cast<int>(args.size() - 2) : 0;
  if (args.size() < 2 || toAnsi(args[1], strRequest)) return true;
  strRequest.clear();
  strProblem = "the request has characters that code page " +
               std::to_string(GetACP()) + " cannot hold";
  return false;
}

}  // namespace platform
