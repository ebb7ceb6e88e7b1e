// Inside the platform layer only: the per-platform half of TextFile.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// Opens a regular file for binary reading without blocking on what is not one;
// null when it cannot be opened or is a directory, device or pipe.
std::FILE* openRegularFile(const std::string& strPath);

}  // namespace platform
