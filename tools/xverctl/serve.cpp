// serve: the stand-in transceiver-control process, on the library's C
// interface. It reports its status in "MM_XMITERSTATUS" and takes each path
// handed over in "MM_XMITPATH", as docs/ipc.md has the peer's side: a path
// waiting at start is taken, one found after an abandoned wait too, and at
// stop STOPPED is said before the slot is taken one last time.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "platform/platform.h"
#include "sharedmem/segment_access.h"
#include "tools/xverctl/xverctl.h"

namespace xverctl {

namespace {

// Often enough that a sender waiting for the path slot waits little.
constexpr auto kPollInterval = std::chrono::milliseconds(5);
// How long to rest between tries to attach what another process holds up.
constexpr auto kAttachRetryInterval = std::chrono::milliseconds(100);

volatile std::sig_atomic_t g_bStop = 0;

extern "C" void OnStopSignal(int) { g_bStop = 1; }

bool FileExists(const std::string& strPath) {
  std::error_code ec;
  return std::filesystem::exists(platform::hostPath(strPath), ec);
}

// The first segment of the suite that cannot be used, in words; "" when all
// seven can.
std::string FirstProblem(const xver_suite* pSuite) {
  for (int i = 0; i < XVER_SEGMENT_COUNT; ++i) {
    const std::string strProblem = xver_problem(pSuite, i);
    if (!strProblem.empty()) return strProblem;
  }
  return std::string();
}

class Server {
 public:
  ~Server() { xver_close(m_pSuite); }

  // Attaches all seven segments, trying again for as long as some cannot be
  // had, and saying once what it waits for; false when told to stop first.
  bool Attach() {
    std::string strSaid;
    while (!g_bStop) {
      xver_close(m_pSuite);
      m_pSuite = xver_open();
      if (!m_pSuite) {
        Fail("out of memory");
        return false;
      }
      const std::string strProblem = FirstProblem(m_pSuite);
      if (strProblem.empty()) return true;
      if (strProblem != strSaid) Fail("waiting for " + strProblem);
      strSaid = strProblem;
      std::this_thread::sleep_for(kAttachRetryInterval);
    }
    return false;
  }

  // Writes the status; a failure is reported and the server carries on.
  void Report(const std::string& strStatus) {
    const int nResult =
        xver_write(m_pSuite, XVER_MM_XMITERSTATUS, strStatus.c_str(), kWaitMs);
    if (nResult < 0) {
      Fail("could not write status " + strStatus + ": MM_XMITERSTATUS: " +
           Outcome(m_pSuite, XVER_MM_XMITERSTATUS, nResult));
    }
  }

  // Takes the path waiting in the slot, printing it; false when none waits.
  // A failure is reported once, until the next success or another failure.
  bool TakeWaiting() {
    char szPath[XVER_TEXT_MAX + 2];
    const int nResult = xver_take_path(m_pSuite, szPath, kWaitMs);
    if (nResult < 0) {
      const std::string strFailure =
          Outcome(m_pSuite, XVER_MM_XMITPATH, nResult);
      if (strFailure != m_strReported) Fail("MM_XMITPATH: " + strFailure);
      m_strReported = strFailure;
      return false;
    }
    m_strReported.clear();
    if (nResult == XVER_EMPTY) return false;
    std::printf("%s\t%s\n", segments::Escape(szPath).c_str(),
                FileExists(szPath) ? "file exists" : "no such file");
    std::fflush(stdout);
    return true;
  }

 private:
  xver_suite* m_pSuite = nullptr;
  std::string m_strReported;
};

}  // namespace

int Serve(const Args& args) {
  bool bOnce = false;
  bool bFixedStatus = false;
  std::string strFixedStatus;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--once") {
      bOnce = true;
    } else if (args[i] == "--status" && i + 1 < args.size() &&
               args[i + 1].size() <= XVER_TEXT_MAX) {
      bFixedStatus = true;
      strFixedStatus = args[++i];
    } else {
      return Usage("usage: xverctl serve [--once] [--status TEXT]");
    }
  }

  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
#ifdef SIGBREAK
  std::signal(SIGBREAK, OnStopSignal);  // Ctrl+Break in a Windows console
#endif
  Server server;
  if (!server.Attach()) {
    return Fail("stopped before it could attach all seven segments");
  }

  server.Report(bFixedStatus ? strFixedStatus : "STARTING");
  if (!bFixedStatus) server.Report("READY");
  // A path waiting already was handed over while nobody served: the first
  // look takes it.
  while (!g_bStop) {
    if (server.TakeWaiting()) {
      if (bOnce) break;
    } else {
      std::this_thread::sleep_for(kPollInterval);
    }
  }
  // Senders see STOPPED from here on; a path handed over before that is
  // taken, not left to go with this process's hold.
  server.Report("STOPPED");
  server.TakeWaiting();
  return 0;
}

}  // namespace xverctl
