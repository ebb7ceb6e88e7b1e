#include "support/system_segments.h"

#include <algorithm>
#include <cstring>

#include "support/test_env.h"

namespace testsupport {

void SystemSegmentsTest::SetUp() {
  RemoveNames();
  for (int i = 0; i < segments::kCount; ++i) {
    ASSERT_EQ(m_maps[i].Create(segments::kNames[i], 201, 0, nullptr), 1);
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
  for (const char* pszName : segments::kNames) {
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
               segments::ReadText(status, strText) == segments::Access::Done &&
               strText == strStatus;
      },
      nTimeoutMs);
}

CMemMapFile& SystemSegmentsTest::Segment(const char* pszName) {
  for (int i = 0; i < segments::kCount; ++i) {
    if (std::strcmp(segments::kNames[i], pszName) == 0) return m_maps[i];
  }
  ADD_FAILURE() << "no segment " << pszName;
  return m_maps[0];
}

void SystemSegmentsTest::WriteBytes(const char* pszName, const std::string& strBytes) {
  const segments::CSegmentLock lock(Segment(pszName), segments::LockDeadline(),
                                    segments::Abandoned::Refuse);
  EXPECT_NE(lock.View(), nullptr) << "could not lock " << pszName;
  if (lock.View()) std::copy(strBytes.begin(), strBytes.end(), static_cast<char*>(lock.View()));
}

std::string SystemSegmentsTest::ReadBytes(const char* pszName) {
  const segments::CSegmentLock lock(Segment(pszName), segments::LockDeadline(),
                                    segments::Abandoned::Refuse);
  EXPECT_NE(lock.View(), nullptr) << "could not lock " << pszName;
  return lock.View() ? std::string(static_cast<const char*>(lock.View()), segments::kSize)
                     : std::string();
}

std::string SystemSegmentsTest::ReadText(const char* pszName) {
  const std::string strBytes = ReadBytes(pszName);
  return strBytes.substr(0, strBytes.find('\0'));
}

void SystemSegmentsTest::Recover(const char* pszName) {
  // Taken over and let go.
  const segments::CSegmentLock lock(Segment(pszName), segments::LockDeadline(),
                                    segments::Abandoned::Take);
}

}  // namespace testsupport
