// Inside the Windows platform layer only: splitting a command line.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The arguments of a command line, split as the C runtime splits the one it
// hands main: the program name up to a space or tab outside quotes, quotes
// dropped, backslashes literal; then arguments apart by spaces and tabs,
// where 2n backslashes and a quote give n backslashes and open or close a
// quoted part, 2n+1 give n and a literal quote, and "" inside a quoted part
// is a literal quote that leaves it open.
std::vector<std::wstring> splitCommandLine(const std::wstring& strLine);

}  // namespace platform
