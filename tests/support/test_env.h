// Names and files private to one test process.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A segment name no other test process uses: prefix, process id and a counter.
std::string UniqueName(const std::string& strPrefix);

// A folder removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return m_strPath; }
  // Writes a file (binary, exactly these bytes) below the folder, creating
  // its parent folders; returns its full path.
  std::string WriteFile(const std::string& strRelative, const std::string& strBytes) const;

 private:
  std::string m_strPath;
};

// Writes a file (binary, exactly these bytes), creating its parent folders.
void WriteFileAt(const std::string& strPath, const std::string& strBytes);
// Removes a file if it is there.
void RemoveFileAt(const std::string& strPath);

// Looks at condition every few milliseconds until it holds; false when it
// still does not after nTimeoutMs.
bool WaitUntil(const std::function<bool()>& condition, int nTimeoutMs = 10000);

const char* TestPeerPath();
// The example transceiver-control process in C, built on libxver; null
// where it is not built.
const char* ExampleTransceiverPath();
// Python 3 and what the xver module needs to load; null where there is none.
const char* PythonPath();
std::vector<std::pair<std::string, std::string>> PythonEnvironment();
// A file of the source tree's examples/.
std::string ExamplePath(const std::string& strName);
const char* TornWriterPath();
const char* XversendPath();
const char* XverctlPath();

}  // namespace testsupport
