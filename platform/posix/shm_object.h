// Inside the POSIX platform layer only: how a named shared-memory object is
// opened, held and made new, so that it lives exactly as long as some process
// holds it (docs/ipc.md).
#pragma once

#include <sys/types.h>

#include <string>

#include "platform/platform.h"

namespace platform {

// Permission bits for new objects: owner only unless the caller says else.
inline mode_t objectMode(const SecurityAttributes* pSecurity) {
  return pSecurity ? static_cast<mode_t>(pSecurity->nMode) : 0600;
}

// The system's text for an errno value: the one translation of errors here.
std::string errorText(int nError);

// The folder that holds this account's named objects, /dev/shm/xver-<euid>.
std::string nameFolderPath();

// The descriptor of that folder, opened once per process (again with
// bRenew, when it was removed meanwhile) and, when bCreate, created by the
// account's first process; one of ours with another mode is given mode 0700. -1 with strProblem saying why when something else stands
// in its place (not a folder, or another account's), which is never used or
// touched; -1 and no problem when it is absent and not bCreate.
int nameFolder(bool bCreate, bool bRenew, std::string& strProblem);

// Moves a descriptor off 0, 1 and 2 should one of them have been free: what
// the program writes to its standard streams must never reach an object.
// Closes fd and returns -1 when that fails.
int aboveStandardStreams(int fd);

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

// How an attach went.
struct Attachment {
  int fd = -1;             // the held object, never 0, 1 or 2; -1: none
  bool bMadeNew = false;   // nobody else held it, so this attach made it new
  std::string strProblem;  // why there is none; empty when only absent
};

// Attaches NAME in the account's folder: opens it (creating it with exactly
// nMode when bCreate and it is absent), makes it new when no other process
// holds it, and takes the shared hold, which lasts as long as the descriptor
// or a mapping of it. Waits until the deadline at most for a process that is
// making the object new. Without bCreate, an object nobody holds is absent
// and is left as it is.
Attachment attachObject(const std::string& strName, const ObjectType& type,
                        mode_t nMode, bool bCreate, Deadline deadline);

}  // namespace platform
