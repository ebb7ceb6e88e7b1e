// xverctl: the stand-in transceiver-control process and segment inspector,
// written on the library's C interface (xver.h).
#pragma once

#include <string>
#include <vector>

#include "xver.h"

namespace xverctl {

using Args = std::vector<std::string>;

// How long every access waits for a segment's mutex.
constexpr int kWaitMs = 3000;

// Each subcommand takes the arguments after its name and returns the exit
// status. Errors are reported on standard error.
int Serve(const Args& args);
int Show(const Args& args);
int WriteStatus(const Args& args);
int WritePath(const Args& args);
int Hold(const Args& args);
int Remove(const Args& args);

// Report a failure, or wrong use, on standard error; return the exit status
// for it (1, or 2 for wrong use).
int Fail(const std::string& strMessage);
int Usage(const std::string& strMessage);

// What an access to a segment that was not done found, in words: held past
// the wait, or why the segment cannot be used.
std::string Outcome(const xver_suite* pSuite, int nSegment, int nResult);

}  // namespace xverctl
