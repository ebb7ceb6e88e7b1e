// The one interface between the program and the operating system. CMake builds
// it from platform/posix/ or platform/win32/, and puts that folder's
// native_handles.h (what each platform's objects hold, and its
// SecurityAttributes) on the include path; nothing outside platform/
// includes a system header of its own.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "native_handles.h"

namespace platform {

// Whether a text holds a character that marks it as a file path: ':' or '\\',
// on POSIX also '/'. Where the ANSI code page has double-byte characters
// (Windows), the text is read character by character, so that the second
// byte of one, which may be 0x5C, is never taken for a backslash.
bool hasPathMarker(const std::string& strText);

// The request: the program's first argument, exactly as its caller gave it.
// POSIX: argv[1] unchanged. Windows: the argument from the Unicode command
// line, split as the C runtime splits it, in the ANSI code page; false, with
// strProblem saying why, when that code page cannot hold it exactly. Without
// an argument the request is empty. nIgnored: how many arguments follow it.
bool requestArgument(int argc, char* argv[], std::string& strRequest,
                     int& nIgnored, std::string& strProblem);

// Readies a program's process, first thing in main: opens the null device on
// each of the standard descriptors 0, 1 and 2 that is closed, so that no
// named object can take one of them and receive the program's messages; and
// ignores SIGPIPE and SIGXFSZ, so that a write to a reader that has gone or
// past the file-size limit fails (EPIPE, EFBIG) instead of ending the run.
// Nothing to do on Windows.
void prepareProcess() noexcept;

// Writes one line (a line end is added) to standard error in one write, or
// drops it when the stream cannot take it at once (a full pipe nobody reads,
// a reader that has gone): no message may block or end a run.
void writeErrorLine(const std::string& strLine) noexcept;

// The moment a bounded wait ends, on the monotonic clock.
using Deadline = std::chrono::steady_clock::time_point;

inline Deadline deadlineAfter(std::uint32_t nMs) {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(nMs);
}

inline bool isPast(Deadline deadline) {
  return std::chrono::steady_clock::now() >= deadline;
}

// How long attaching waits, in all, for other processes that are making
// objects new (POSIX; Windows never waits to attach).
inline constexpr std::uint32_t kAttachWaitMs = 3000;

// Named objects live as long as some process holds them, as Windows kernel
// objects do: a process that attaches one holds it until it lets go or ends,
// however it ends, and the next process to attach a name nobody holds finds
// it new (zero bytes, an unowned mutex).
//
// Each object records why its last Create, Open, MapView or Lock failed:
// GetProblem() is then the system's text for the error, or what made an
// existing object unusable ("not used: it belongs to user 65534"). It stays
// empty when the name was only absent, or when a Lock found the mutex held
// or abandoned, which is a peer's state and no fault.
//
// Create and Open wait, until the deadline at most, for another process that
// is making the object new; an attach that need not wait succeeds after the
// deadline too.

// A named block of shared memory, backed by the paging file (Windows) or a
// shared-memory object (POSIX). Owns one system handle; not copyable.
class SharedMapping {
 public:
  SharedMapping() noexcept = default;
  ~SharedMapping() { Close(); }
  SharedMapping(SharedMapping&& other) noexcept { *this = std::move(other); }
  SharedMapping& operator=(SharedMapping&& other) noexcept {
    if (this != &other) {
      Close();
      m_handles = std::exchange(other.m_handles, MappingHandles());
      m_bMadeNew = other.m_bMadeNew;
      m_strProblem = std::move(other.m_strProblem);
    }
    return *this;
  }
  SharedMapping(const SharedMapping&) = delete;
  SharedMapping& operator=(const SharedMapping&) = delete;

  // Creates the named block of nSize zero bytes, or attaches to the existing
  // one of that name. pSecurity null: the system's default for new objects.
  // Returns false on failure and stays closed.
  bool Create(const std::string& strName, std::uint32_t nSize, bool bReadOnly,
              const SecurityAttributes* pSecurity, Deadline deadline);
  // Attaches to a block that another process holds; false when there is
  // none, which is no problem, or on failure.
  bool Open(const std::string& strName, std::uint32_t nSize, bool bReadOnly,
            Deadline deadline);
  // Maps nSize bytes from offset 0 into this process; null on failure.
  // Release the view with unmapView before closing the mapping.
  void* MapView(std::uint32_t nSize, bool bReadOnly);

  bool IsOpen() const noexcept;
  // Whether the last Create made the block new: no other process held it.
  bool WasMadeNew() const noexcept { return m_bMadeNew; }
  // Whether some other holder, in this process or another, holds the block
  // now (POSIX); on Windows, whether one did when it was attached.
  bool IsHeldElsewhere() const noexcept;
  // Lets go of the block. The problem recorded last stays readable.
  void Close() noexcept;
  const std::string& GetProblem() const noexcept { return m_strProblem; }

