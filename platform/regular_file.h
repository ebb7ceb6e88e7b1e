// Inside the platform layer only: the per-platform half of TextFile.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// Opens a regular file for binary reading without blocking on what is not one;
// null when it cannot be opened or is a directory, device or pipe, with
// strProblem saying which (the system's text, or "not a regular file").
std::FILE* openRegularFile(const std::string& strPath, std::string& strProblem);

// What openRegularFile says of what is no regular file.
inline constexpr char kNotARegularFile[] = "not a regular file";

}  // namespace platform
