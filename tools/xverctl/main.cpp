#include <cstdio>
#include <cstring>

#include "sharedmem/segment_access.h"
#include "tools/xverctl/xverctl.h"

namespace {

const char kUsage[] =
    "usage: xverctl COMMAND [ARGS]\n"
    "\n"
    "  serve [--once] [--status TEXT]\n"
    "        stand in for the transceiver-control process: report STARTING,\n"
    "        then READY, and take each path written to MM_XMITPATH, printing\n"
    "        it with whether the file exists. --once: exit after one path.\n"
    "        --status TEXT: report TEXT throughout. Ctrl+C or SIGTERM\n"
    "        stops it, leaving STOPPED in MM_XMITERSTATUS.\n"
    "  show            print the text of each segment that a process holds,\n"
    "                  or that no process holds it\n"
    "  status TEXT     write TEXT to MM_XMITERSTATUS\n"
    "  path TEXT       write TEXT to MM_XMITPATH\n"
    "  hold NAME MS    hold segment NAME's mutex for MS milliseconds\n"
    "  remove          delete the seven segments and their mutexes (POSIX)\n"
    "  --version       print the version\n"
    "\n"
    "Every segment access waits at most 3000 ms for the segment's mutex; a\n"
    "mutex held longer or abandoned by a dead holder is reported and gives\n"
    "exit status 1. Wrong use gives exit status 2.\n";

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
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::puts("xverctl " XVER_VERSION);
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
