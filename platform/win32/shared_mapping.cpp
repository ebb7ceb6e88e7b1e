// Named shared memory on Windows: a mapping object backed by the paging file.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <utility>

#include "platform/platform.h"
#include "platform/win32/system_error.h"

namespace platform {

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
  m_handles.hMapping = CreateFileMappingA(
      INVALID_HANDLE_VALUE, const_cast<SECURITY_ATTRIBUTES*>(pSecurity),
      bReadOnly ? PAGE_READONLY : PAGE_READWRITE, 0, nSize, strName.c_str());
  const DWORD nError = GetLastError();
  m_bMadeNew = m_handles.hMapping != nullptr && nError != ERROR_ALREADY_EXISTS;
  m_strProblem =
      m_handles.hMapping != nullptr ? std::string() : errorText(nError);
  return m_handles.hMapping != nullptr;
}

bool SharedMapping::Open(const std::string& strName, std::uint32_t /*nSize*/,
                         bool bReadOnly, Deadline /*deadline*/) {
  Close();
  m_bMadeNew = false;
  // A read-write view needs both map rights on the handle. Object names are
  // case-sensitive; callers pass them already upper-cased.
  m_handles.hMapping = OpenFileMappingA(
      bReadOnly ? FILE_MAP_READ : FILE_MAP_READ | FILE_MAP_WRITE, FALSE,
      strName.c_str());
  // No mapping of that name: nobody holds one, which is no problem.
  const DWORD nError =
      m_handles.hMapping != nullptr ? ERROR_SUCCESS : GetLastError();
  m_strProblem = nError == ERROR_SUCCESS || nError == ERROR_FILE_NOT_FOUND
                     ? std::string()
                     : errorText(nError);
  return m_handles.hMapping != nullptr;
}

void* SharedMapping::MapView(std::uint32_t nSize, bool bReadOnly) {
  if (m_handles.hMapping == nullptr) return nullptr;
  // Fails when nSize exceeds the mapping (rounded up to a page) or when a
  // write view is asked of a read-only mapping or handle.
  void* pView =
      MapViewOfFile(m_handles.hMapping,
                    bReadOnly ? FILE_MAP_READ : FILE_MAP_WRITE, 0, 0, nSize);
  if (!pView) m_strProblem = errorText(GetLastError());
  return pView;
}

// Windows tells no one how many handles a mapping has.
bool SharedMapping::IsHeldElsewhere() const noexcept {
  return IsOpen() && !m_bMadeNew;
}

bool SharedMapping::IsOpen() const noexcept {
  return m_handles.hMapping != nullptr;
}

void SharedMapping::Close() noexcept {
  // The system object goes with its last handle in any process.
  if (m_handles.hMapping != nullptr) {
    CloseHandle(m_handles.hMapping);
    m_handles.hMapping = nullptr;
  }
}

// Named objects vanish with their last handle: nothing is left to remove.
std::string removeName(const std::string& /*strName*/) { return std::string(); }

std::string removeNameFolder() { return std::string(); }

void flushView(void* pView, std::uint32_t /*nSize*/) noexcept {
  // Length 0 writes back everything from pView to the end of the view.
  if (pView) FlushViewOfFile(pView, 0);
}

void unmapView(void* pView, std::uint32_t /*nSize*/) noexcept {
  if (pView) UnmapViewOfFile(pView);
}

}  // namespace platform
