// Named segments as files in the account's folder of /dev/shm, held as
// platform/posix/shm_object.h describes, so that a segment lives as long as
// some process holds it, as a Windows mapping does.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/platform.h"
#include "platform/posix/shm_object.h"

namespace platform {

namespace {

// A segment is its bytes, nothing more.
ObjectType segmentType(std::uint32_t nSize) {
  return {off_t{nSize}, nullptr, nullptr};
}

}  // namespace

bool SharedMapping::Create(const std::string& strName, std::uint32_t nSize,
                           bool /*bReadOnly*/,
                           const SecurityAttributes* pSecurity,
                           Deadline deadline) {
  Close();
  // Read-write even for a read-only segment: making it new needs it.
  Attachment attachment = attachObject(strName, segmentType(nSize),
                                       objectMode(pSecurity), true, deadline);
  m_handles.fd = attachment.fd;
  m_bMadeNew = attachment.bMadeNew;
  m_strProblem = std::move(attachment.strProblem);
  return IsOpen();
}

bool SharedMapping::Open(const std::string& strName, std::uint32_t nSize,
                         bool /*bReadOnly*/, Deadline deadline) {
  Close();
  Attachment attachment = attachObject(strName, segmentType(nSize),
                                       objectMode(nullptr), false, deadline);
  m_handles.fd = attachment.fd;
  m_bMadeNew = false;
  m_strProblem = std::move(attachment.strProblem);
  return IsOpen();
}

void* SharedMapping::MapView(std::uint32_t nSize, bool bReadOnly) {
  if (!IsOpen() || nSize == 0) return nullptr;
  // The object has its full size: attaching made sure of it.
  void* pView =
      mmap(nullptr, nSize, bReadOnly ? PROT_READ : PROT_READ | PROT_WRITE,
           MAP_SHARED, m_handles.fd, 0);
  if (pView != MAP_FAILED) return pView;
  m_strProblem = errorText(errno);
  return nullptr;
}

bool SharedMapping::IsHeldElsewhere() const noexcept {
  // A lock of another open file description would conflict with the write
  // lock; this one's own hold does not.
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  return IsOpen() && fcntl(m_handles.fd, F_OFD_GETLK, &lock) == 0 &&
         lock.l_type != F_UNLCK;
}

bool SharedMapping::IsOpen() const noexcept { return m_handles.fd >= 0; }

void SharedMapping::Close() noexcept {
  if (IsOpen()) close(std::exchange(m_handles.fd, -1));
}

// Shared memory has no backing store to write to: every process that maps
// the object sees each byte as soon as it is written.
void flushView(void* /*pView*/, std::uint32_t /*nSize*/) noexcept {}

void unmapView(void* pView, std::uint32_t nSize) noexcept {
  if (pView) munmap(pView, nSize);
}

}  // namespace platform
