// The inspection and diagnosis commands: show, status, path, hold, remove.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/platform.h"
#include "sharedmem/segment_access.h"
#include "tools/xverctl/xverctl.h"

namespace xverctl {

std::string LockOutcome(const CMemMapFile& map) {
  switch (map.GetLastWait()) {
    case platform::WaitResult::Abandoned:
      return "abandoned: a process died holding its mutex (taken over now)";
    case platform::WaitResult::TimedOut:
      return "locked: another process held its mutex past 3000 ms";
    default:
      return map.GetProblem().empty() ? "not usable" : map.GetProblem();
  }
}

namespace {

int LockFailure(const CMemMapFile& map, const std::string& strName) {
  return Fail(strName + ": " + LockOutcome(map));
}

int WriteSegment(const char* pszCommand, const char* pszName,
                 const Args& args) {
  if (args.size() != 1)
    return Usage(std::string("usage: xverctl ") + pszCommand + " TEXT");
  if (args[0].size() >= segments::kSize) {
    return Usage("text too long: " + std::to_string(args[0].size()) +
                 " characters, a segment holds at most 200");
  }
  CMemMapFile map;
  const bool bHeldElsewhere = map.Open(pszName, segments::kSize, 0) != 0;
  if (!bHeldElsewhere && !AttachOrSay(map, pszName)) return 1;
  if (!segments::WriteText(map, args[0])) return LockFailure(map, pszName);
  if (!bHeldElsewhere) {
    std::fprintf(stderr,
                 "xverctl: note: no other process holds %s, so it goes with "
                 "this command\n",
                 pszName);
  }
  return 0;
}

}  // namespace

bool AttachOrSay(CMemMapFile& map, const std::string& strName) {
  if (segments::Attach(map, strName)) return true;
  Fail("cannot attach " + strName +
       (map.GetProblem().empty() ? "" : ": " + map.GetProblem()));
  return false;
}

int Fail(const std::string& strMessage) {
  segments::SayLine("xverctl: " + strMessage);
  return 1;
}

int Usage(const std::string& strMessage) {
  Fail(strMessage);
  return 2;
}

int Show(const Args& args) {
  if (!args.empty()) return Usage("usage: xverctl show");
  int nStatus = 0;
  for (const char* pszName : segments::kAll) {
    // Attaching only: a segment that no other process holds does not exist.
    CMemMapFile map;
    std::string strText;
    if (!map.Open(pszName, segments::kSize, 1)) {
      std::printf("%-20s %s\n", pszName,
                  map.GetProblem().empty() ? "absent: no process holds it"
                                           : map.GetProblem().c_str());
      if (!map.GetProblem().empty()) nStatus = 1;
    } else if (segments::ReadText(map, strText)) {
      std::printf("%-20s \"%s\"\n", pszName, segments::Escape(strText).c_str());
    } else {
      std::printf("%-20s %s\n", pszName, LockOutcome(map).c_str());
      nStatus = 1;
    }
  }
  return nStatus;
}

int WriteStatus(const Args& args) {
  return WriteSegment("status", segments::kXmitterStatus, args);
}

int WritePath(const Args& args) {
  return WriteSegment("path", segments::kXmitPath, args);
}

int Hold(const Args& args) {
  char* pszEnd = nullptr;
  const long nMs =
      args.size() == 2 ? std::strtol(args[1].c_str(), &pszEnd, 10) : -1;
  if (nMs < 0 || !pszEnd || *pszEnd != '\0')
    return Usage("usage: xverctl hold NAME MS");
  CMemMapFile map;
  if (!AttachOrSay(map, args[0])) return 1;
  if (!map.Lock()) {
    map.Unlock();
    return LockFailure(map, args[0]);
  }
  std::printf("holding %s for %ld ms\n", map.GetName().c_str(), nMs);
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::milliseconds(nMs));
  map.Unlock();
  return 0;
}

int Remove(const Args& args) {
  if (!args.empty()) return Usage("usage: xverctl remove");
  if (!platform::kNamesLeaveFiles) {
    return Usage("remove: named objects leave nothing behind here");
  }
  // Each reason once: a folder that may not be used stands in every way.
  std::vector<std::string> said;
  const auto say = [&said](const std::string& strWhat,
                           const std::string& strProblem) {
    if (strProblem.empty() ||
        std::find(said.begin(), said.end(), strProblem) != said.end()) {
      return;
    }
    said.push_back(strProblem);
    Fail(strWhat.empty() ? strProblem : strWhat + ": " + strProblem);
  };
  for (const char* pszName : segments::kAll) {
    for (const std::string& strName :
         {std::string(pszName), std::string(pszName) + "MUTEX"}) {
      say(strName, platform::removeName(strName));
    }
  }
  say("", platform::removeNameFolder());
  const int nStatus = said.empty() ? 0 : 1;
  return nStatus;
}

}  // namespace xverctl
