// The suite's segment names, and whole accesses to a segment's bytes, each
// one Lock/Unlock pair.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sharedmem/mem_map_file.h"

namespace segments {

inline constexpr std::uint32_t kSize = 201;

inline constexpr const char* kPcReset = "MMFLG_PCRESET";
inline constexpr const char* kTimePosValid = "MMFLG_TIMEPOSVALID";
inline constexpr const char* kXbtTimePos = "MM_XBTTIMEPOS";
inline constexpr const char* kXmitPath = "MM_XMITPATH";
inline constexpr const char* kXmitterStatus = "MM_XMITERSTATUS";
inline constexpr const char* kShipSpeedDir = "MM_SHIPSPEEDDIR";
inline constexpr const char* kXbtFromXver = "MM_XBTFROMXVER";

// All seven, in the order start-up attaches them.
inline constexpr const char* kAll[] = {
    kPcReset,       kTimePosValid, kXbtTimePos, kXmitPath,
    kXmitterStatus, kShipSpeedDir, kXbtFromXver};

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

// Every access below is one Lock/Unlock pair, and fails (false) when the
// segment could not be locked, or its pages could not be read or written
// (cut short by another process, not committed), which GetProblem then says.

// The NUL-terminated text at the start of the segment; a segment without a
// NUL gives all its bytes. strText is untouched on failure.
bool ReadText(CMemMapFile& map, std::string& strText);

// As ReadText, and then clears the segment when the text was not empty.
bool TakeText(CMemMapFile& map, std::string& strText);

// Writes the text with its NUL at the start of the segment; bytes after the
// NUL keep their contents. Whole or not at all for every reader, even when
// this process dies part-way: the old text emptied, or the whole new one.
// Nothing is written when it does not fit.
bool WriteText(CMemMapFile& map, const std::string& strText);

enum class SlotResult { Written, Waiting, Failed };

// The path slot: writes the text as WriteText does, unless the segment holds
// a path that its reader has not taken yet (IsPath); Waiting then, with that
// path in strWaiting, and nothing written. One access, whose wait for the
// mutex ends at the deadline.
SlotResult WriteTextIfFree(CMemMapFile& map, const std::string& strText,
                           std::string& strWaiting,
                           platform::Deadline deadline);

// The text with non-printable bytes written as \xHH, for messages.
std::string Escape(const std::string& strText);

}  // namespace segments
