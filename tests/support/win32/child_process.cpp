#include "support/child_process.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // the MinGW C++ library defines it already
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace testsupport {

struct ChildProcess::Impl {
  HANDLE hProcess = nullptr;
  DWORD nPid = 0;
  HANDLE hIn = nullptr;   // our end of the child's standard input
  HANDLE hOut = nullptr;  // our ends of its standard output and error
  HANDLE hErr = nullptr;
  std::string strPending;  // read from stdout, not yet taken by ReadLine
  bool bKilled = false;
  bool bWaited = false;
  int nStatus = -1;
};

namespace {

void CloseIfOpen(HANDLE& h) {
  if (h) CloseHandle(h);
  h = nullptr;
}

// Environment names are case-insensitive on Windows; the block is kept in
// that order, as the system expects it.
struct NameLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(),
                          static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_LESS_THAN;
  }
};

// This process's environment with env applied, as a block of NUL-ended
// "NAME=value" strings closed by an empty one.
std::string MergedEnvironment(const Environment& env) {
  std::map<std::string, std::string, NameLess> merged;
  if (char* pBlock = GetEnvironmentStringsA()) {
    for (const char* p = pBlock; *p; p += std::strlen(p) + 1) {
      // Names of the per-drive folders begin with '=' ("=C:=C:\x").
      const char* pszEq = std::strchr(p + 1, '=');
      if (pszEq) merged[std::string(p, pszEq)] = pszEq + 1;
    }
    FreeEnvironmentStringsA(pBlock);
  }
  for (const auto& [strName, strValue] : env) merged[strName] = strValue;
  std::string strBlock;
  for (const auto& [strName, strValue] : merged) {
    strBlock += strName + "=" + strValue;
    strBlock += '\0';
  }
  strBlock += '\0';
  return strBlock;
}

// One argument quoted so that the child's runtime splits it back unchanged:
// backslashes double only before a quote or the closing quote.
std::string Quoted(const std::string& strArg) {
  if (!strArg.empty() &&
      strArg.find_first_of(" \t\n\v\"") == std::string::npos) {
    return strArg;
  }
  std::string strOut = "\"";
  std::size_t nBackslashes = 0;
  for (char c : strArg) {
    if (c == '\\') {
      ++nBackslashes;
      continue;
    }
    strOut.append(c == '"' ? 2 * nBackslashes + 1 : nBackslashes, '\\');
    nBackslashes = 0;
    strOut += c;
  }
  strOut.append(2 * nBackslashes, '\\');
  strOut += '"';
  return strOut;
}

// A pipe whose child end is inheritable and whose own end is not.
bool MakePipe(HANDLE& hRead, HANDLE& hWrite, bool bChildReads) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  if (!CreatePipe(&hRead, &hWrite, &sa, 0)) return false;
  SetHandleInformation(bChildReads ? hWrite : hRead, HANDLE_FLAG_INHERIT, 0);
  return true;
}

// Appends what the pipe delivers next; false once it has ended.
bool Drain(HANDLE hPipe, std::string& strInto) {
  char buffer[4096];
  DWORD nRead = 0;
  if (!ReadFile(hPipe, buffer, sizeof buffer, &nRead, nullptr)) return false;
  strInto.append(buffer, nRead);
  return true;
}

// The child's runtime writes "\r\n" for "\n" to a pipe; tests compare the
// output as on POSIX.
void DropCarriageReturns(std::string& str) {
  std::size_t nTo = 0;
  for (std::size_t i = 0; i < str.size(); ++i) {
    if (!(str[i] == '\r' && i + 1 < str.size() && str[i + 1] == '\n')) {
      str[nTo++] = str[i];
    }
  }
  str.resize(nTo);
}

// Inheritable handles go to every child started meanwhile: start one at a
// time, so no child keeps another child's pipe open.
std::mutex g_startMutex;

}  // namespace

void ChildProcess::FreeImpl() {
  delete m_pImpl;
  m_pImpl = nullptr;
}

