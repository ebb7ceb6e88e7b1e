// xverctl: the stand-in transceiver-control process and segment inspector.
#pragma once

#include <string>
#include <vector>

#include "sharedmem/mem_map_file.h"

namespace xverctl {

using Args = std::vector<std::string>;

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

// What a failed Lock of the segment found, in words.
std::string LockOutcome(const CMemMapFile& map);

// Attaches the named segment, or creates it; a failure is reported.
bool AttachOrSay(CMemMapFile& map, const std::string& strName);

}  // namespace xverctl
