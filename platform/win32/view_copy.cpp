// A view of a paging-file mapping keeps its size while it is mapped.
#include <cstring>

#include "platform/platform.h"

namespace platform {

bool CopyView(void* pTo, const void* pFrom, std::size_t nCount) noexcept {
  std::memcpy(pTo, pFrom, nCount);
  return true;
}

}  // namespace platform
