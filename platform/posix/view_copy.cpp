// Copies to and from views that survive the object being cut short under
// them: another process may truncate a shared-memory object at any moment,
// and touching a page past its new end raises SIGBUS. A check of the size
// before the copy would race with that; a guard around the copy does not.
// The guard needs SIGBUS unblocked in the copying thread: a fault raised
// while it is blocked ends the process whatever the handler.
#include <setjmp.h>
#include <signal.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/platform.h"

namespace platform {

namespace {

// Where the copy under way on this thread resumes after a fault.
thread_local sigjmp_buf* t_pResume = nullptr;
struct sigaction g_previous {};

extern "C" void onBusError(int nSignal, siginfo_t* pInfo, void* /*pContext*/) {
  if (sigjmp_buf* pResume = t_pResume) siglongjmp(*pResume, 1);
  // A fault outside a copy goes where it went before this handler: a faulting
  // instruction faults again on return, a sent signal is sent again.
  sigaction(SIGBUS, &g_previous, nullptr);
  if (pInfo->si_code <= 0) raise(nSignal);
}

void installHandler() {
  struct sigaction action {};
  action.sa_sigaction = onBusError;
  // SA_NODEFER: leaving the handler by siglongjmp must not leave SIGBUS
  // blocked, and saving the signal mask at every copy would cost a call.
  action.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  sigaction(SIGBUS, &action, &g_previous);
}

}  // namespace

bool copyView(void* pTo, const void* pFrom, std::size_t nCount) noexcept {
  static std::once_flag installed;
  std::call_once(installed, installHandler);
  sigset_t busError;
  sigemptyset(&busError);
  sigaddset(&busError, SIGBUS);
  sigset_t previousMask;
  pthread_sigmask(SIG_UNBLOCK, &busError, &previousMask);
  bool bCopied = false;
  sigjmp_buf resume;
  if (sigsetjmp(resume, 0) == 0) {
    t_pResume = &resume;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(pTo, pFrom, nCount);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    bCopied = true;
  }
  t_pResume = nullptr;
  // The caller's mask as it was.
  if (sigismember(&previousMask, SIGBUS)) {
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
  }
  return bCopied;
}

// What makes a copy fault here: the object was cut short under it.
std::string copyProblem() { return "cut short by another process"; }

}  // namespace platform
