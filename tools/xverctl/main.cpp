#include <cstdio>
#include <cstring>
#include <string>

#include "sharedmem/segment_access.h"
#include "tools/xverctl/xverctl.h"

namespace {

const char kUsage[] =
    "usage: xverctl COMMAND [ARGS]\n"
    "\n"
    "  serve [--once] [--status TEXT]\n"
    "        stand in for the transceiver-control process: report STARTING,\n"
    "        then READY, and take each path handed over in MM_XMITPATH,\n"
    "        printing it with whether the file exists. --once: stop after\n"
    "        one path. --status TEXT: report TEXT throughout. Ctrl+C,\n"
    "        Ctrl+Break or SIGTERM stops it: STOPPED in MM_XMITERSTATUS,\n"
    "        then what waits in the slot is taken.\n"
    "  show            print the text of each segment that a process holds,\n"
    "                  or that no process holds it\n"
    "  status TEXT     write TEXT to MM_XMITERSTATUS\n"
    "  path TEXT       write TEXT to MM_XMITPATH\n"
    "  hold NAME MS    hold the mutex of segment NAME (one of the seven, or\n"
    "                  its mutex's name) for MS milliseconds\n"
    "  remove          delete the account's segments, mutexes and their\n"
    "                  folder (POSIX)\n"
    "  --version       print the version\n"
    "\n";

// The rule every command keeps, from the wait it uses.
std::string Rules() {
  return "Every segment access waits at most " +
         std::to_string(xverctl::kWaitMs) +
         " ms for the segment's mutex; a\n"
         "mutex held longer or abandoned by a dead holder is reported and "
         "gives\nexit status 1. Wrong use gives exit status 2.\n";
}

struct Command {
  const char* pszName;
  int (*pRun)(const xverctl::Args&);
};

const Command kCommands[] = {
    {"serve", xverctl::Serve},        {"show", xverctl::Show},
    {"status", xverctl::WriteStatus}, {"path", xverctl::WritePath},
    {"hold", xverctl::Hold},          {"remove", xverctl::Remove},
};

}  // namespace

int main(int argc, char* argv[]) {
  segments::PrepareProcess();
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 ||
      std::strcmp(argv[1], "-h") == 0) {
    std::FILE* pOut = argc < 2 ? stderr : stdout;
    std::fputs(kUsage, pOut);
    std::fputs(Rules().c_str(), pOut);
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("xverctl %s\n", xver_version());
    return 0;
  }
  for (const Command& command : kCommands) {
    if (std::strcmp(argv[1], command.pszName) == 0) {
      return command.pRun(xverctl::Args(argv + 2, argv + argc));
    }
  }
  std::fprintf(stderr, "xverctl: unknown command '%s' (see xverctl --help)\n",
               argv[1]);
  return 2;
}
