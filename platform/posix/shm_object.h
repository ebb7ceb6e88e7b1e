// Inside the POSIX platform layer only: how a named shared-memory object is
// opened, held and made new, so that it lives exactly as long as some process
// holds it (docs/ipc.md).
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

// The system's text for an errno value: the one translation of errors here.
std::string errorText(int nError);

// What an object of one kind holds beyond its size.
struct ObjectType {
  off_t nSize;
  // Fills in a new object of nSize zero bytes that this process alone holds.
  // Returns 0 or an errno value. Null: zero bytes are all it needs.
  int (*pMakeNew)(int fd);
  // Why an object that other processes hold is not one of this kind, or
  // null when it is. Null: every object of the full size is.
  const char* (*pWhatIsWrong)(int fd);
};

// Attaches "/NAME": opens it (creating it with exactly nMode when bCreate and
// it is absent), makes it new when no other process holds it, and takes the
// shared hold, which lasts as long as the descriptor or a mapping of it. Waits
// at most 3000 ms for a process that is making the object new. Returns the
// descriptor (never 0, 1 or 2), or -1 with strProblem saying why; strProblem
// stays empty when the object is only absent (not bCreate, nobody holds it).
int attachObject(const std::string& strName, const ObjectType& type,
                 mode_t nMode, bool bCreate, std::string& strProblem);

}  // namespace platform
