// Inside the POSIX platform layer only: shared-memory object names and modes.
#pragma once

#include <sys/types.h>

#include <string>

#include "platform/platform.h"

namespace platform {

// The shared-memory object of a system name: "/" + name.
inline std::string shmName(const std::string& strName) { return "/" + strName; }

// Permission bits for new objects: owner only unless the caller says else.
inline mode_t objectMode(const SecurityAttributes* pSecurity) {
  return pSecurity ? static_cast<mode_t>(pSecurity->nMode) : 0600;
}

// Opens the named object read-write, creating it when absent. A new object
// gets exactly nMode, whatever the umask; an existing one is grown to nSize
// (never shrunk) so no process maps past its end. -1 on failure.
int openOrCreateObject(const std::string& strName, off_t nSize, mode_t nMode);

// Grows the object behind fd to at least nSize bytes. false on failure.
bool ensureObjectSize(int fd, off_t nSize);

}  // namespace platform
