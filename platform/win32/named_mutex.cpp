// Named mutex on Windows: a kernel mutex, recursive and owned by a thread.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <utility>

#include "platform/platform.h"
#include "platform/win32/system_error.h"

namespace platform {

namespace {

// The one translation of a wait's outcome.
WaitResult waitResult(DWORD nWait) {
  switch (nWait) {
    case WAIT_OBJECT_0:
      return WaitResult::Acquired;
    // The holder ended without releasing: the mutex is ours now, but what it
    // guards may be half-written.
    case WAIT_ABANDONED:
      return WaitResult::Abandoned;
    case WAIT_TIMEOUT:
      return WaitResult::TimedOut;
    default:  // WAIT_FAILED: a bad or closed handle
      return WaitResult::Failed;
  }
}

}  // namespace

NamedMutex::NamedMutex(NamedMutex&& other) noexcept
    : m_hMutex(other.m_hMutex), m_strProblem(std::move(other.m_strProblem)) {
  other.m_hMutex = nullptr;
}

NamedMutex& NamedMutex::operator=(NamedMutex&& other) noexcept {
  if (this != &other) {
    Close();
    m_hMutex = other.m_hMutex;
    other.m_hMutex = nullptr;
    m_strProblem = std::move(other.m_strProblem);
  }
  return *this;
}

bool NamedMutex::Create(const std::string& strName,
                        const SecurityAttributes* pSecurity,
                        Deadline /*deadline*/) {
  Close();
  // Not owned at creation. An existing mutex of that name is returned with
  // ERROR_ALREADY_EXISTS, which is the attach case; a name held by another
  // kind of object fails with ERROR_INVALID_HANDLE.
  m_hMutex = CreateMutexA(const_cast<SECURITY_ATTRIBUTES*>(pSecurity), FALSE,
                          strName.c_str());
  m_strProblem = m_hMutex ? std::string() : errorText(GetLastError());
  return m_hMutex != nullptr;
}

WaitResult NamedMutex::Lock(std::uint32_t nTimeoutMs) {
  if (!m_hMutex) return WaitResult::Failed;
  // INFINITE is 0xFFFFFFFF; keep every wait bounded.
  const DWORD nWaitMs = nTimeoutMs == INFINITE ? INFINITE - 1 : nTimeoutMs;
  const WaitResult result = waitResult(WaitForSingleObject(m_hMutex, nWaitMs));
  if (result == WaitResult::Failed) m_strProblem = errorText(GetLastError());
  return result;
}

void NamedMutex::Unlock() noexcept {
  // Fails with ERROR_NOT_OWNER when this thread does not hold it: no effect.
  if (m_hMutex) ReleaseMutex(m_hMutex);
}

bool NamedMutex::IsOpen() const noexcept { return m_hMutex != nullptr; }

void NamedMutex::Close() noexcept {
  if (!m_hMutex) return;
  // Closing the handle does not release a hold: the mutex would stay owned by
  // this thread, and be abandoned only when it ends. Release every recursive
  // hold first; ReleaseMutex fails once this thread holds it no more.
  while (ReleaseMutex(m_hMutex)) {
  }
  CloseHandle(m_hMutex);
  m_hMutex = nullptr;
}

}  // namespace platform