bool ChildProcess::Start(const std::vector<std::string>& args,
                         const Environment& env, ArgText text) {
  if (m_pImpl || args.empty()) return false;
  std::string strCommandLine;
  for (const std::string& strArg : args) {
    if (!strCommandLine.empty()) strCommandLine += ' ';
    strCommandLine += Quoted(strArg);
  }
  std::string strEnvironment = MergedEnvironment(env);
  // UTF-8 arguments reach the child as Unicode, through the wide call; the
  // environment block stays in the ANSI code page there too.
  std::wstring strWideLine;
  if (text == ArgText::Utf8) {
    strWideLine.resize(strCommandLine.size() + 1);
    const int nWide = MultiByteToWideChar(
        CP_UTF8, MB_ERR_INVALID_CHARS, strCommandLine.c_str(), -1,
        &strWideLine[0], static_cast<int>(strWideLine.size()));
    if (nWide <= 0) return false;
    strWideLine.resize(static_cast<std::size_t>(nWide));
  }

  std::lock_guard<std::mutex> lock(g_startMutex);
  HANDLE hInRead = nullptr, hInWrite = nullptr;
  HANDLE hOutRead = nullptr, hOutWrite = nullptr;
  HANDLE hErrRead = nullptr, hErrWrite = nullptr;
  bool bStarted = false;
  PROCESS_INFORMATION pi{};
  if (MakePipe(hInRead, hInWrite, true) && MakePipe(hOutRead, hOutWrite, false) &&
      MakePipe(hErrRead, hErrWrite, false)) {
    const auto withPipes = [&](auto& info) {
      info.cb = sizeof info;
      info.dwFlags = STARTF_USESTDHANDLES;
      info.hStdInput = hInRead;
      info.hStdOutput = hOutWrite;
      info.hStdError = hErrWrite;
    };
    STARTUPINFOA si{};
    withPipes(si);
    STARTUPINFOW siWide{};
    withPipes(siWide);
    // No console window of its own when the tests run without one. Under
    // Wine a start now and then fails (about one in two thousand) while
    // several threads start processes: try again, saying so, unless the
    // program is not there.
    for (int nAttempt = 1; !bStarted && nAttempt <= 3; ++nAttempt) {
      bStarted =
          text == ArgText::Utf8
              ? CreateProcessW(nullptr, strWideLine.data(), nullptr, nullptr,
                               TRUE, CREATE_NO_WINDOW, strEnvironment.data(),
                               nullptr, &siWide, &pi) != FALSE
              : CreateProcessA(nullptr, strCommandLine.data(), nullptr, nullptr,
                               TRUE, CREATE_NO_WINDOW, strEnvironment.data(),
                               nullptr, &si, &pi) != FALSE;
      const DWORD nError = bStarted ? ERROR_SUCCESS : GetLastError();
      if (nError == ERROR_FILE_NOT_FOUND || nError == ERROR_PATH_NOT_FOUND) {
        break;
      }
      if (!bStarted) {
        std::fprintf(stderr, "CreateProcessA failed (error %lu): %s\n",
                     static_cast<unsigned long>(nError), args[0].c_str());
      }
    }
  }
  // The child holds its ends now; ours must go, or the pipes never end.
  CloseIfOpen(hInRead);
  CloseIfOpen(hOutWrite);
  CloseIfOpen(hErrWrite);
  if (!bStarted) {
    CloseIfOpen(hInWrite);
    CloseIfOpen(hOutRead);
    CloseIfOpen(hErrRead);
    return false;
  }
  CloseHandle(pi.hThread);
  m_pImpl = new Impl;
  m_pImpl->hProcess = pi.hProcess;
  m_pImpl->nPid = pi.dwProcessId;
  m_pImpl->hIn = hInWrite;
  m_pImpl->hOut = hOutRead;
  m_pImpl->hErr = hErrRead;
  return true;
}

std::string ChildProcess::ReadLine() {
  if (!m_pImpl) return std::string();
  std::string& strPending = m_pImpl->strPending;
  for (;;) {
    const std::size_t nEnd = strPending.find('\n');
    if (nEnd != std::string::npos) {
      std::size_t nLength = nEnd;
      if (nLength > 0 && strPending[nLength - 1] == '\r') --nLength;
      std::string strLine = strPending.substr(0, nLength);
      strPending.erase(0, nEnd + 1);
      return strLine;
    }
    if (!m_pImpl->hOut || !Drain(m_pImpl->hOut, strPending)) {
      return std::string();
    }
  }
}

void ChildProcess::Kill() {
  if (!m_pImpl || m_pImpl->bWaited) return;
  // A child that has ended already was not killed.
  if (WaitForSingleObject(m_pImpl->hProcess, 0) == WAIT_TIMEOUT &&
      TerminateProcess(m_pImpl->hProcess, 1)) {
    m_pImpl->bKilled = true;
  }
}

// Windows has no stop request that a console program gets from a process
// outside its console (SIGTERM cannot be sent); callers fall back to Kill.
bool ChildProcess::Interrupt() { return false; }

int ChildProcess::Wait() {
  if (!m_pImpl) return -1;
  Impl& impl = *m_pImpl;
  if (impl.bWaited) return impl.nStatus;
  // End of input tells a child that reads it to finish.
  CloseIfOpen(impl.hIn);
  // Read both pipes to their end so a chatty child cannot block on a full
  // pipe: standard error on a thread of its own.
  std::thread errReader([&impl, this] {
    while (Drain(impl.hErr, m_strStderr)) {
    }
  });
  while (Drain(impl.hOut, impl.strPending)) {
  }
  errReader.join();
  CloseIfOpen(impl.hOut);
  CloseIfOpen(impl.hErr);
  DropCarriageReturns(impl.strPending);
  DropCarriageReturns(m_strStderr);
  m_strStdout += impl.strPending;
  impl.strPending.clear();

  WaitForSingleObject(impl.hProcess, INFINITE);
  DWORD nCode = 0;
  GetExitCodeProcess(impl.hProcess, &nCode);
  CloseIfOpen(impl.hProcess);
  impl.bWaited = true;
  // Killed, or ended by an exception (an NTSTATUS error code such as
  // 0xC0000005): as a signal on POSIX.
  impl.nStatus = impl.bKilled || (nCode & 0xC0000000u) == 0xC0000000u
                     ? -1
                     : static_cast<int>(nCode);
  return impl.nStatus;
}

int ChildProcess::Pid() const {
  return m_pImpl ? static_cast<int>(m_pImpl->nPid) : -1;
}

void SetEnvironment(const std::string& strName, const std::string& strValue) {
  // The runtime keeps its own copy for getenv; set both it and the system's,
  // which children inherit. _putenv_s removes a variable given "", so the
  // system call comes last to keep an empty value.
  _putenv_s(strName.c_str(), strValue.c_str());
  SetEnvironmentVariableA(strName.c_str(), strValue.c_str());
}

const bool kMessageOnStderr = false;

int CurrentProcessId() { return static_cast<int>(GetCurrentProcessId()); }

}  // namespace testsupport
