// A sender that dies part-way through writing a text into a segment, as if
// killed at that point: its copies into the segment stop after BYTES bytes
// in all, and the process ends at once (exit status 9), holding the mutex.
//
//   xver_torn_writer NAME TEXT BYTES
//
// It stands in for the platform's guarded copy only, so the write it cuts
// short is the program's own. Exit status 0: BYTES were enough.
#include <cstdlib>
#include <cstring>

#include "sharedmem/segment_access.h"

namespace {

std::size_t g_nBytesLeft = 0;

}  // namespace

namespace platform {

bool copyView(void* pTo, const void* pFrom, std::size_t nCount) noexcept {
  const std::size_t nCopied = nCount < g_nBytesLeft ? nCount : g_nBytesLeft;
  std::memcpy(pTo, pFrom, nCopied);
  g_nBytesLeft -= nCopied;
  if (nCopied < nCount) std::_Exit(9);
  return true;
}

// With copyView, so that the platform's own copy is not linked beside it.
std::string copyProblem() { return "never: the copy ends the process"; }

}  // namespace platform

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  CMemMapFile map;
  if (!segments::Attach(map, argv[1])) return 1;
  g_nBytesLeft = std::strtoul(argv[3], nullptr, 10);
  return segments::WriteText(map, argv[2]) == segments::Access::Done ? 0 : 1;
}
