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

// Keeps segments off the standard descriptors 0, 1 and 2, which a launcher
// may have left closed: call first thing in main.
void KeepStandardStreams();

// The request from the program's arguments, exactly as its caller gave it;
// false, with strProblem saying why, when it cannot be had whole (see
// platform::requestArgument).
bool RequestArgument(int argc, char* argv[], std::string& strRequest,
                     int& nIgnored, std::string& strProblem);

// Whether a text is a file path: it holds a colon or a backslash (on POSIX
// hosts also '/'), read character by character in a double-byte code page.
// A path request waits for "READY"; a bare word does not.
bool IsPath(const std::string& strText);

// Attaches to the named segment, or creates it when no process has.
bool Attach(CMemMapFile& map, const std::string& strName);

// Every access below is one Lock/Unlock pair, and fails (false) when the
// segment could not be locked, or its pages could not be read or written
// (cut short by another process, not committed), which GetProblem then says.

// The NUL-terminated text at the start of the segment; a segment without a
// NUL gives all its bytes. strText is untouched on failure.
bool ReadText(CMemMapFile& map, std::string& strText);

// As ReadText, and then clears the segment when the text was not empty.
bool TakeText(CMemMapFile& map, std::string& strText);

// Copies nCount bytes to the start of the segment. Nothing is written when
// they do not fit.
bool WriteBytes(CMemMapFile& map, const void* pBytes, std::size_t nCount);

// Writes the text with its NUL.
inline bool WriteText(CMemMapFile& map, const std::string& strText) {
  return WriteBytes(map, strText.c_str(), strText.size() + 1);
}

enum class SlotResult { Written, Waiting, Failed };

// The path slot: writes the text with its NUL, as WriteText does, unless the
// segment holds a path that its reader has not taken yet (IsPath); Waiting
// then, with that path in strWaiting, and nothing written. One access.
SlotResult WriteTextIfFree(CMemMapFile& map, const std::string& strText,
                           std::string& strWaiting);

// The text with non-printable bytes written as \xHH, for messages.
std::string Escape(const std::string& strText);

}  // namespace segments
