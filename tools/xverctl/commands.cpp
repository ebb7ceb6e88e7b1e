// The inspection and diagnosis commands: show, status, path, hold, remove.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/platform.h"
#include "sharedmem/segment_access.h"
#include "tools/xverctl/xverctl.h"

namespace xverctl {

namespace {

int LockFailure(const std::string& strName) {
  return Fail("could not lock " + strName +
              " within 3000 ms: another process holds it, or one died holding it");
}

int WriteSegment(const char* pszCommand, const char* pszName, const Args& args) {
  if (args.size() != 1) return Usage(std::string("usage: xverctl ") + pszCommand + " TEXT");
  if (args[0].size() >= segments::kSize) {
    return Usage("text too long: " + std::to_string(args[0].size()) +
                 " characters, a segment holds at most 200");
  }
  CMemMapFile map;
  if (!segments::Attach(map, pszName)) return Fail(std::string("cannot attach ") + pszName);
  return segments::WriteText(map, args[0]) ? 0 : LockFailure(pszName);
}

}  // namespace

int Fail(const std::string& strMessage) {
  std::fprintf(stderr, "xverctl: %s\n", strMessage.c_str());
  return 1;
}

int Usage(const std::string& strMessage) {
  Fail(strMessage);
  return 2;
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

int Show(const Args& args) {
  if (!args.empty()) return Usage("usage: xverctl show");
  int nStatus = 0;
  for (const char* pszName : segments::kAll) {
    CMemMapFile map;
    std::string strText;
    if (!map.Open(pszName, segments::kSize, 1)) {
      std::printf("%-20s absent\n", pszName);
    } else if (segments::ReadText(map, strText)) {
      std::printf("%-20s \"%s\"\n", pszName, Escape(strText).c_str());
    } else {
      std::printf("%-20s locked\n", pszName);
      nStatus = LockFailure(pszName);
    }
  }
  return nStatus;
}

int WriteStatus(const Args& args) {
  return WriteSegment("status", segments::kXmitterStatus, args);
}

int WritePath(const Args& args) { return WriteSegment("path", segments::kXmitPath, args); }

int Hold(const Args& args) {
  char* pszEnd = nullptr;
  const long nMs = args.size() == 2 ? std::strtol(args[1].c_str(), &pszEnd, 10) : -1;
  if (nMs < 0 || !pszEnd || *pszEnd != '\0') return Usage("usage: xverctl hold NAME MS");
  CMemMapFile map;
  if (!segments::Attach(map, args[0])) return Fail("cannot attach " + args[0]);
  if (!map.Lock()) {
    map.Unlock();
    return LockFailure(args[0]);
  }
  std::printf("holding %s for %ld ms\n", map.GetName().c_str(), nMs);
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::milliseconds(nMs));
  map.Unlock();
  return 0;
}

int Remove(const Args& args) {
  if (!args.empty()) return Usage("usage: xverctl remove");
  if (!platform::kNamesOutliveProcesses) {
    return Usage("remove: named objects vanish here with their last handle");
  }
  for (const char* pszName : segments::kAll) {
    platform::removeName(pszName);
    platform::removeName(std::string(pszName) + "MUTEX");
  }
  return 0;
}

}  // namespace xverctl
