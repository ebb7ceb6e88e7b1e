// CMemMapFile: one named shared-memory segment and the named mutex that guards
// it. Every process that shares a segment takes its mutex before touching the
// bytes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

class CMemMapFile {
 public:
  CMemMapFile() = default;
  virtual ~CMemMapFile();
  CMemMapFile(const CMemMapFile&) = delete;
  CMemMapFile& operator=(const CMemMapFile&) = delete;

  // The system object name: every '\' made '_', then upper-cased.
  static std::string MakeMapName(const std::string& strName);

  // Creates the segment and its mutex (name + "MUTEX"), or attaches to them
  // when they exist. pSecurity null: the system's default. Returns 1 when a
  // view was obtained, else 0; when the mapping itself failed the object is
  // closed, when only the view failed the handles stay held until Close.
  // Waits until the deadline at most for another process that is making the
  // objects new (POSIX).
  std::int32_t Create(const std::string& strName, std::uint32_t nSize,
                      std::int32_t bReadOnly,
                      const platform::SecurityAttributes* pSecurity,
                      platform::Deadline deadline =
                          platform::deadlineAfter(platform::kAttachWaitMs));
  // As Create, but only attaches to a segment that another process holds; 0
  // when there is none: a segment nobody holds no longer exists.
  std::int32_t Open(const std::string& strName, std::uint32_t nSize,
                    std::int32_t bReadOnly,
                    platform::Deadline deadline =
                        platform::deadlineAfter(platform::kAttachWaitMs));

  // Waits at most kLockTimeoutMs for the mutex. Returns the view, or null when
  // there is no view or the wait did not end in plain acquisition (timed out,
  // abandoned by a dead holder, failed: see GetLastWait). Call Unlock after
  // every Lock.
  void* Lock();
  // As Lock, waiting until the deadline at most; with bTakeAbandoned, a
  // mutex abandoned by a holder that died gives the view too.
  void* LockUntil(platform::Deadline deadline, bool bTakeAbandoned = false);
  // Releases the mutex if this thread holds it. Always 1.
  std::int32_t Unlock();
  // Unlocks, writes the view back and releases view, mapping and mutex.
  // Harmless on a closed object.
  void Close();

  std::uint32_t GetSize() const { return m_nSize; }
  // Whether the last Create made the segment new: no other process held it.
  bool WasMadeNew() const { return m_hMapping.WasMadeNew(); }
  // Whether another holder holds the segment now (POSIX; on Windows, when
  // it was attached): one that could read what is written there.
  bool IsHeldElsewhere() const { return m_hMapping.IsHeldElsewhere(); }
  const std::string& GetName() const { return m_strName; }
  // How the last Lock's wait ended.
  platform::WaitResult GetLastWait() const { return m_lastWait; }
  // Why the segment or its mutex cannot be used, naming the object
  // ("MM_XMITPATHMUTEX: not used: it belongs to user 65534"); empty when
  // nothing is wrong with them, or when a Lock found the mutex only held or
  // abandoned by a peer. Kept until the next Create or Open.
  const std::string& GetProblem() const { return m_strProblem; }

  // Records a platform object's problem, named after the segment + suffix;
  // an empty one changes nothing.
  void NoteProblem(const char* pszSuffix, const std::string& strProblem);

  static constexpr std::uint32_t kLockTimeoutMs = 3000;

 private:
  std::int32_t AttachView(std::int32_t bMapped,
                          const platform::SecurityAttributes* pSecurity,
                          platform::Deadline deadline);

  platform::SharedMapping m_hMapping;
  std::int32_t m_bReadOnly = 1;
  void* m_pView = nullptr;
  std::string m_strName;
  std::int32_t m_bLocked = 0;
  platform::NamedMutex m_hMutex;
  std::uint32_t m_nSize = 0;
  platform::WaitResult m_lastWait = platform::WaitResult::Failed;
  std::string m_strProblem;
};
