// A peer process for cross-process tests. It reports progress as lines on
// standard output and its outcome through the exit status (0 success).
//
//   hold NAME MS         lock NAME's mutex, say "locked", hold it MS ms, release
//   abandon NAME         lock NAME's mutex, say "locked", exit without releasing
//   wait-abandon NAME    as abandon, but first wait for a line on stdin
//   write NAME TEXT      write TEXT with its NUL at the start of segment NAME
//   fill NAME BYTE       fill all 201 bytes of NAME with BYTE (a number)
//   read NAME            print the text at the start of segment NAME
//   attach AT_MS NAME... at system-clock time AT_MS (ms since the epoch)
//                        attach or create each NAME, then lock and unlock it
//   keep STATUS          attach the seven system segments, write STATUS to
//                        "MM_XMITERSTATUS", say "ready", and keep them until
//                        stdin ends; then print the text of "MM_XMITPATH"
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "sharedmem/mem_map_file.h"

namespace {

constexpr std::uint32_t kSize = 201;

const char* const kSystemNames[] = {
    "MMFLG_PCRESET",   "MMFLG_TIMEPOSVALID", "MM_XBTTIMEPOS", "MM_XMITPATH",
    "MM_XMITERSTATUS", "MM_SHIPSPEEDDIR",    "MM_XBTFROMXVER"};

bool Attach(CMemMapFile& map, const std::string& strName) {
  return map.Open(strName, kSize, 0) || map.Create(strName, kSize, 0, nullptr);
}

void Say(const char* pszLine) {
  std::printf("%s\n", pszLine);
  std::fflush(stdout);
}

bool Write(CMemMapFile& map, const void* pBytes, std::size_t nCount) {
  void* pView = map.Lock();
  if (pView) std::memcpy(pView, pBytes, nCount);
  map.Unlock();
  return pView != nullptr;
}

std::string Read(CMemMapFile& map) {
  std::string strText;
  if (const char* pView = static_cast<const char*>(map.Lock())) {
    strText.assign(pView, strnlen(pView, kSize));
  }
  map.Unlock();
  return strText;
}

int LockAndLeave(const std::string& strName, bool bWaitForInput) {
  CMemMapFile map;
  if (!Attach(map, strName) || !map.Lock()) return 1;
  Say("locked");
  if (bWaitForInput) std::getchar();
  std::_Exit(0);  // no destructors: the mutex stays locked by a dead process
}

int Keep(const std::string& strStatus) {
  static CMemMapFile maps[7];
  for (int i = 0; i < 7; ++i) {
    if (!Attach(maps[i], kSystemNames[i])) return 1;
  }
  if (!Write(maps[4], strStatus.c_str(), strStatus.size() + 1)) return 1;
  Say("ready");
  while (std::getchar() != EOF) {
  }
  std::printf("%s\n", Read(maps[3]).c_str());
  return 0;
}

int AttachAt(long long nAtMs, int argc, char** argv) {
  using namespace std::chrono;
  std::this_thread::sleep_until(system_clock::time_point(milliseconds(nAtMs)));
  CMemMapFile maps[16];
  if (argc > 16) return 2;
  for (int i = 0; i < argc; ++i) {
    if (!Attach(maps[i], argv[i]) || !maps[i].Lock()) return 1;
    maps[i].Unlock();
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string strMode = argv[1];
  const std::string strName = argv[2];
  if (strMode == "attach") return AttachAt(std::atoll(argv[2]), argc - 3, argv + 3);
  if (strMode == "keep") return Keep(strName);
  if (strMode == "abandon") return LockAndLeave(strName, false);
  if (strMode == "wait-abandon") return LockAndLeave(strName, true);

  CMemMapFile map;
  if (!Attach(map, strName)) return 1;
  if (strMode == "hold" && argc == 4) {
    if (!map.Lock()) return 1;
    Say("locked");
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(argv[3])));
    map.Unlock();
    return 0;
  }
  if (strMode == "write" && argc == 4) {
    return Write(map, argv[3], std::strlen(argv[3]) + 1) ? 0 : 1;
  }
  if (strMode == "fill" && argc == 4) {
    char bytes[kSize];
    std::memset(bytes, std::atoi(argv[3]), kSize);
    return Write(map, bytes, kSize) ? 0 : 1;
  }
  if (strMode == "read") {
    std::printf("%s\n", Read(map).c_str());
    return 0;
  }
  return 2;
}
