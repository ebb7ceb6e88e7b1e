#include "sharedmem/mem_map_file.h"

#include <cctype>

CMemMapFile::~CMemMapFile() { Close(); }

std::string CMemMapFile::MakeMapName(const std::string& strName) {
  std::string strMapName = strName;
  for (char& c : strMapName) {
    c = c == '\\'
            ? '_'
            : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return strMapName;
}

std::int32_t CMemMapFile::Create(const std::string& strName,
                                 std::uint32_t nSize, std::int32_t bReadOnly,
                                 const platform::SecurityAttributes* pSecurity,
                                 platform::Deadline deadline) {
  // Handles still held from an earlier attempt would leak when replaced.
  Close();
  m_strProblem.clear();
  m_nSize = nSize;
  m_bReadOnly = bReadOnly;
  m_strName = MakeMapName(strName);
  // An existing mapping of the name is handed back: that is attaching.
  return AttachView(m_hMapping.Create(m_strName, m_nSize, m_bReadOnly != 0,
                                      pSecurity, deadline),
                    pSecurity, deadline);
}

std::int32_t CMemMapFile::Open(const std::string& strName, std::uint32_t nSize,
                               std::int32_t bReadOnly,
                               platform::Deadline deadline) {
  Close();
  m_strProblem.clear();
  m_nSize = nSize;
  m_bReadOnly = bReadOnly;
  m_strName = MakeMapName(strName);
  return AttachView(
      m_hMapping.Open(m_strName, m_nSize, m_bReadOnly != 0, deadline), nullptr,
      deadline);
}

std::int32_t CMemMapFile::AttachView(
    std::int32_t bMapped, const platform::SecurityAttributes* pSecurity,
    platform::Deadline deadline) {
  if (!bMapped) {
    NoteProblem("", m_hMapping.GetProblem());
    Close();
    return 0;
  }
  m_pView = m_hMapping.MapView(m_nSize, m_bReadOnly != 0);
  if (!m_pView) NoteProblem("", m_hMapping.GetProblem());
  // The mutex is attached even without a view; Lock then answers null anyway.
  if (!m_hMutex.Create(m_strName + "MUTEX", pSecurity, deadline) && m_pView) {
    NoteProblem("MUTEX", m_hMutex.GetProblem());
  }
  return m_pView ? 1 : 0;
}

void CMemMapFile::NoteProblem(const char* pszSuffix,
                              const std::string& strProblem) {
  if (!strProblem.empty())
    m_strProblem = m_strName + pszSuffix + ": " + strProblem;
}

void* CMemMapFile::Lock() {
  return LockUntil(platform::deadlineAfter(kLockTimeoutMs));
}

void* CMemMapFile::LockUntil(platform::Deadline deadline, bool bTakeAbandoned) {
  m_lastWait = platform::WaitResult::Failed;
  if (!m_pView) return nullptr;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  // Abandoned counts as failure unless the caller takes it: the mutex is ours
  // all the same, and the caller's Unlock releases it.
  m_lastWait = m_hMutex.Lock(
      left.count() > 0 ? static_cast<std::uint32_t>(left.count()) : 0);
  if (m_lastWait == platform::WaitResult::Failed) {
    NoteProblem("MUTEX", m_hMutex.GetProblem());
  }
  if (m_lastWait != platform::WaitResult::Acquired &&
      !(bTakeAbandoned && m_lastWait == platform::WaitResult::Abandoned)) {
    return nullptr;
  }
  m_bLocked = 1;
  return m_pView;
}

std::int32_t CMemMapFile::Unlock() {
  m_bLocked = 0;
  m_hMutex.Unlock();
  return 1;
}

void CMemMapFile::Close() {
  Unlock();
  if (m_pView) {
    platform::flushView(m_pView, m_nSize);
    platform::unmapView(m_pView, m_nSize);
    m_pView = nullptr;
  }
  m_hMapping.Close();
  m_hMutex.Close();
  m_bReadOnly = 1;
  m_strName.clear();
  m_nSize = 0;
}
