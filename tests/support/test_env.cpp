#include "support/test_env.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/child_process.h"

namespace fs = std::filesystem;

namespace testsupport {

std::string UniqueName(const std::string& strPrefix) {
  static std::atomic<int> nCounter{0};
  return strPrefix + "_T" + std::to_string(CurrentProcessId()) + "_" + std::to_string(nCounter++);
}

TempDir::TempDir() {
  fs::path path = fs::temp_directory_path() / UniqueName("xver");
  fs::create_directories(path);
  m_strPath = path.string();
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(m_strPath, ec);
}

std::string TempDir::WriteFile(const std::string& strRelative, const std::string& strBytes) const {
  const std::string strPath = (fs::path(m_strPath) / strRelative).string();
  WriteFileAt(strPath, strBytes);
  return strPath;
}

void WriteFileAt(const std::string& strPath, const std::string& strBytes) {
  fs::create_directories(fs::path(strPath).parent_path());
  std::ofstream(strPath, std::ios::binary) << strBytes;
}

void RemoveFileAt(const std::string& strPath) {
  std::error_code ec;
  fs::remove(strPath, ec);
}

bool WaitUntil(const std::function<bool()>& condition, int nTimeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

const char* TestPeerPath() { return XVER_TEST_PEER_PATH; }

const char* ExampleTransceiverPath() {
  return *XVER_EXAMPLE_TRANSCEIVER_PATH ? XVER_EXAMPLE_TRANSCEIVER_PATH : nullptr;
}

const char* PythonPath() { return *XVER_PYTHON_PATH ? XVER_PYTHON_PATH : nullptr; }

std::vector<std::pair<std::string, std::string>> PythonEnvironment() {
  std::vector<std::pair<std::string, std::string>> env = {{"PYTHONPATH", XVER_PYTHON_MODULE_DIR},
                                                          {"LD_LIBRARY_PATH", XVER_LIBRARY_DIR}};
  // A sanitized library in an unsanitized interpreter.
  if (*XVER_PYTHON_PRELOAD) {
    env.insert(env.end(), {{"LD_PRELOAD", XVER_PYTHON_PRELOAD},
                           {"ASAN_OPTIONS", "halt_on_error=1:exitcode=66:detect_leaks=0"}});
  }
  return env;
}

std::string ExamplePath(const std::string& strName) {
  return std::string(XVER_EXAMPLES_DIR) + "/" + strName;
}
const char* TornWriterPath() { return XVER_TORN_WRITER_PATH; }
const char* XversendPath() { return XVERSEND_PATH; }
const char* XverctlPath() { return XVERCTL_PATH; }

}  // namespace testsupport
