#include "sharedmem/xver_interface.h"

#include <gtest/gtest.h>

#include "support/system_segments.h"

namespace {

using OpenOperation = std::int32_t (CXverInterface::*)();
// In the order start-up calls them, matching segments::kNames.
const OpenOperation kOpenOperations[7] = {
    &CXverInterface::OpenPcResetMap,       &CXverInterface::OpenTimePosValidMap,
    &CXverInterface::OpenXbtTimePosMap,    &CXverInterface::OpenXmitPathMap,
    &CXverInterface::OpenXmitterStatusMap, &CXverInterface::OpenShipSpeedDirMap,
    &CXverInterface::OpenXbtFromXverMap};

class XverInterfaceTest : public testsupport::SystemSegmentsTest {};

TEST_F(XverInterfaceTest, CreatesAllSevenSegmentsAndMutexesWhenNoneExist) {
  CloseSegments();
  RemoveNames();
  CXverInterface xver;
  for (const auto open : kOpenOperations) EXPECT_EQ((xver.*open)(), 1);
  for (const char* pszName : segments::kNames) {
    CMemMapFile map;
    ASSERT_EQ(map.Open(pszName, 201, 0), 1) << pszName;
    EXPECT_NE(map.Lock(), nullptr) << pszName;
    map.Unlock();
  }
}

TEST_F(XverInterfaceTest, AttachesExistingSegmentsWithoutTouchingThem) {
  for (const char* pszName : segments::kNames) {
    WriteText(pszName, std::string("kept in ") + pszName);
  }
  CXverInterface xver;
  for (const auto open : kOpenOperations) EXPECT_EQ((xver.*open)(), 1);
  for (const char* pszName : segments::kNames) {
    EXPECT_EQ(ReadText(pszName), std::string("kept in ") + pszName);
  }
}

TEST_F(XverInterfaceTest, SecondOpenOfASegmentDoesNothing) {
  CXverInterface xver;
  for (const auto open : kOpenOperations) {
    EXPECT_EQ((xver.*open)(), 1);
    EXPECT_EQ((xver.*open)(), 0);
  }
  WriteText("MM_XMITERSTATUS", "READY");
  EXPECT_EQ(xver.ReadXmitterStatus(), "READY");
}

}  // namespace
