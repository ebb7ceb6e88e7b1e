// Named segments as POSIX shared-memory objects "/NAME". Unlike a Windows
// mapping, the name outlives its last user; it is removed only on request.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "platform/platform.h"
#include "platform/posix/shm_object.h"

namespace platform {

SharedMapping::SharedMapping(SharedMapping&& other) noexcept
    : m_hMapping(std::exchange(other.m_hMapping, kNoHandle)) {}

SharedMapping& SharedMapping::operator=(SharedMapping&& other) noexcept {
  if (this != &other) {
    Close();
    m_hMapping = std::exchange(other.m_hMapping, kNoHandle);
  }
  return *this;
}

bool SharedMapping::Create(const std::string& strName, std::uint32_t nSize,
                           bool /*bReadOnly*/,
                           const SecurityAttributes* pSecurity) {
  Close();
  // Read-write even for a read-only segment: a new object has to be sized.
  m_hMapping = openOrCreateObject(strName, nSize, objectMode(pSecurity));
  return IsOpen();
}

bool SharedMapping::Open(const std::string& strName, bool bReadOnly) {
  Close();
  m_hMapping = shm_open(shmName(strName).c_str(), bReadOnly ? O_RDONLY : O_RDWR, 0);
  return IsOpen();
}

void* SharedMapping::MapView(std::uint32_t nSize, bool bReadOnly) {
  if (!IsOpen() || nSize == 0) return nullptr;
  // An object shorter than the view would fault past its end: a writer grows
  // it, a reader declines it.
  if (bReadOnly) {
    struct stat info {};
    if (fstat(m_hMapping, &info) != 0 || info.st_size < off_t{nSize}) {
      return nullptr;
    }
  } else if (!ensureObjectSize(m_hMapping, nSize)) {
    return nullptr;
  }
  void* pView = mmap(nullptr, nSize, bReadOnly ? PROT_READ : PROT_READ | PROT_WRITE,
                     MAP_SHARED, m_hMapping, 0);
  return pView == MAP_FAILED ? nullptr : pView;
}

bool SharedMapping::IsOpen() const noexcept { return m_hMapping != kNoHandle; }

void SharedMapping::Close() noexcept {
  if (IsOpen()) close(std::exchange(m_hMapping, kNoHandle));
}

void FlushView(void* pView, std::uint32_t nSize) noexcept {
  if (pView) msync(pView, nSize, MS_SYNC);
}

void UnmapView(void* pView, std::uint32_t nSize) noexcept {
  if (pView) munmap(pView, nSize);
}

}  // namespace platform
