#include "sharedmem/segment_access.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace segments {

namespace {

// The bytes of a segment that its accesses see: all of the suite's.
std::size_t Bytes(const CMemMapFile& map) {
  return map.GetSize() < kSize ? map.GetSize() : kSize;
}

// A guarded copy to or from the view of a locked segment. A failed one is a
// problem of the segment: its pages could not be read or written.
bool Copy(CMemMapFile& map, void* pTo, const void* pFrom, std::size_t nCount) {
  if (platform::copyView(pTo, pFrom, nCount)) return true;
  map.NoteProblem("", platform::copyProblem());
  return false;
}

// Reads the text of a locked segment through a buffer of all its bytes, so
// that nothing reads the view but the guarded copy.
bool CopyText(CMemMapFile& map, const void* pView, std::string& strText) {
  char szBytes[kSize];
  if (!Copy(map, szBytes, pView, Bytes(map))) return false;
  strText.assign(szBytes, strnlen(szBytes, Bytes(map)));
  return true;
}

// Copies a text with its NUL to the start of a locked view so that a writer
// killed at any point leaves either the old text emptied or the whole new
// one: byte 0 is cleared first and written last. Bytes after the new NUL
// keep their contents.
bool CopyTextWhole(CMemMapFile& map, void* pView, const std::string& strText) {
  char* pBytes = static_cast<char*>(pView);
  static const char kNul = '\0';
  if (!Copy(map, pBytes, &kNul, 1) ||
      !Copy(map, pBytes + 1, strText.c_str() + 1, strText.size())) {
    return false;
  }
  // Nothing above may be moved past the store of byte 0.
  std::atomic_signal_fence(std::memory_order_release);
  return Copy(map, pBytes, strText.c_str(), 1);
}

}  // namespace

void PrepareProcess() { platform::prepareProcess(); }

void SayLine(const std::string& strLine) { platform::writeErrorLine(strLine); }

bool RequestArgument(int argc, char* argv[], std::string& strRequest,
                     int& nIgnored, std::string& strProblem) {
  return platform::requestArgument(argc, argv, strRequest, nIgnored,
                                   strProblem);
}

bool IsPath(const std::string& strText) {
  return platform::hasPathMarker(strText);
}

bool Attach(CMemMapFile& map, const std::string& strName,
            platform::Deadline deadline) {
  // One deadline for both: opening and then creating never wait twice.
  return map.Open(strName, kSize, 0, deadline) ||
         map.Create(strName, kSize, 0, nullptr, deadline);
}

CSegmentLock::CSegmentLock(CMemMapFile& map, platform::Deadline deadline,
                           Abandoned abandoned)
    : m_map(map),
      m_pView(map.LockUntil(deadline, abandoned == Abandoned::Take)) {}

Access CSegmentLock::Outcome() const {
  switch (m_map.GetLastWait()) {
    case platform::WaitResult::Acquired:
      return Access::Done;
    case platform::WaitResult::Abandoned:
      return m_pView ? Access::DoneAbandoned : Access::Refused;
    case platform::WaitResult::TimedOut:
      return Access::TimedOut;
    default:
      return Access::Failed;
  }
}

Access ReadText(CMemMapFile& map, std::string& strText,
                platform::Deadline deadline, Abandoned abandoned) {
  const CSegmentLock lock(map, deadline, abandoned);
  if (!lock.View()) return lock.Outcome();
  return CopyText(map, lock.View(), strText) ? lock.Outcome() : Access::Failed;
}

Access WriteText(CMemMapFile& map, const std::string& strText,
                 platform::Deadline deadline, Abandoned abandoned) {
  if (strText.size() >= Bytes(map)) return Access::Failed;
  const CSegmentLock lock(map, deadline, abandoned);
  if (!lock.View()) return lock.Outcome();
  return CopyTextWhole(map, lock.View(), strText) ? lock.Outcome()
                                                  : Access::Failed;
}

Access TakePath(CMemMapFile& map, std::string& strPath,
                platform::Deadline deadline) {
  strPath.clear();
  const CSegmentLock lock(map, deadline, Abandoned::Take);
  std::string strText;
  if (!lock.View()) return lock.Outcome();
  if (!CopyText(map, lock.View(), strText)) return Access::Failed;
  if (!IsPath(strText)) return lock.Outcome();
  static const char kNul = '\0';
  if (!Copy(map, lock.View(), &kNul, 1)) return Access::Failed;
  strPath = strText;
  return lock.Outcome();
}

SlotResult WriteSlot(CMemMapFile& map, const std::string& strText,
                     bool bReplace, std::string& strFound,
                     platform::Deadline deadline) {
  strFound.clear();
  if (strText.size() >= Bytes(map)) return SlotResult::Failed;
  const CSegmentLock lock(map, deadline, Abandoned::Refuse);
  if (!lock.View() || !CopyText(map, lock.View(), strFound)) {
    return SlotResult::Failed;
  }
  if (!bReplace && IsPath(strFound)) return SlotResult::Waiting;
  return CopyTextWhole(map, lock.View(), strText) ? SlotResult::Written
                                                  : SlotResult::Failed;
}

std::string Escape(const std::string& strText) {
  std::string strOut;
  for (const char c : strText) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      strOut += c;
    } else {
      char szHex[5];
      std::snprintf(szHex, sizeof szHex, "\\x%02X", byte);
      strOut += szHex;
    }
  }
  return strOut;
}

}  // namespace segments
