#include "sharedmem/segment_access.h"

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

}  // namespace

void KeepStandardStreams() { platform::openStandardStreams(); }

bool RequestArgument(int argc, char* argv[], std::string& strRequest,
                     int& nIgnored, std::string& strProblem) {
  return platform::requestArgument(argc, argv, strRequest, nIgnored,
                                   strProblem);
}

bool IsPath(const std::string& strText) {
  return platform::hasPathMarker(strText);
}

bool Attach(CMemMapFile& map, const std::string& strName) {
  return map.Open(strName, kSize, 0) || map.Create(strName, kSize, 0, nullptr);
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

bool WriteBytes(CMemMapFile& map, const void* pBytes, std::size_t nCount) {
  void* pView = nCount <= map.GetSize() ? map.Lock() : nullptr;
  const bool bWritten = pView && Copy(map, pView, pBytes, nCount);
  map.Unlock();
  return bWritten;
}

SlotResult WriteTextIfFree(CMemMapFile& map, const std::string& strText,
                           std::string& strWaiting) {
  void* pView = strText.size() < Bytes(map) ? map.Lock() : nullptr;
  SlotResult result = SlotResult::Failed;
  if (pView && CopyText(map, pView, strWaiting)) {
    if (IsPath(strWaiting)) {
      result = SlotResult::Waiting;
    } else if (Copy(map, pView, strText.c_str(), strText.size() + 1)) {
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
