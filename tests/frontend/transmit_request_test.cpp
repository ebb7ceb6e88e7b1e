#include <gtest/gtest.h>

#include <string>

#include "sharedmem/xver_interface.h"
#include "support/child_process.h"
#include "support/system_segments.h"
#include "support/test_env.h"

namespace {

class TransmitRequestTest : public testsupport::SystemSegmentsTest {
 protected:
  void SetUp() override {
    SystemSegmentsTest::SetUp();
    ASSERT_EQ(m_xver.OpenXmitPathMap(), 1);
    ASSERT_EQ(m_xver.OpenXmitterStatusMap(), 1);
  }

  CXverInterface m_xver;
};

TEST_F(TransmitRequestTest, StatusTextsGiveTheirCodes) {
  const struct {
    const char* pszStatus;
    std::int32_t nCode;
  } kCases[] = {
      {"READY", 1},   {"STARTING", 2}, {"FAILED", 6},    {"", 3},
      {"ready", 3},   {"READY ", 3},   {" READY", 3},    {"Starting", 3},
      {"BUSY", 3},    {"FAILED\n", 3}, {"READYREADY", 3},
  };
  for (const auto& c : kCases) {
    WriteText("MM_XMITERSTATUS", c.pszStatus);
    EXPECT_EQ(m_xver.GetXmitterStatus(), c.nCode) << '"' << c.pszStatus << '"';
  }
}

TEST_F(TransmitRequestTest, PathsWaitForReadyAndBareWordsDoNot) {
  const struct {
    const char* pszRequest;
    const char* pszStatus;
    std::int32_t bHandedOver;
  } kCases[] = {
      {"C:\\Data\\obs_001.txt", "READY", 1},
      {"C:\\Data\\obs_001.txt", "STARTING", 0},
      {"C:\\Data\\obs_001.txt", "FAILED", 0},
      {"C:\\Data\\obs_001.txt", "OFFLINE", 0},
      {"C:\\Data\\obs_001.txt", "", 0},
      {"C:", "STARTING", 0},
      {"name\\only", "STARTING", 0},
      {"C:", "READY", 1},
      {"word", "STARTING", 1},
      {"word", "FAILED", 1},
      {"", "", 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.pszRequest) + " / " + c.pszStatus);
    WriteText("MM_XMITPATH", "previous");
    WriteText("MM_XMITERSTATUS", c.pszStatus);
    EXPECT_EQ(m_xver.SubmitPath(c.pszRequest), c.bHandedOver);
    EXPECT_EQ(ReadText("MM_XMITPATH"), c.bHandedOver ? c.pszRequest : "previous");
  }
}

// A native path waits for READY on Linux; Windows keeps its rule (':' or
// '\\'), so there the same text is a bare word.
TEST_F(TransmitRequestTest, SlashMarksAPathOnlyOnPosixHosts) {
  const bool bSlashMarksPath = platform::hasPathMarker("/");
  WriteText("MM_XMITPATH", "previous");
  WriteText("MM_XMITERSTATUS", "STARTING");
  EXPECT_EQ(m_xver.SubmitPath("/data/obs_001.txt"), bSlashMarksPath ? 0 : 1);
  EXPECT_EQ(ReadText("MM_XMITPATH"), bSlashMarksPath ? "previous" : "/data/obs_001.txt");
  WriteText("MM_XMITERSTATUS", "READY");
  EXPECT_EQ(m_xver.SubmitPath("/data/obs_002.txt"), 1);
  EXPECT_EQ(ReadText("MM_XMITPATH"), "/data/obs_002.txt");
}

TEST_F(TransmitRequestTest, NewPathOverwritesOnlyUpToItsNul) {
  WriteBytes("MM_XMITPATH", std::string(201, 'x'));
  ASSERT_EQ(m_xver.WriteXmitPath("C:\\a"), 1);
  EXPECT_EQ(ReadBytes("MM_XMITPATH"), std::string("C:\\a") + '\0' + std::string(196, 'x'));
}

TEST_F(TransmitRequestTest, LongestPathFitsAndOneMoreIsRefusedUntouched) {
  WriteText("MM_XMITERSTATUS", "READY");
  WriteText("MM_XMITPATH", "previous");
  const std::string strLongest = "C:\\" + std::string(196, 'a');
  ASSERT_EQ(strLongest.size(), 199u);
  EXPECT_EQ(m_xver.SubmitPath(strLongest + "b"), 0);
  EXPECT_EQ(m_xver.WriteXmitPath(strLongest + "b"), 0);
  EXPECT_EQ(ReadText("MM_XMITPATH"), "previous");
  EXPECT_EQ(m_xver.SubmitPath(std::string(500, 'w')), 0);
  EXPECT_EQ(m_xver.SubmitPath(strLongest), 1);
  EXPECT_EQ(ReadText("MM_XMITPATH"), strLongest);
}

TEST_F(TransmitRequestTest, SegmentsWithoutNulReadToTheirEndOnly) {
  WriteBytes("MM_XMITERSTATUS", std::string(201, 'R'));
  EXPECT_EQ(m_xver.ReadXmitterStatus(), std::string(201, 'R'));
  EXPECT_EQ(m_xver.GetXmitterStatus(), 3);
  WriteBytes("MM_XMITERSTATUS", "READY" + std::string(196, '\xff'));
  EXPECT_EQ(m_xver.GetXmitterStatus(), 3);
  WriteBytes("MM_XMITPATH", std::string(201, '\x01'));
  EXPECT_EQ(m_xver.ReadXmitPath(), std::string(201, '\x01'));
}

TEST_F(TransmitRequestTest, UnattachedSegmentsReadAsFailures) {
  CXverInterface unattached;
  WriteText("MM_XMITERSTATUS", "READY");
  EXPECT_EQ(unattached.ReadXmitterStatus(), "");
  EXPECT_EQ(unattached.GetXmitterStatus(), 3);
  EXPECT_EQ(unattached.ReadXmitPath(), "Could not read MemMap");
  EXPECT_EQ(unattached.SubmitPath("C:\\x"), 0);
  EXPECT_EQ(unattached.SubmitPath("word"), 0);
  EXPECT_EQ(m_xver.ReadXmitPath(), "");
}

// A path segment whose last holder died is refused once, not written, and
// taken over, so the next request goes through.
TEST_F(TransmitRequestTest, AbandonedPathMutexRefusesOnceThenRecovers) {
  WriteText("MM_XMITERSTATUS", "READY");
  WriteText("MM_XMITPATH", "previous");
  testsupport::ChildProcess peer;
  ASSERT_TRUE(peer.Start({testsupport::TestPeerPath(), "abandon", "MM_XMITPATH"}));
  ASSERT_EQ(peer.ReadLine(), "locked");
  peer.Wait();

  EXPECT_EQ(m_xver.SubmitPath("C:\\first"), 0);
  EXPECT_EQ(ReadText("MM_XMITPATH"), "previous");
  EXPECT_EQ(m_xver.SubmitPath("C:\\second"), 1);
  EXPECT_EQ(ReadText("MM_XMITPATH"), "C:\\second");
}

}  // namespace
