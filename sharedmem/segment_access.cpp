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
  if (platform::CopyView(pTo, pFrom, nCount)) return true;
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

bool ReadText(CMemMapFile& map, std::string& strText) {
  const void* pView = map.Lock();
  const bool bRead = pView && CopyText(map, pView, strText);
  map.Unlock();  // also after a failed Lock: an abandoned mutex is ours now
  return bRead;
}

bool TakeText(CMemMapFile& map, std::string& strText) {
  void* pView = map.Lock();
  bool bTaken = pView && CopyText(map, pView, strText);
  if (bTaken && !strText.empty()) {
    static const char kZeros[kSize] = {};
    bTaken = Copy(map, pView, kZeros, Bytes(map));
  }
  map.Unlock();
  return bTaken;
}

bool WriteText(CMemMapFile& map, const std::string& strText) {
  void* pView = strText.size() < Bytes(map) ? map.Lock() : nullptr;
  const bool bWritten = pView && CopyTextWhole(map, pView, strText);
  map.Unlock();
  return bWritten;
}

SlotResult WriteTextIfFree(CMemMapFile& map, const std::string& strText,
                           std::string& strWaiting,
                           platform::Deadline deadline) {
  void* pView = strText.size() < Bytes(map) ? map.LockUntil(deadline) : nullptr;
  SlotResult result = SlotResult::Failed;
  if (pView && CopyText(map, pView, strWaiting)) {
    if (IsPath(strWaiting)) {
      result = SlotResult::Waiting;
    } else if (CopyTextWhole(map, pView, strText)) {
      result = SlotResult::Written;
    }
  }
  map.Unlock();
  return result;
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
