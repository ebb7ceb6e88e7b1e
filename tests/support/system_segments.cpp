#include "support/system_segments.h"

#include <cstring>

namespace testsupport {

const char* const kSystemSegmentNames[7] = {
    "MMFLG_PCRESET",   "MMFLG_TIMEPOSVALID", "MM_XBTTIMEPOS", "MM_XMITPATH",
    "MM_XMITERSTATUS", "MM_SHIPSPEEDDIR",    "MM_XBTFROMXVER"};

void SystemSegmentsTest::SetUp() {
  for (int i = 0; i < 7; ++i) {
    platform::removeName(kSystemSegmentNames[i]);
    platform::removeName(std::string(kSystemSegmentNames[i]) + "MUTEX");
    ASSERT_EQ(m_maps[i].Create(kSystemSegmentNames[i], 201, 0, nullptr), 1);
  }
}

void SystemSegmentsTest::TearDown() {
  for (auto& map : m_maps) map.Close();
}

CMemMapFile& SystemSegmentsTest::Segment(const char* pszName) {
  for (int i = 0; i < 7; ++i) {
    if (std::strcmp(kSystemSegmentNames[i], pszName) == 0) return m_maps[i];
  }
  ADD_FAILURE() << "no segment " << pszName;
  return m_maps[0];
}

void SystemSegmentsTest::WriteBytes(const char* pszName, const std::string& strBytes) {
  CMemMapFile& map = Segment(pszName);
  void* pView = map.Lock();
  ASSERT_NE(pView, nullptr);
  ASSERT_LE(strBytes.size(), 201u);
  std::memcpy(pView, strBytes.data(), strBytes.size());
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

}  // namespace testsupport