 private:
  MappingHandles m_handles;
  bool m_bMadeNew = false;
  std::string m_strProblem;
};

// Removes what a segment or mutex name left behind. Tidying only: a process
// that still holds the object keeps it, and newcomers then make another one.
// Does nothing where names leave nothing behind. Returns why it could not be
// removed; empty when it is gone or was never there.
std::string removeName(const std::string& strName);
// Removes the folder of this account's names (POSIX) once it holds nothing
// else. Returns why not; empty when it is gone, or holds other files still.
std::string removeNameFolder();

// Writes a view back to its backing store; unmaps it. Both accept null.
void flushView(void* pView, std::uint32_t nSize) noexcept;
void unmapView(void* pView, std::uint32_t nSize) noexcept;

// Copies nCount bytes to or from a view. false when a page of the view could
// not be read or written, and the copy stopped part-way: the object behind it
// was cut short by another process (POSIX; Windows: a file-backed one), or
// its pages are not committed, not accessible or could not be paged in
// (Windows). copyProblem() then says why.
bool copyView(void* pTo, const void* pFrom, std::size_t nCount) noexcept;
// Why the last copyView of this thread that failed did so.
std::string copyProblem();

enum class WaitResult {
  Acquired,   // the mutex is now held by this thread
  Abandoned,  // held by this thread, but its previous holder died holding it
  TimedOut,   // another holder kept it past the time limit
  Failed,     // the mutex is unusable (not open, corrupt, or a system error)
};

// A named, recursive mutex shared between processes, owned by the thread that
// acquired it. A holder that dies leaves it abandoned to the next waiter.
class NamedMutex {
 public:
  NamedMutex() noexcept = default;
  ~NamedMutex() { Close(); }
  NamedMutex(NamedMutex&& other) noexcept { *this = std::move(other); }
  NamedMutex& operator=(NamedMutex&& other) noexcept {
    if (this != &other) {
      Close();
      m_handles = std::exchange(other.m_handles, MutexHandles());
      m_strProblem = std::move(other.m_strProblem);
    }
    return *this;
  }
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // Creates the named mutex, not owned, or attaches to the existing one.
  // Returns false on failure and stays closed.
  bool Create(const std::string& strName, const SecurityAttributes* pSecurity,
              Deadline deadline = deadlineAfter(kAttachWaitMs));
  // Waits at most nTimeoutMs milliseconds for the mutex.
  WaitResult Lock(std::uint32_t nTimeoutMs);
  // Releases one hold; no effect when this thread does not hold the mutex.
  void Unlock() noexcept;

  bool IsOpen() const noexcept;
  // Releases every hold this object still has, then the name.
  void Close() noexcept;
  const std::string& GetProblem() const noexcept { return m_strProblem; }

 private:
  MutexHandles m_handles;
  std::string m_strProblem;
};

// Shows the user a message. Windows: a modal box with one OK button, returning
// when it is dismissed, where someone can see it; in a window station nobody
// sees (a service, a task in session 0), one line on standard error, no wait.
// POSIX: one line on standard error, no wait.
void showMessage(const std::string& strText);

// The host path of one of the program's built-in Windows paths. Windows: the
// path unchanged. POSIX: a path on drive C: is placed under $XVER_DRIVE_C (or
// the build's default when that is unset or empty), '\' turned into '/'.
std::string hostPath(const std::string& strWindowsPath);

// A read-only text stream of a regular file, read on every platform as the
// Windows runtime reads a file in text mode: CR LF reaches the reader as one
// LF (a lone CR stays), a NUL is an ordinary character, and the text ends at
// the first Ctrl-Z (byte 0x1A), after which nothing is read.
class TextFile {
 public:
  TextFile() noexcept = default;
  ~TextFile() { Close(); }
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // Opens a regular file for reading; false when it cannot be opened or is
  // not a regular file (a directory, a device, a pipe).
  bool Open(const std::string& strPath);
  // Why the last Open failed: the system's text, or "not a regular file".
  const std::string& GetProblem() const noexcept { return m_strProblem; }
  // fgets: stores at most nCount - 1 characters, stopping after a line feed,
  // and a NUL behind them. Returns how many characters it stored, NULs read
  // from the file included; 0 when nothing could be read.
  int Gets(char* pBuffer, int nCount) noexcept;
  // The end-of-file indicator: set by a read that ran into the end of the
  // text, the real end or a Ctrl-Z.
  bool AtEnd() const noexcept;
  void Close() noexcept;

 private:
  // The next byte of the text; EOF at its end or on a read error.
  int ReadByte() noexcept;

  std::FILE* m_pFile = nullptr;
  std::string m_strProblem;
  bool m_bTextEnded = false;  // the end of the text was met, if only by a look
  bool m_bAtEnd = false;
};

}  // namespace platform
