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
inline constexpr const char* kAll[] = {kPcReset,       kTimePosValid, kXbtTimePos,
                                       kXmitPath,      kXmitterStatus, kShipSpeedDir,
                                       kXbtFromXver};

// Attaches to the named segment, or creates it when no process has.
bool Attach(CMemMapFile& map, const std::string& strName);

// The NUL-terminated text at the start of the segment; a segment without a
// NUL gives all its bytes. false, and strText untouched, when it could not be
// locked.
bool ReadText(CMemMapFile& map, std::string& strText);

// Copies nCount bytes to the start of the segment. false, and nothing
// written, when they do not fit or the segment could not be locked.
bool WriteBytes(CMemMapFile& map, const void* pBytes, std::size_t nCount);

// Writes the text with its NUL.
inline bool WriteText(CMemMapFile& map, const std::string& strText) {
  return WriteBytes(map, strText.c_str(), strText.size() + 1);
}

}  // namespace segments
