#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"
#include "support/test_env.h"

namespace {

using platform::SharedMapping;

constexpr std::uint32_t kSize = 201;

class SharedMappingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_strName = testsupport::UniqueName("SMT");
    platform::removeName(m_strName);
  }
  void TearDown() override { platform::removeName(m_strName); }

  std::string m_strName;
};

TEST_F(SharedMappingTest, OpenWithoutCreatorFails) {
  SharedMapping mapping;
  EXPECT_FALSE(mapping.Open(m_strName, false));
  EXPECT_FALSE(mapping.IsOpen());
  EXPECT_EQ(mapping.MapView(kSize, false), nullptr);
}

TEST_F(SharedMappingTest, ViewsOfOneNameShareTheirBytes) {
  SharedMapping creator;
  ASSERT_TRUE(creator.Create(m_strName, kSize, false, nullptr));
  char* pWrite = static_cast<char*>(creator.MapView(kSize, false));
  ASSERT_NE(pWrite, nullptr);
  EXPECT_EQ(pWrite[0], 0);
  EXPECT_EQ(pWrite[kSize - 1], 0);
  std::strcpy(pWrite, "shared");

  SharedMapping opener;
  ASSERT_TRUE(opener.Open(m_strName, true));
  const char* pRead = static_cast<const char*>(opener.MapView(kSize, true));
  ASSERT_NE(pRead, nullptr);
  EXPECT_STREQ(pRead, "shared");
  platform::FlushView(pWrite, kSize);
  platform::UnmapView(pWrite, kSize);
  platform::UnmapView(const_cast<char*>(pRead), kSize);
}

TEST_F(SharedMappingTest, MoveAssignmentReleasesWhatItOverwrites) {
  SharedMapping first;
  ASSERT_TRUE(first.Create(m_strName, kSize, false, nullptr));
  SharedMapping second;
  second = std::move(first);
  EXPECT_FALSE(first.IsOpen());
  EXPECT_TRUE(second.IsOpen());
  second = SharedMapping();
  EXPECT_FALSE(second.IsOpen());
}

}  // namespace
