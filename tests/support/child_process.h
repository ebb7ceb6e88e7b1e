// Starting other processes from tests: the test peer, and xversend itself.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

using Environment = std::vector<std::pair<std::string, std::string>>;

// What the bytes of a child's arguments are. Native: handed on as they are
// (POSIX), or text in the ANSI code page (Windows). Utf8: UTF-8 text, which a
// Windows child receives as Unicode, characters its code page lacks included.
enum class ArgText { Native, Utf8 };

// A child process whose standard output and error come back through pipes.
// Not copyable; the destructor kills a child that is still running.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts args[0] with the remaining arguments; env adds to (or replaces in)
  // this process's environment. false when the program could not be started.
  bool Start(const std::vector<std::string>& args, const Environment& env = {},
             ArgText text = ArgText::Native);
  // Blocks until the child writes a whole line to standard output; returns it
  // without its line end, or an empty text when the output ended first.
  std::string ReadLine();
  // Ends the child at once, as a crash would (SIGKILL, TerminateProcess).
  void Kill();
  // Asks the child to stop (SIGTERM). false where there is no such request.
  bool Interrupt();
  // Waits for the end; returns the exit status, or -1 when killed by a signal.
  // Collects what the child wrote that ReadLine did not take.
  int Wait();

  // The system's id of the child.
  int Pid() const;

  const std::string& Stdout() const { return m_strStdout; }
  const std::string& Stderr() const { return m_strStderr; }

 private:
  struct Impl;
  // Frees m_pImpl; defined beside Impl on each platform.
  void FreeImpl();
  Impl* m_pImpl = nullptr;
  std::string m_strStdout;
  std::string m_strStderr;
};

struct ProcessResult {
  int nExitCode = -1;
  std::string strStdout;
  std::string strStderr;
  double dSeconds = 0;  // wall time from start to end
};

// Where showMessage leaves its text in a child: true standard error (POSIX),
// false a message box (Windows).
extern const bool kMessageOnStderr;

// Sets a variable in this process's environment, inherited by children.
void SetEnvironment(const std::string& strName, const std::string& strValue);

// The id of this process.
int CurrentProcessId();

// Runs a program to its end.
ProcessResult RunProcess(const std::vector<std::string>& args,
                         const Environment& env = {},
                         ArgText text = ArgText::Native);

}  // namespace testsupport
