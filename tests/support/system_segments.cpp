#include "support/system_segments.h"

#include <algorithm>
#include <cstring>

#include "support/test_env.h"

namespace testsupport {

void SystemSegmentsTest::SetUp() {
  RemoveNames();
  for (int i = 0; i < 7; ++i) {
    ASSERT_EQ(m_maps[i].Create(segments::kAll[i], 201, 0, nullptr), 1);
  }
}

void SystemSegmentsTest::TearDown() {
  CloseSegments();
  RemoveNames();
}

void SystemSegmentsTest::CloseSegments() {
  for (auto& map : m_maps) map.Close();
}

void SystemSegmentsTest::RemoveNames() {
  for (const char* pszName : segments::kAll) {
    platform::removeName(pszName);
    platform::removeName(std::string(pszName) + "MUTEX");
  }
}

bool SystemSegmentsTest::WaitForStatus(const std::string& strStatus, int nTimeoutMs) {
  return WaitUntil(
      [&] {
        CMemMapFile status;  // a look, let go at once
        std::string strText;
        return status.Open(segments::kXmitterStatus, segments::kSize, 1) &&
               segments::ReadText(status, strText) && strText == strStatus;
      },
      nTimeoutMs);
}

CMemMapFile& SystemSegmentsTest::Segment(const char* pszName) {
  for (int i = 0; i < 7; ++i) {
    if (std::strcmp(segments::kAll[i], pszName) == 0) return m_maps[i];
  }
  ADD_FAILURE() << "no segment " << pszName;
  return m_maps[0];
}

void SystemSegmentsTest::WriteBytes(const char* pszName, const std::string& strBytes) {
  CMemMapFile& map = Segment(pszName);
  char* pView = static_cast<char*>(map.Lock());
  EXPECT_NE(pView, nullptr) << "could not lock " << pszName;
  if (pView) std::copy(strBytes.begin(), strBytes.end(), pView);
  map.Unlock();
}

std::string SystemSegmentsTest::ReadBytes(const char* pszName) {
  CMemMapFile& map = Segment(pszName);
  std::string strBytes;
  if (const char* pView = static_cast<const char*>(map.Lock())) {
    strBytes.assign(pView, 201);
  }
  map.Unlock();
  EXPECT_EQ(strBytes.size(), 201u) << "could not lock " << pszName;
  return strBytes;
}

std::string SystemSegmentsTest::ReadText(const char* pszName) {
  const std::string strBytes = ReadBytes(pszName);
  return strBytes.substr(0, strBytes.find('\0'));
}

void SystemSegmentsTest::Recover(const char* pszName) {
  CMemMapFile& map = Segment(pszName);
  map.Lock();
  map.Unlock();
}

}  // namespace testsupport
