// Inside the Windows platform layer only: the system's words for an error.
#pragma once

#include <string>

namespace platform {

// The system's message for a GetLastError() value, without its line end.
std::string errorText(unsigned long nError);

}  // namespace platform
