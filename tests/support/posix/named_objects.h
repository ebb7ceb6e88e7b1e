// The files behind named objects on POSIX hosts, as another process of the
// account, or another account, sees them.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace testsupport {

// The account's folder of named objects, /dev/shm/xver-<euid>.
std::string NameFolder();
// The file of a named object in it.
std::string ObjectFile(const std::string& strName);
// stat of an object's file; a failure is a test failure.
struct stat StatObject(const std::string& strName);
// Writes an object's file as another process might have left it.
void PlantObject(const std::string& strName, const std::string& strBytes, mode_t nMode = 0600);
// The bytes of an object's file (at most 4096).
std::string ObjectContents(const std::string& strName);

// A process making an object new, as the protocol has it: holds the write
// lock on the object's file (creating the file), so that every attach of the
// name waits for it. Let go when destroyed.
class ObjectMaker {
 public:
  explicit ObjectMaker(const std::string& strName);
  ~ObjectMaker() { Release(); }
  ObjectMaker(const ObjectMaker&) = delete;
  ObjectMaker& operator=(const ObjectMaker&) = delete;

  // Gives the object these bytes, then turns the write lock into a hold:
  // others use the object as it is from then on.
  void FinishAsHolder(const std::string& strBytes);
  // Lets go without finishing: the next attach makes the object new.
  void Release();

 private:
  int m_fd = -1;
};

}  // namespace testsupport
