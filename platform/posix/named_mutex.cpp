// Named mutexes as POSIX shared-memory objects "/NAME" holding a robust,
// recursive, process-shared pthread mutex behind a small header. The layout
// and the initialisation handshake are shared with peer processes written
// in other languages; docs/ipc.md describes them.
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <utility>

#include "platform/platform.h"
#include "platform/posix/shm_object.h"

namespace platform {

struct MutexObject {
  std::uint32_t nMagic;
  std::uint32_t nVersion;
  // kStateFresh, kStateReady, or the pid of the process initialising it.
  std::atomic<std::uint32_t> nState;
  std::uint32_t nReserved[13];
  pthread_mutex_t mutex;
};

namespace {

constexpr std::uint32_t kMagic = 0x584D5658;  // "XVMX" in little-endian bytes
constexpr std::uint32_t kVersion = 1;
constexpr std::uint32_t kStateFresh = 0;
constexpr std::uint32_t kStateReady = 0xFFFFFFFF;
constexpr std::size_t kObjectSize = 128;
constexpr long kInitWaitMs = 3000;

static_assert(std::atomic<std::uint32_t>::is_always_lock_free);
static_assert(offsetof(MutexObject, nState) == 8);
static_assert(offsetof(MutexObject, mutex) == 64);
static_assert(sizeof(MutexObject) <= kObjectSize);

timespec deadlineAfter(long nMs) {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  t.tv_sec += nMs / 1000;
  t.tv_nsec += (nMs % 1000) * 1000000L;
  if (t.tv_nsec >= 1000000000L) {
    t.tv_sec += 1;
    t.tv_nsec -= 1000000000L;
  }
  return t;
}

bool isPast(const timespec& deadline) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec > deadline.tv_sec ||
         (now.tv_sec == deadline.tv_sec && now.tv_nsec >= deadline.tv_nsec);
}

// An initialiser that no longer exists left the object half made.
bool initialiserGone(std::uint32_t nPid) {
  if (nPid == static_cast<std::uint32_t>(getpid())) return true;
  return kill(static_cast<pid_t>(nPid), 0) != 0 && errno == ESRCH;
}

bool initMutex(pthread_mutex_t* pMutex) {
  pthread_mutexattr_t attr;
  if (pthread_mutexattr_init(&attr) != 0) return false;
  // Recursive and owned by a thread, as a Windows mutex is; robust so that a
  // holder's death hands it on instead of blocking every waiter for ever.
  const bool bOk =
      pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED) == 0 &&
      pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST) == 0 &&
      pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) == 0 &&
      pthread_mutexattr_setprotocol(&attr, PTHREAD_PRIO_NONE) == 0 &&
      pthread_mutex_init(pMutex, &attr) == 0;
  pthread_mutexattr_destroy(&attr);
  return bOk;
}

// Makes sure the mutex in the object is initialised exactly once, taking over
// from an initialiser that died half-way. Waits at most kInitWaitMs for a
// live one.
bool ensureInitialised(MutexObject* pObject) {
  const timespec deadline = deadlineAfter(kInitWaitMs);
  const auto nMine = static_cast<std::uint32_t>(getpid());
  for (;;) {
    std::uint32_t nState = pObject->nState.load(std::memory_order_acquire);
    if (nState == kStateReady) {
      return pObject->nMagic == kMagic && pObject->nVersion == kVersion;
    }
    if (nState == kStateFresh || initialiserGone(nState)) {
      if (!pObject->nState.compare_exchange_strong(nState, nMine,
                                                   std::memory_order_acq_rel)) {
        continue;
      }
      if (!initMutex(&pObject->mutex)) {
        pObject->nState.store(kStateFresh, std::memory_order_release);
        return false;
      }
      pObject->nMagic = kMagic;
      pObject->nVersion = kVersion;
      pObject->nState.store(kStateReady, std::memory_order_release);
      return true;
    }
    if (isPast(deadline)) return false;
    const timespec pause{0, 1000000L};
    nanosleep(&pause, nullptr);
  }
}

}  // namespace

NamedMutex::NamedMutex(NamedMutex&& other) noexcept
    : m_pObject(std::exchange(other.m_pObject, nullptr)),
      m_nHeld(std::exchange(other.m_nHeld, 0)) {}

NamedMutex& NamedMutex::operator=(NamedMutex&& other) noexcept {
  if (this != &other) {
    Close();
    m_pObject = std::exchange(other.m_pObject, nullptr);
    m_nHeld = std::exchange(other.m_nHeld, 0);
  }
  return *this;
}

bool NamedMutex::Create(const std::string& strName,
                        const SecurityAttributes* pSecurity) {
  Close();
  const int fd = openOrCreateObject(strName, kObjectSize, objectMode(pSecurity));
  if (fd < 0) return false;
  void* pView = mmap(nullptr, kObjectSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (pView == MAP_FAILED) return false;
  auto* pObject = static_cast<MutexObject*>(pView);
  if (!ensureInitialised(pObject)) {
    munmap(pView, kObjectSize);
    return false;
  }
  m_pObject = pObject;
  return true;
}

WaitResult NamedMutex::Lock(std::uint32_t nTimeoutMs) noexcept {
  if (!m_pObject) return WaitResult::Failed;
  const timespec deadline = deadlineAfter(static_cast<long>(nTimeoutMs));
  switch (pthread_mutex_clocklock(&m_pObject->mutex, CLOCK_MONOTONIC, &deadline)) {
    case 0:
      ++m_nHeld;
      return WaitResult::Acquired;
    case EOWNERDEAD:
      // Ours now. Mark it consistent at once: unlocking it inconsistent would
      // make it unusable for every process.
      pthread_mutex_consistent(&m_pObject->mutex);
      ++m_nHeld;
      return WaitResult::Abandoned;
    case ETIMEDOUT:
      return WaitResult::TimedOut;
    default:
      return WaitResult::Failed;
  }
}

void NamedMutex::Unlock() noexcept {
  // Only holds taken through this mapping: the robust list of the thread
  // records the address it was locked at.
  if (m_nHeld > 0 && pthread_mutex_unlock(&m_pObject->mutex) == 0) --m_nHeld;
}

bool NamedMutex::IsOpen() const noexcept { return m_pObject != nullptr; }

void NamedMutex::Close() noexcept {
  if (!m_pObject) return;
  // Never unmap a mutex still held through this mapping.
  while (m_nHeld > 0) {
    const int nBefore = m_nHeld;
    Unlock();
    if (m_nHeld == nBefore) break;
  }
  munmap(std::exchange(m_pObject, nullptr), kObjectSize);
  m_nHeld = 0;
}

}  // namespace platform
