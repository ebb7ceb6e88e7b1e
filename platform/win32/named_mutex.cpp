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

bool NamedMutex::Create(const std::string& strName,
                        const SecurityAttributes* pSecurity,
                        Deadline /*deadline*/) {
  Close();
  // Not owned at creation. An existing mutex of that name is returned with
  // ERROR_ALREADY_EXISTS, which is the attach case; a name held by another
  // kind of object fails with ERROR_INVALID_HANDLE.
  m_handles.hMutex = CreateMutexA(const_cast<SECURITY_ATTRIBUTES*>(pSecurity),
                                  FALSE, strName.c_str());
  m_strProblem = m_handles.hMutex ? std::string() : errorText(GetLastError());
  return m_handles.hMutex != nullptr;
}

WaitResult NamedMutex::Lock(std::uint32_t nTimeoutMs) {
  if (!m_handles.hMutex) return WaitResult::Failed;
  // INFINITE is 0xFFFFFFFF; keep every wait bounded.
  const DWORD nWaitMs = nTimeoutMs == INFINITE ? INFINITE - 1 : nTimeoutMs;
  const WaitResult result =
      waitResult(WaitForSingleObject(m_handles.hMutex, nWaitMs));
  if (result == WaitResult::Failed) m_strProblem = errorText(GetLastError());
  return result;
}

void NamedMutex::Unlock() noexcept {
  // Fails with ERROR_NOT_OWNER when this thread does not hold it: no effect.
  if (m_handles.hMutex) ReleaseMutex(m_handles.hMutex);
}

bool NamedMutex::IsOpen() const noexcept { return m_handles.hMutex != nullptr; }

void NamedMutex::Close() noexcept {
  if (!m_handles.hMutex) return;
  // Closing the handle does not release a hold: the mutex would stay owned by
  // this thread, and be abandoned only when it ends. Release every recursive
  // hold first; ReleaseMutex fails once this thread holds it no more.
  while (ReleaseMutex(m_handles.hMutex)) {
  }
  CloseHandle(m_handles.hMutex);
  m_handles.hMutex = nullptr;
}

}  // namespace platform
