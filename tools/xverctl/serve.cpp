// serve: the stand-in transceiver-control process. It reports its status in
// "MM_XMITERSTATUS" and takes each path written to "MM_XMITPATH".
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

volatile std::sig_atomic_t g_bStop = 0;

extern "C" void OnStopSignal(int) { g_bStop = 1; }

bool FileExists(const std::string& strPath) {
  std::error_code ec;
  return std::filesystem::exists(platform::hostPath(strPath), ec);
}

// How long to rest between tries to attach what another process holds up.
constexpr auto kAttachRetryInterval = std::chrono::milliseconds(100);

void PrintTaken(const std::string& strPath) {
  std::printf("%s\t%s\n", segments::Escape(strPath).c_str(),
              FileExists(strPath) ? "file exists" : "no such file");
  std::fflush(stdout);
}

class Server {
 public:
  // Attaches all seven segments, trying again for as long as some cannot be
  // had, and saying once what it waits for; false when told to stop first.
  bool Attach() {
    std::string strSaid;
    while (!g_bStop) {
      std::string strMissing;
      for (int i = 0; i < 7; ++i) {
        if (!m_bAttached[i]) {
          m_bAttached[i] = segments::Attach(m_maps[i], segments::kAll[i]);
        }
        if (!m_bAttached[i] && strMissing.empty()) {
          strMissing = m_maps[i].GetProblem().empty() ? segments::kAll[i]
                                                      : m_maps[i].GetProblem();
        }
      }
      if (strMissing.empty()) return true;
      if (strMissing != strSaid) Fail("waiting for " + strMissing);
      strSaid = strMissing;
      std::this_thread::sleep_for(kAttachRetryInterval);
    }
    return false;
  }

  // Writes the status; a failure is reported and the server carries on.
  void Report(const std::string& strStatus) {
    if (!segments::WriteText(Status(), strStatus)) {
      Fail("could not write status " + strStatus +
           ": MM_XMITERSTATUS: " + LockOutcome(Status()));
    }
  }

  // Waits for the next path; false when told to stop first. A lock failure
  // is reported once, until the next success or a different failure.
  bool NextPath(std::string& strPath) {
    std::string strReported;
    while (!g_bStop) {
      // Read and cleared under one lock: no sender writes in between.
      if (!segments::TakeText(Path(), strPath)) {
        const std::string strFailure = LockOutcome(Path());
        if (strFailure != strReported) Fail("MM_XMITPATH: " + strFailure);
        strReported = strFailure;
      } else if (!strPath.empty()) {
        return true;
      } else {
        strReported.clear();
      }
      std::this_thread::sleep_for(kPollInterval);
    }
    return false;
  }

  CMemMapFile& Path() { return m_maps[3]; }

 private:
  CMemMapFile& Status() { return m_maps[4]; }

  CMemMapFile m_maps[7];
  bool m_bAttached[7] = {};
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
               args[i + 1].size() < segments::kSize) {
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
  if (!server.Attach())
    return Fail("stopped before it could attach all seven segments");

  server.Report(bFixedStatus ? strFixedStatus : "STARTING");
  if (!bFixedStatus) server.Report("READY");
  std::string strPath;
  while (server.NextPath(strPath)) {
    PrintTaken(strPath);
    if (bOnce) break;
  }
  // Senders see STOPPED from here on; a path handed over before that is
  // taken, not left to go with this process's hold.
  server.Report("STOPPED");
  if (segments::TakeText(server.Path(), strPath) && !strPath.empty()) {
    PrintTaken(strPath);
  }
  return 0;
}

}  // namespace xverctl
