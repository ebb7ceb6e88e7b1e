// The suite's segments by name, and whole accesses to a segment's bytes,
// each one hold of its mutex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sharedmem/mem_map_file.h"

namespace segments {

inline constexpr std::uint32_t kSize = 201;

// The seven segments, in the order start-up attaches them.
enum class Id {
  PcReset,
  TimePosValid,
  XbtTimePos,
  XmitPath,
  XmitterStatus,
  ShipSpeedDir,
  XbtFromXver
};
inline constexpr int kCount = 7;

// Their names, in the same order.
inline constexpr const char* kNames[kCount] = {
    "MMFLG_PCRESET",   "MMFLG_TIMEPOSVALID", "MM_XBTTIMEPOS", "MM_XMITPATH",
    "MM_XMITERSTATUS", "MM_SHIPSPEEDDIR",    "MM_XBTFROMXVER"};

constexpr const char* Name(Id id) { return kNames[static_cast<int>(id)]; }

inline constexpr const char* kXmitPath = Name(Id::XmitPath);
inline constexpr const char* kXmitterStatus = Name(Id::XmitterStatus);

// Readies the process for segments and messages: call first thing in main.
// Keeps segments off the standard descriptors 0, 1 and 2, which a launcher
// may have left closed, and makes writes to a reader that has gone fail
// instead of ending the run.
void PrepareProcess();

// Writes one line to standard error, or drops it when the stream cannot take
// it at once: no message blocks or ends a run.
void SayLine(const std::string& strLine);

// The request from the program's arguments, exactly as its caller gave it;
// false, with strProblem saying why, when it cannot be had whole (see
// platform::requestArgument).
bool RequestArgument(int argc, char* argv[], std::string& strRequest,
                     int& nIgnored, std::string& strProblem);

// Whether a text is a file path: it holds a colon or a backslash (on POSIX
// hosts also '/'), read character by character in a double-byte code page.
// A path request waits for "READY"; a bare word does not.
bool IsPath(const std::string& strText);

// Attaches to the named segment, or creates it when no process has. Waits
// until the deadline at most for other processes making it new.
bool Attach(CMemMapFile& map, const std::string& strName,
            platform::Deadline deadline =
                platform::deadlineAfter(platform::kAttachWaitMs));

// What an access does when its wait for the mutex ends because the mutex's
// holder died: xversend refuses the access, as the system has it; the
// library takes it, since every text is written whole (see WriteText).
enum class Abandoned { Refuse, Take };

// How one access ended.
enum class Access {
  Done,
  DoneAbandoned,  // done; the mutex's previous holder had died
  Refused,        // the holder had died, and Abandoned::Refuse: not done
  TimedOut,       // another process held the mutex past the deadline
  Failed,         // not attached, the mutex unusable, or the pages could not
                  // be read or written (GetProblem says which)
};

inline bool IsDone(Access access) {
  return access == Access::Done || access == Access::DoneAbandoned;
}

// A segment's mutex, held for one access and released when this goes.
class CSegmentLock {
 public:
  CSegmentLock(CMemMapFile& map, platform::Deadline deadline,
               Abandoned abandoned);
  ~CSegmentLock() { m_map.Unlock(); }
  CSegmentLock(const CSegmentLock&) = delete;
  CSegmentLock& operator=(const CSegmentLock&) = delete;

  // The view while the access may go on; null otherwise.
  void* View() const { return m_pView; }
  // How the wait ended, as the access's result.
  Access Outcome() const;

 private:
  CMemMapFile& m_map;
  void* m_pView;
};

// Every access below waits until the deadline at most, xversend's 3000 ms
// unless the caller says else.
inline platform::Deadline LockDeadline() {
  return platform::deadlineAfter(CMemMapFile::kLockTimeoutMs);
}

// The NUL-terminated text at the start of the segment; a segment without a
// NUL gives all its bytes. strText is untouched unless the access was done.
Access ReadText(CMemMapFile& map, std::string& strText,
                platform::Deadline deadline = LockDeadline(),
                Abandoned abandoned = Abandoned::Refuse);

// Writes the text with its NUL at the start of the segment; bytes after the
// NUL keep their contents. Whole or not at all for every reader, even when
// this process dies part-way: byte 0 is cleared first and written last, so
// the segment holds the old text, the old text emptied, or the whole new
// one. Failed, nothing written, when it does not fit.
Access WriteText(CMemMapFile& map, const std::string& strText,
                 platform::Deadline deadline = LockDeadline(),
                 Abandoned abandoned = Abandoned::Refuse);

// For the path's reader: when the text in the segment is a path (IsPath),
// copies it out and empties the slot (byte 0 cleared); strPath is empty when
// no path waits. An abandoned mutex is taken: the path is whole.
Access TakePath(CMemMapFile& map, std::string& strPath,
                platform::Deadline deadline);

enum class SlotResult { Written, Waiting, Failed };

// The path slot, in one access: looks at the text there (strFound), then
// writes strText as WriteText does, unless the slot holds a path that its
// reader has not taken yet and bReplace is false: Waiting then, and nothing
// written. An abandoned mutex is refused (Failed).
SlotResult WriteSlot(CMemMapFile& map, const std::string& strText,
                     bool bReplace, std::string& strFound,
                     platform::Deadline deadline);

// The text with non-printable bytes written as \xHH, for messages.
std::string Escape(const std::string& strText);

}  // namespace segments
