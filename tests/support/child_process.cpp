#include "support/child_process.h"

#include <chrono>

namespace testsupport {

ChildProcess::~ChildProcess() {
  if (!m_pImpl) return;
  Kill();
  Wait();
  FreeImpl();
}

ProcessResult RunProcess(const std::vector<std::string>& args,
                         const Environment& env, ArgText text) {
  ProcessResult result;
  ChildProcess child;
  const auto start = std::chrono::steady_clock::now();
  if (!child.Start(args, env, text)) return result;
  result.nExitCode = child.Wait();
  result.dSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.strStdout = child.Stdout();
  result.strStderr = child.Stderr();
  return result;
}

}  // namespace testsupport
