// The inspection and diagnosis commands: show, status, path, hold, remove.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "platform/platform.h"
#include "sharedmem/messages.h"
#include "sharedmem/segment_access.h"
#include "tools/xverctl/xverctl.h"

namespace xverctl {

namespace {

using Suite = std::unique_ptr<xver_suite, void (*)(xver_suite*)>;

Suite OpenSuite() { return Suite(xver_open(), xver_close); }

int WriteSegment(const char* pszCommand, int nSegment, const Args& args) {
  if (args.size() != 1) {
    return Usage(std::string("usage: xverctl ") + pszCommand + " TEXT");
  }
  if (args[0].size() > XVER_TEXT_MAX) {
    return Usage("text too long: " + std::to_string(args[0].size()) +
                 " characters, a segment holds at most " +
                 std::to_string(XVER_TEXT_MAX));
  }
  const Suite suite = OpenSuite();
  if (!suite) return Fail("out of memory");
  const int nResult =
      xver_write(suite.get(), nSegment, args[0].c_str(), kWaitMs);
  if (nResult < 0) {
    return Fail(std::string(xver_segment_name(nSegment)) + ": " +
                Outcome(suite.get(), nSegment, nResult));
  }
  if (xver_made_new(suite.get(), nSegment)) {
    Fail(std::string("note: no other process holds ") +
         xver_segment_name(nSegment) + ", so it goes with this command");
  }
  return 0;
}

// The segment a name given to hold means: one of the seven, or its mutex,
// in any letter case, '\' for '_'; -1 for any other.
int SegmentNamed(const std::string& strName) {
  std::string strMapName = CMemMapFile::MakeMapName(strName);
  const std::string strMutex = "MUTEX";
  for (int i = 0; i < XVER_SEGMENT_COUNT; ++i) {
    const std::string strSegment = xver_segment_name(i);
    if (strMapName == strSegment || strMapName == strSegment + strMutex) {
      return i;
    }
  }
  return -1;
}

}  // namespace

std::string Outcome(const xver_suite* pSuite, int nSegment, int nResult) {
  if (nResult == XVER_TIMEOUT) return messages::HeldPast(kWaitMs);
  const std::string strProblem = xver_problem(pSuite, nSegment);
  return strProblem.empty() ? "not usable" : strProblem;
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
  const Suite suite = OpenSuite();
  if (!suite) return Fail("out of memory");
  int nStatus = 0;
  for (int i = 0; i < XVER_SEGMENT_COUNT; ++i) {
    const char* pszName = xver_segment_name(i);
    const std::string strProblem = xver_problem(suite.get(), i);
    char szText[XVER_TEXT_MAX + 2];
    int nResult = XVER_UNUSABLE;
    if (!strProblem.empty()) {
      std::printf("%-20s %s\n", pszName, strProblem.c_str());
      nStatus = 1;
    } else if (xver_made_new(suite.get(), i)) {
      // Nobody else held it: it did not exist, and ends with this look.
      std::printf("%-20s %s\n", pszName, messages::Absent().c_str());
    } else if ((nResult = xver_read(suite.get(), i, szText, kWaitMs)) >= 0) {
      std::printf("%-20s \"%s\"%s\n", pszName, segments::Escape(szText).c_str(),
                  nResult == XVER_ABANDONED
                      ? ("  " + messages::Abandoned()).c_str()
                      : "");
      if (nResult == XVER_ABANDONED) nStatus = 1;
    } else {
      std::printf("%-20s %s\n", pszName,
                  Outcome(suite.get(), i, nResult).c_str());
      nStatus = 1;
    }
  }
  return nStatus;
}

int WriteStatus(const Args& args) {
  return WriteSegment("status", XVER_MM_XMITERSTATUS, args);
}

int WritePath(const Args& args) {
  return WriteSegment("path", XVER_MM_XMITPATH, args);
}

int Hold(const Args& args) {
  char* pszEnd = nullptr;
  const long nMs =
      args.size() == 2 ? std::strtol(args[1].c_str(), &pszEnd, 10) : -1;
  const int nSegment = args.size() == 2 ? SegmentNamed(args[0]) : -1;
  if (nMs < 0 || !pszEnd || *pszEnd != '\0' || nSegment < 0) {
    return Usage(
        "usage: xverctl hold NAME MS, NAME one of the seven segments or its "
        "mutex");
  }
  const Suite suite = OpenSuite();
  if (!suite) return Fail("out of memory");
  const char* pszName = xver_segment_name(nSegment);
  const int nResult = xver_lock(suite.get(), nSegment, kWaitMs);
  if (nResult < 0) {
    return Fail(std::string(pszName) + ": " +
                Outcome(suite.get(), nSegment, nResult));
  }
  std::printf("holding %s for %ld ms\n", pszName, nMs);
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::milliseconds(nMs));
  xver_unlock(suite.get(), nSegment);
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
  for (const char* pszName : segments::kNames) {
    for (const std::string& strName :
         {std::string(pszName), std::string(pszName) + "MUTEX"}) {
      say(strName, platform::removeName(strName));
    }
  }
  say("", platform::removeNameFolder());
  return said.empty() ? 0 : 1;
}

}  // namespace xverctl
