// The one interface between the program and the operating system. CMake builds
// it from platform/posix/ or platform/win32/; nothing outside platform/
// includes a system header of its own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#ifdef _WIN32
struct _SECURITY_ATTRIBUTES;
#endif

namespace platform {

#ifdef _WIN32
using SecurityAttributes = _SECURITY_ATTRIBUTES;
using Handle = void*;
#else
// Access rights of newly created objects; null stands for owner-only (0600).
struct SecurityAttributes {
  unsigned nMode;
};
using Handle = int;
#endif

// Characters whose presence marks a request as a file path.
extern const char kPathMarkers[];

// A named block of shared memory, backed by the paging file (Windows) or a
// shared-memory object (POSIX). Owns one system handle; not copyable.
class SharedMapping {
 public:
  SharedMapping() noexcept = default;
  ~SharedMapping() { Close(); }
  SharedMapping(SharedMapping&& other) noexcept;
  SharedMapping& operator=(SharedMapping&& other) noexcept;
  SharedMapping(const SharedMapping&) = delete;
  SharedMapping& operator=(const SharedMapping&) = delete;

  // Creates the named block of nSize zero bytes, or attaches to the existing
  // one of that name. pSecurity null: the system's default for new objects.
  // Returns false on failure and stays closed.
  bool Create(const std::string& strName, std::uint32_t nSize, bool bReadOnly,
              const SecurityAttributes* pSecurity);
  // Attaches to an existing block; false when there is none or on failure.
  bool Open(const std::string& strName, bool bReadOnly);
  // Maps nSize bytes from offset 0 into this process; null on failure.
  // Release the view with UnmapView before closing the mapping.
  void* MapView(std::uint32_t nSize, bool bReadOnly);

  bool IsOpen() const noexcept;
  void Close() noexcept;

 private:
  Handle m_hMapping = kNoHandle;
#ifdef _WIN32
  static constexpr Handle kNoHandle = nullptr;
#else
  static constexpr Handle kNoHandle = -1;
#endif
};

// Whether named objects outlive the last process that holds them (POSIX),
// rather than vanishing with its last handle (Windows).
#ifdef _WIN32
inline constexpr bool kNamesOutliveProcesses = false;
#else
inline constexpr bool kNamesOutliveProcesses = true;
#endif

// Removes a segment or mutex name, so that the next Create makes it anew.
// Does nothing where names do not outlive their users.
void removeName(const std::string& strName) noexcept;

// Writes a view back to its backing store; unmaps it. Both accept null.
void FlushView(void* pView, std::uint32_t nSize) noexcept;
void UnmapView(void* pView, std::uint32_t nSize) noexcept;

enum class WaitResult {
  Acquired,   // the mutex is now held by this thread
  Abandoned,  // held by this thread, but its previous holder died holding it
  TimedOut,   // another holder kept it past the time limit
  Failed,     // the mutex is unusable (not open, broken, or a system error)
};

// A named, recursive mutex shared between processes, owned by the thread that
// acquired it. A holder that dies leaves it abandoned to the next waiter.
class NamedMutex {
 public:
  NamedMutex() noexcept = default;
  ~NamedMutex() { Close(); }
  NamedMutex(NamedMutex&& other) noexcept;
  NamedMutex& operator=(NamedMutex&& other) noexcept;
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // Creates the named mutex, not owned, or attaches to the existing one.
  // Returns false on failure and stays closed.
  bool Create(const std::string& strName, const SecurityAttributes* pSecurity);
  // Waits at most nTimeoutMs milliseconds for the mutex.
  WaitResult Lock(std::uint32_t nTimeoutMs) noexcept;
  // Releases one hold; no effect when this thread does not hold the mutex.
  void Unlock() noexcept;

  bool IsOpen() const noexcept;
  // Releases every hold this object still has, then the name.
  void Close() noexcept;

 private:
#ifdef _WIN32
  Handle m_hMutex = nullptr;
#else
  struct MutexObject* m_pObject = nullptr;
  int m_nHeld = 0;
#endif
};

// Shows the user a message. Windows: a modal box with one OK button, returning
// when it is dismissed. POSIX: one line on standard error, no wait.
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
  bool m_bTextEnded = false;  // the end of the text was met, if only by a look
  bool m_bAtEnd = false;
};

}  // namespace platform
