#include "sharedmem/segment_access.h"

#include <cstring>

namespace segments {

bool Attach(CMemMapFile& map, const std::string& strName) {
  return map.Open(strName, kSize, 0) || map.Create(strName, kSize, 0, nullptr);
}

bool ReadText(CMemMapFile& map, std::string& strText) {
  const auto* pszView = static_cast<const char*>(map.Lock());
  if (pszView) strText.assign(pszView, strnlen(pszView, map.GetSize()));
  map.Unlock();  // also after a failed Lock: an abandoned mutex is ours now
  return pszView != nullptr;
}

bool WriteBytes(CMemMapFile& map, const void* pBytes, std::size_t nCount) {
  void* pView = nCount <= map.GetSize() ? map.Lock() : nullptr;
  if (pView) std::memcpy(pView, pBytes, nCount);
  map.Unlock();
  return pView != nullptr;
}

}  // namespace segments
