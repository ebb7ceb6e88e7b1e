// What the suite's programs say, each phrase in one place and built from the
// constants it states. xversend's lines are these without "xversend: ".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sharedmem/segment_access.h"

namespace messages {

// A request longer than a path may be.
std::string PathTooLong(std::size_t nLength, std::size_t nLimit);
// The path waiting in the slot was not taken within the slot's bound.
std::string NotTaken(const std::string& strWaiting, std::uint32_t nWaitMs);
// A bare word or the empty text took the place of a path that waited.
std::string Replaced(const std::string& strWaiting);
// The request needed a segment that this run had to make new.
std::string NoHolder(segments::Id id);
// A mutex held by another process past the wait, and one whose holder died.
std::string HeldPast(std::uint32_t nWaitMs);
std::string Abandoned();
// A segment that no process holds.
std::string Absent();

// Why the setup file at strPath (as the host names it) is missing or wrong:
// the first reason found, for the line after the system's message.
std::string SetupUnreadable(const std::string& strPath,
                            const std::string& strWhy);
std::string SetupKeyExpected(const std::string& strPath, int nLine,
                             const std::string& strKey);
std::string SetupValueSaysBadFile(const std::string& strPath, int nLine,
                                  const std::string& strBadFile);
std::string SetupValueInvalid(const std::string& strPath, int nLine,
                              const char* pszSetting,
                              const std::string& strValue, const char* pszRule);
// A request, and more arguments after it that are not looked at.
std::string ArgumentsIgnored(int nIgnored);

}  // namespace messages
