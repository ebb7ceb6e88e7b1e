#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>

extern char** environ;

namespace testsupport {

struct ChildProcess::Impl {
  pid_t pid = -1;
  int fdOut = -1;
  int fdErr = -1;
  std::string strPending;  // read from stdout, not yet taken by ReadLine
  int nStatus = -1;
  bool bReaped = false;
};

namespace {

std::vector<std::string> MergedEnvironment(const Environment& env) {
  std::map<std::string, std::string> merged;
  for (char** p = environ; *p; ++p) {
    const char* pszEq = std::strchr(*p, '=');
    if (pszEq) merged[std::string(*p, static_cast<std::size_t>(pszEq - *p))] = pszEq + 1;
  }
  for (const auto& [strKey, strValue] : env) merged[strKey] = strValue;
  std::vector<std::string> list;
  for (const auto& [strKey, strValue] : merged) list.push_back(strKey + "=" + strValue);
  return list;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> list;
  for (auto& str : strings) list.push_back(str.data());
  list.push_back(nullptr);
  return list;
}

// Appends what is readable now; false once the pipe has ended.
bool Drain(int fd, std::string& strInto) {
  char buffer[4096];
  const ssize_t n = read(fd, buffer, sizeof buffer);
  if (n > 0) strInto.append(buffer, static_cast<size_t>(n));
  return n > 0 || (n < 0 && errno == EINTR);
}

}  // namespace

void ChildProcess::FreeImpl() {
  delete m_pImpl;
  m_pImpl = nullptr;
}

// Arguments are bytes here, whatever their encoding.
bool ChildProcess::Start(const std::vector<std::string>& args,
                         const Environment& env, ArgText /*text*/) {
  if (m_pImpl || args.empty()) return false;
  int out[2];
  int err[2];
  // Close-on-exec, so children started at the same time from other threads
  // do not inherit each other's pipes; dup2 clears it on 1 and 2.
  if (pipe2(out, O_CLOEXEC) != 0) return false;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  std::vector<std::string> argStrings = args;
  std::vector<std::string> envStrings = MergedEnvironment(env);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, args[0].c_str(), &actions, nullptr,
                             Pointers(argStrings).data(), Pointers(envStrings).data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  if (rc != 0) {
    close(out[0]);
    close(err[0]);
    return false;
  }
  m_pImpl = new Impl;
  m_pImpl->pid = pid;
  m_pImpl->fdOut = out[0];
  m_pImpl->fdErr = err[0];
  return true;
}

std::string ChildProcess::ReadLine() {
  if (!m_pImpl) return std::string();
  std::string& strPending = m_pImpl->strPending;
  for (;;) {
    const size_t nEnd = strPending.find('\n');
    if (nEnd != std::string::npos) {
      std::string strLine = strPending.substr(0, nEnd);
      strPending.erase(0, nEnd + 1);
      return strLine;
    }
    if (m_pImpl->fdOut < 0 || !Drain(m_pImpl->fdOut, strPending)) return std::string();
  }
}

void ChildProcess::Kill() {
  if (m_pImpl && !m_pImpl->bReaped) kill(m_pImpl->pid, SIGKILL);
}

bool ChildProcess::Interrupt() {
  return m_pImpl && !m_pImpl->bReaped && kill(m_pImpl->pid, SIGTERM) == 0;
}

int ChildProcess::Pid() const { return m_pImpl ? static_cast<int>(m_pImpl->pid) : -1; }

int ChildProcess::Wait() {
  if (!m_pImpl) return -1;
  Impl& impl = *m_pImpl;
  // Read both pipes to their end so a chatty child cannot block on a full pipe.
  pollfd fds[2] = {{impl.fdOut, POLLIN, 0}, {impl.fdErr, POLLIN, 0}};
  std::string* targets[2] = {&impl.strPending, &m_strStderr};
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && fds[i].revents != 0 && !Drain(fds[i].fd, *targets[i])) {
        close(fds[i].fd);
        fds[i].fd = -1;
      }
    }
  }
  impl.fdOut = impl.fdErr = -1;
  m_strStdout += impl.strPending;
  impl.strPending.clear();
  if (!impl.bReaped) {
    int nStatus = 0;
    while (waitpid(impl.pid, &nStatus, 0) < 0 && errno == EINTR) {
    }
    impl.bReaped = true;
    impl.nStatus = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
  }
  return impl.nStatus;
}

void SetEnvironment(const std::string& strName, const std::string& strValue) {
  setenv(strName.c_str(), strValue.c_str(), 1);
}

const bool kMessageOnStderr = true;

int CurrentProcessId() { return static_cast<int>(getpid()); }

}  // namespace testsupport
