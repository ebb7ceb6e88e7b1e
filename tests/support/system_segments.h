// The seven segments under the system's fixed names, as a test fixture sees
// them: removed before each test, written and read like a peer would.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "sharedmem/segment_access.h"

namespace testsupport {

class SystemSegmentsTest : public ::testing::Test {
 protected:
  // Removes leftovers, then attaches all seven segments, as a peer process
  // would hold them.
  void SetUp() override;
  // Lets go of the segments and removes their names.
  void TearDown() override;

  // Lets go of this test's handles to the seven segments.
  void CloseSegments();
  // Removes what the seven names and their mutexes left behind.
  static void RemoveNames();
  // Waits until "MM_XMITERSTATUS" says strStatus, looking without holding
  // it; false when it did not within nTimeoutMs.
  static bool WaitForStatus(const std::string& strStatus, int nTimeoutMs = 10000);

  // Writes raw bytes at the start of a segment, under its mutex.
  void WriteBytes(const char* pszName, const std::string& strBytes);
  // Writes a text with its NUL.
  void WriteText(const char* pszName, const std::string& strText) {
    WriteBytes(pszName, strText + '\0');
  }
  // All 201 bytes of a segment.
  std::string ReadBytes(const char* pszName);
  // The text at the start of a segment.
  std::string ReadText(const char* pszName);
  // Takes over, and releases, a mutex that a killed peer left abandoned.
  void Recover(const char* pszName);

 private:
  CMemMapFile& Segment(const char* pszName);
  CMemMapFile m_maps[7];
};

}  // namespace testsupport
