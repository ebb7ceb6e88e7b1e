// Named shared memory on Windows: a mapping object backed by the paging file.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <utility>

#include "platform/platform.h"
#include "platform/win32/system_error.h"

namespace platform {

SharedMapping::SharedMapping(SharedMapping&& other) noexcept
    : m_hMapping(other.m_hMapping),
      m_bMadeNew(other.m_bMadeNew),
      m_strProblem(std::move(other.m_strProblem)) {
  other.m_hMapping = kNoHandle;
}

SharedMapping& SharedMapping::operator=(SharedMapping&& other) noexcept {
  if (this != &other) {
    Close();
    m_hMapping = other.m_hMapping;
    other.m_hMapping = kNoHandle;
    m_bMadeNew = other.m_bMadeNew;
    m_strProblem = std::move(other.m_strProblem);
  }
  return *this;
}

// Creating or opening never waits on Windows: the deadline has nothing to
// bound.
bool SharedMapping::Create(const std::string& strName, std::uint32_t nSize,
                           bool bReadOnly, const SecurityAttributes* pSecurity,
                           Deadline /*deadline*/) {
  Close();
  // A mapping of that name that exists already comes back as a valid handle
  // with its own size, GetLastError() saying ERROR_ALREADY_EXISTS: that is
  // the attach case, not a failure. A name held by another kind of object
  // (a mutex, say) fails with ERROR_INVALID_HANDLE. A new mapping is zeroed.
  m_hMapping = CreateFileMappingA(
      INVALID_HANDLE_VALUE, const_cast<SECURITY_ATTRIBUTES*>(pSecurity),
      bReadOnly ? PAGE_READONLY : PAGE_READWRITE, 0, nSize, strName.c_str());
  const DWORD nError = GetLastError();
  m_bMadeNew = m_hMapping != kNoHandle && nError != ERROR_ALREADY_EXISTS;
  m_strProblem = m_hMapping != kNoHandle ? std::string() : errorText(nError);
  return m_hMapping != kNoHandle;
}

bool SharedMapping::Open(const std::string& strName, std::uint32_t /*nSize*/,
                         bool bReadOnly, Deadline /*deadline*/) {
  Close();
  m_bMadeNew = false;
  // A read-write view needs both map rights on the handle. Object names are
  // case-sensitive; callers pass them already upper-cased.
  m_hMapping = OpenFileMappingA(
      bReadOnly ? FILE_MAP_READ : FILE_MAP_READ | FILE_MAP_WRITE, FALSE,
      strName.c_str());
  // No mapping of that name: nobody holds one, which is no problem.
  const DWORD nError = m_hMapping != kNoHandle ? ERROR_SUCCESS : GetLastError();
  m_strProblem = nError == ERROR_SUCCESS || nError == ERROR_FILE_NOT_FOUND
                     ? std::string()
                     : errorText(nError);
  return m_hMapping != kNoHandle;
}

void* SharedMapping::MapView(std::uint32_t nSize, bool bReadOnly) {
  if (m_hMapping == kNoHandle) return nullptr;
  // Fails when nSize exceeds the mapping (rounded up to a page) or when a
  // write view is asked of a read-only mapping or handle.
  void* pView = MapViewOfFile(
      m_hMapping, bReadOnly ? FILE_MAP_READ : FILE_MAP_WRITE, 0, 0, nSize);
  if (!pView) m_strProblem = errorText(GetLastError());
  return pView;
}

bool SharedMapping::IsOpen() const noexcept { return m_hMapping != kNoHandle; }

void SharedMapping::Close() noexcept {
  // The system object goes with its last handle in any process.
  if (m_hMapping != kNoHandle) {
    CloseHandle(m_hMapping);
    m_hMapping = kNoHandle;
  }
}

// Named objects vanish with their last handle: nothing is left to remove.
std::string removeName(const std::string& /*strName*/) { return std::string(); }

std::string removeNameFolder() { return std::string(); }

void FlushView(void* pView, std::uint32_t /*nSize*/) noexcept {
  // Length 0 writes back everything from pView to the end of the view.
  if (pView) FlushViewOfFile(pView, 0);
}

void UnmapView(void* pView, std::uint32_t /*nSize*/) noexcept {
  if (pView) UnmapViewOfFile(pView);
}

}  // namespace platform
