// A peer process for cross-process tests. It reports progress as lines on
// standard output and its outcome through the exit status (0 success).
//
//   hold NAME MS         lock NAME's mutex, say "locked", hold it MS ms, release
//   abandon NAME         lock NAME's mutex, say "locked", exit without releasing
//   attach AT_MS NAME... at system-clock time AT_MS (ms since the epoch)
//                        attach or create each NAME, then lock and unlock it
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "sharedmem/segment_access.h"

namespace {

void Say(const char* pszLine) {
  std::printf("%s\n", pszLine);
  std::fflush(stdout);
}

segments::CSegmentLock Locked(CMemMapFile& map) {
  return segments::CSegmentLock(map, segments::LockDeadline(), segments::Abandoned::Refuse);
}

int AttachAt(long long nAtMs, int argc, char** argv) {
  using namespace std::chrono;
  std::this_thread::sleep_until(system_clock::time_point(milliseconds(nAtMs)));
  for (int i = 0; i < argc; ++i) {
    CMemMapFile map;
    if (!segments::Attach(map, argv[i]) || !Locked(map).View()) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string strMode = argv[1];
  if (strMode == "attach") return AttachAt(std::atoll(argv[2]), argc - 3, argv + 3);

  CMemMapFile map;
  if (!segments::Attach(map, argv[2])) return 1;
  const segments::CSegmentLock lock = Locked(map);
  if (!lock.View()) return 1;
  if (strMode == "hold" && argc == 4) {
    Say("locked");
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(argv[3])));
    return 0;
  }
  if (strMode == "abandon") {
    Say("locked");
    std::_Exit(0);  // no destructors: the mutex stays locked by a dead process
  }
  return 2;
}
