// Copies to and from views that survive pages that cannot be read or
// written: a section whose pages were reserved and never committed, a view
// mapped read-only, a file-backed section whose file could not be paged in
// or (under Wine) was cut short. Touching such a page raises an access
// violation or an in-page error; a check of the pages before the copy would
// race with the peer, a guard around the copy does not.
//
// The guard is a vectored exception handler: a fault inside a copy resumes
// the thread in a function that jumps back into copyView, which fails.
// ReadProcessMemory and WriteProcessMemory on this process would have been
// simpler, but Wine serves them from outside the process, where page
// protection is not seen, and WriteProcessMemory may change a page's
// protection to write it.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <atomic>
#include <cstring>

#include "platform/platform.h"
#include "platform/win32/system_error.h"

namespace platform {

namespace {

// A copy under way: where it resumes after a fault (a __builtin_setjmp
// buffer), and the fault's error code.
struct Copy {
  void* resume[5];
  DWORD nError;
};

// The slot holding this thread's copy under way, null outside a copy. Win32
// thread-local storage: reading it in the handler allocates nothing.
DWORD g_nCopySlot = TLS_OUT_OF_INDEXES;
thread_local DWORD t_nLastError = ERROR_SUCCESS;

[[noreturn]] __attribute__((noinline)) void resumeCopy() {
  __builtin_longjmp(static_cast<Copy*>(TlsGetValue(g_nCopySlot))->resume, 1);
}

LONG CALLBACK onFault(EXCEPTION_POINTERS* pInfo) {
  const DWORD nCode = pInfo->ExceptionRecord->ExceptionCode;
  if (nCode != EXCEPTION_ACCESS_VIOLATION && nCode != EXCEPTION_IN_PAGE_ERROR)
    return EXCEPTION_CONTINUE_SEARCH;
  // TlsGetValue clears the error code of a thread whose fault is not ours.
  const DWORD nLastError = GetLastError();
  Copy* pCopy = static_cast<Copy*>(TlsGetValue(g_nCopySlot));
  SetLastError(nLastError);
  if (!pCopy) return EXCEPTION_CONTINUE_SEARCH;
  pCopy->nError =
      nCode == EXCEPTION_IN_PAGE_ERROR ? ERROR_SWAPERROR : ERROR_NOACCESS;
  // Go on in resumeCopy as if the faulting code had called it, on a stack
  // aligned as a call leaves it; the frames below copyView are given up.
  CONTEXT& context = *pInfo->ContextRecord;
#ifdef _WIN64
  context.Rsp = (context.Rsp & ~DWORD64{15}) - 8;
  context.Rip = reinterpret_cast<DWORD64>(&resumeCopy);
#else
  context.Esp = (context.Esp & ~DWORD{15}) - 4;
  context.Eip = reinterpret_cast<DWORD>(&resumeCopy);
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

bool installGuard() {
  g_nCopySlot = TlsAlloc();
  // First in line: a fault in a copy is ours before anyone else's.
  return g_nCopySlot != TLS_OUT_OF_INDEXES &&
         AddVectoredExceptionHandler(1, onFault) != nullptr;
}

}  // namespace

bool copyView(void* pTo, const void* pFrom, std::size_t nCount) noexcept {
  static const bool bGuarded = installGuard();
  if (!bGuarded) {
    t_nLastError = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  Copy copy{};
  if (__builtin_setjmp(copy.resume) != 0) {
    TlsSetValue(g_nCopySlot, nullptr);
    t_nLastError = copy.nError;
    return false;
  }
  TlsSetValue(g_nCopySlot, &copy);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  std::memcpy(pTo, pFrom, nCount);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  TlsSetValue(g_nCopySlot, nullptr);
  return true;
}

std::string copyProblem() { return errorText(t_nLastError); }

}  // namespace platform
