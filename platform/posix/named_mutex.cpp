// Named mutexes as objects in the account's folder of /dev/shm holding a
// robust, recursive, process-shared pthread mutex behind a small header, held
// as platform/posix/shm_object.h describes. The layout is shared with peer
// processes written in other languages; docs/ipc.md describes it.
#include <linux/futex.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>
#include <utility>

#include "platform/platform.h"
#include "platform/posix/deadline.h"
#include "platform/posix/shm_object.h"

#ifndef __GLIBC__
#error "the mutex check reads the fields of the GNU C library's pthread_mutex_t"
#endif

namespace platform {

struct MutexObject {
  std::uint32_t nMagic;
  std::uint32_t nVersion;
  std::uint32_t nReserved[14];
  pthread_mutex_t mutex;
};

namespace {

constexpr std::uint32_t kMagic = 0x584D5658;  // "XVMX" in little-endian bytes
constexpr std::uint32_t kVersion = 2;
constexpr off_t kObjectSize = 128;

static_assert(offsetof(MutexObject, mutex) == 64);
static_assert(sizeof(MutexObject) <= kObjectSize);

int initMutex(pthread_mutex_t* pMutex) {
  pthread_mutexattr_t attr;
  if (const int nError = pthread_mutexattr_init(&attr)) return nError;
  // Recursive and owned by a thread, as a Windows mutex is; robust so that a
  // holder's death hands it on instead of blocking every waiter for ever.
  int nError = pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
  if (!nError)
    nError = pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
  if (!nError)
    nError = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  if (!nError) nError = pthread_mutexattr_setprotocol(&attr, PTHREAD_PRIO_NONE);
  if (!nError) nError = pthread_mutex_init(pMutex, &attr);
  pthread_mutexattr_destroy(&attr);
  return nError;
}

// Whether the C library's own fields of a mutex that another process can
// write hold what ours can hold. Any other kind (priority inheritance or
// protection, not robust, not recursive) takes paths through the library
// that assert or wait for ever on such data; an owner no thread can have
// makes no sense. The fields are read as they stand, without the lock.
bool isSound(const pthread_mutex_t& mutex) {
  static_assert(sizeof(pthread_mutex_t) == 40 || sizeof(pthread_mutex_t) == 24,
                "the layout of pthread_mutex_t on glibc");
  static_assert(offsetof(pthread_mutex_t, __data.__lock) == 0);
  static_assert(offsetof(pthread_mutex_t, __data.__count) == 4);
  static_assert(offsetof(pthread_mutex_t, __data.__owner) == 8);
  // Marks of an owner that died (taken, not yet made consistent) and of a
  // mutex given up as unrecoverable.
  constexpr int kInconsistent = INT_MAX;
  constexpr int kNotRecoverable = INT_MAX - 1;
  // The kernel hands out thread ids up to 2^22.
  constexpr int kMaxThreadId = 1 << 22;
  static const int nOurKind = [] {
    pthread_mutex_t model;
    initMutex(&model);
    const int nKind = model.__data.__kind;
    pthread_mutex_destroy(&model);
    return nKind;
  }();

  const int nKind = __atomic_load_n(&mutex.__data.__kind, __ATOMIC_RELAXED);
  const int nOwner = __atomic_load_n(&mutex.__data.__owner, __ATOMIC_RELAXED);
  const auto nLockTid = static_cast<int>(
      __atomic_load_n(&mutex.__data.__lock, __ATOMIC_RELAXED) & FUTEX_TID_MASK);
  return nKind == nOurKind && nLockTid <= kMaxThreadId &&
         ((nOwner >= 0 && nOwner <= kMaxThreadId) || nOwner == kInconsistent ||
          nOwner == kNotRecoverable);
}

// A new object: the header and a fresh mutex.
int makeNewMutexObject(int fd) {
  void* pView =
      mmap(nullptr, kObjectSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (pView == MAP_FAILED) return errno;
  auto* pObject = static_cast<MutexObject*>(pView);
  const int nError = initMutex(&pObject->mutex);
  if (!nError) {
    pObject->nMagic = kMagic;
    pObject->nVersion = kVersion;
  }
  munmap(pView, kObjectSize);
  return nError;
}

const char* whatIsWrongWithMutexObject(int fd) {
  std::uint32_t header[2] = {};
  if (pread(fd, header, sizeof header, 0) != ssize_t{sizeof header} ||
      header[0] != kMagic || header[1] != kVersion) {
    return "not used: not a mutex object of this version";
  }
  return nullptr;
}

constexpr ObjectType kMutexObjectType = {kObjectSize, makeNewMutexObject,
                                         whatIsWrongWithMutexObject};

constexpr char kCorrupt[] = "not used: its mutex is corrupt";

}  // namespace

bool NamedMutex::Create(const std::string& strName,
                        const SecurityAttributes* pSecurity,
                        Deadline deadline) {
  Close();
  // Held from here on. Mapped only when first locked: most mutexes a run
  // attaches it never locks, and each mapping costs its own unmapping.
  Attachment attachment = attachObject(strName, kMutexObjectType,
                                       objectMode(pSecurity), true, deadline);
  m_handles.fd = attachment.fd;
  m_strProblem = std::move(attachment.strProblem);
  return m_handles.fd >= 0;
}

WaitResult NamedMutex::Lock(std::uint32_t nTimeoutMs) {
  if (!m_handles.pObject && m_handles.fd >= 0) {
    void* pView = mmap(nullptr, kObjectSize, PROT_READ | PROT_WRITE, MAP_SHARED,
                       m_handles.fd, 0);
    if (pView == MAP_FAILED) {
      m_strProblem = errorText(errno);
      return WaitResult::Failed;
    }
    // On Linux the mapping keeps the open file description, and with it the
    // hold, until it is unmapped: the descriptor is not needed any more.
    close(std::exchange(m_handles.fd, -1));
    m_handles.pObject = static_cast<MutexObject*>(pView);
  }
  if (!m_handles.pObject) return WaitResult::Failed;
  // Checked before every lock: another holder may write it at any time.
  if (!isSound(m_handles.pObject->mutex)) {
    m_strProblem = kCorrupt;
    return WaitResult::Failed;
  }
  const timespec deadline = monotonicTime(deadlineAfter(nTimeoutMs));
  switch (const int nResult = pthread_mutex_clocklock(
              &m_handles.pObject->mutex, CLOCK_MONOTONIC, &deadline)) {
    case 0:
      ++m_handles.nHeld;
      return WaitResult::Acquired;
    case EOWNERDEAD:
      // Ours now. Mark it consistent at once: unlocking it inconsistent would
      // make it unusable for every process.
      pthread_mutex_consistent(&m_handles.pObject->mutex);
      ++m_handles.nHeld;
      return WaitResult::Abandoned;
    case ETIMEDOUT:
      return WaitResult::TimedOut;
    default:
      m_strProblem = errorText(nResult);
      return WaitResult::Failed;
  }
}

void NamedMutex::Unlock() noexcept {
  // Only holds taken through this mapping: the robust list of the thread
  // records the address it was locked at.
  if (m_handles.nHeld > 0 &&
      pthread_mutex_unlock(&m_handles.pObject->mutex) == 0)
    --m_handles.nHeld;
}

bool NamedMutex::IsOpen() const noexcept {
  return m_handles.fd >= 0 || m_handles.pObject != nullptr;
}

void NamedMutex::Close() noexcept {
  if (m_handles.fd >= 0) close(std::exchange(m_handles.fd, -1));
  if (!m_handles.pObject) return;
  // Never unmap a mutex still held through this mapping.
  while (m_handles.nHeld > 0) {
    const int nBefore = m_handles.nHeld;
    Unlock();
    if (m_handles.nHeld == nBefore) break;
  }
  munmap(std::exchange(m_handles.pObject, nullptr), kObjectSize);
  m_handles.nHeld = 0;
}

}  // namespace platform
