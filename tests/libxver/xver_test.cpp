// The C interface, as another program of the suite uses it: beside this
// test holding the segments as a peer would, beside peer processes that hold
// or abandon a mutex, and beside xversend itself.
#include "xver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "support/child_process.h"
#include "frontend/xversend_fixture.h"
#include "support/test_env.h"

namespace {

using Suite = std::unique_ptr<xver_suite, void (*)(xver_suite*)>;

Suite OpenSuite() { return Suite(xver_open(), xver_close); }

// xversend runs beside these tests with its setup file in place: a missing
// one would be reported (on Windows, a box).
class XverTest : public testsupport::XversendTest {
 protected:
  void SetUp() override {
    XversendTest::SetUp();
    m_suite = OpenSuite();
    ASSERT_NE(m_suite, nullptr);
  }
  void TearDown() override {
    m_suite.reset();
    XversendTest::TearDown();
  }

  Suite m_suite{nullptr, xver_close};
};

TEST(XverNamesTest, SegmentsByTheirPlaceInTheList) {
  const struct {
    int nSegment;
    const char* pszName;
  } kCases[] = {
      {XVER_MMFLG_PCRESET, "MMFLG_PCRESET"},
      {XVER_MM_XMITPATH, "MM_XMITPATH"},
      {XVER_MM_XMITERSTATUS, "MM_XMITERSTATUS"},
      {XVER_MM_XBTFROMXVER, "MM_XBTFROMXVER"},
      {-1, nullptr},
      {XVER_SEGMENT_COUNT, nullptr},
  };
  for (const auto& c : kCases) {
    const char* pszName = xver_segment_name(c.nSegment);
    EXPECT_EQ(pszName ? std::string(pszName) : "(null)", c.pszName ? c.pszName : "(null)");
  }
  EXPECT_STREQ(xver_version(), "1.1.0");
}

TEST(XverNamesTest, PathRuleOfThisBuild) {
  for (const char* pszPath : {"C:\\Data\\a.txt", "C:", "name\\only"}) {
    EXPECT_EQ(xver_is_path(pszPath), 1) << pszPath;
  }
  for (const char* pszWord : {"word", "", "SENT"}) EXPECT_EQ(xver_is_path(pszWord), 0) << pszWord;
}

// What another process holds is attached as it is; what nobody holds is
// made new, and says so.
TEST_F(XverTest, MadeNewOnlyWhereNobodyElseHeld) {
  for (int i = 0; i < XVER_SEGMENT_COUNT; ++i) {
    EXPECT_STREQ(xver_problem(m_suite.get(), i), "") << i;
    EXPECT_EQ(xver_made_new(m_suite.get(), i), 0) << i;
  }
  m_suite.reset();
  CloseSegments();
  RemoveNames();
  const Suite alone = OpenSuite();
  const Suite second = OpenSuite();
  for (int i = 0; i < XVER_SEGMENT_COUNT; ++i) {
    EXPECT_EQ(xver_made_new(alone.get(), i), 1) << i;
    EXPECT_EQ(xver_made_new(second.get(), i), 0) << i;
  }
  EXPECT_EQ(xver_problem(alone.get(), XVER_SEGMENT_COUNT), nullptr);
}

// Texts in and out: whole, bytes after the NUL kept, nothing written when
// too long, a segment without a NUL read to its end.
TEST_F(XverTest, ReadsAndWritesTexts) {
  const struct {
    const char* pszCase;
    std::string strBefore;
    std::string strWrite;
    int nResult;
    std::string strAfter;  // the segment's first bytes afterwards
  } kCases[] = {
      {"text", std::string(201, 'x'), "READY", XVER_OK, "READY" + std::string(1, '\0') + "xxx"},
      {"longest", "", std::string(200, 'a'), XVER_OK, std::string(200, 'a') + '\0'},
      {"too long", "kept", std::string(201, 'a'), XVER_TOO_LONG, "kept"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszCase);
    WriteBytes("MM_XMITERSTATUS", c.strBefore + '\0');
    EXPECT_EQ(xver_write(m_suite.get(), XVER_MM_XMITERSTATUS, c.strWrite.c_str(), 100), c.nResult);
    EXPECT_EQ(ReadBytes("MM_XMITERSTATUS").substr(0, c.strAfter.size()), c.strAfter);
  }
  char szText[XVER_TEXT_MAX + 2];
  WriteBytes("MM_XMITERSTATUS", std::string(201, 'R'));
  EXPECT_EQ(xver_read(m_suite.get(), XVER_MM_XMITERSTATUS, szText, 100), XVER_OK);
  EXPECT_EQ(std::string(szText), std::string(201, 'R'));
  EXPECT_EQ(xver_read(m_suite.get(), -1, szText, 100), XVER_UNUSABLE);
}

// The reader's side of the slot: a waiting path is taken and the slot
// emptied; anything else stays where it is.
TEST_F(XverTest, TakesOnlyAWaitingPath) {
  const struct {
    const char* pszSlot;
    int nResult;
    const char* pszTaken;
    const char* pszSlotAfter;
  } kCases[] = {
      {"C:\\Data\\obs.txt", XVER_OK, "C:\\Data\\obs.txt", ""},
      {"SENT", XVER_EMPTY, "", "SENT"},
      {"", XVER_EMPTY, "", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszSlot);
    WriteText("MM_XMITPATH", c.pszSlot);
    char szPath[XVER_TEXT_MAX + 2];
    EXPECT_EQ(xver_take_path(m_suite.get(), szPath, 100), c.nResult);
    EXPECT_STREQ(szPath, c.pszTaken);
    EXPECT_EQ(ReadText("MM_XMITPATH"), c.pszSlotAfter);
  }
}

// xver_submit is xversend's request: the same answers and the same lines.
TEST_F(XverTest, SubmitsAsXversendDoes) {
  const struct {
    const char* pszStatus;
    const char* pszSlot;
    std::string strRequest;
    int bHandedOver;
    std::string strMessage;
    const char* pszSlotAfter;
  } kCases[] = {
      {"READY", "", "C:\\a.txt", 1, "", "C:\\a.txt"},
      {"STARTING", "", "C:\\a.txt", 0, "", ""},
      {"STARTING", "C:\\old.txt", "word", 1,
       "MM_XMITPATH: replaced the path waiting there: \"C:\\old.txt\"", "word"},
      {"READY", "", "C:\\" + std::string(197, 'a'), 0,
       "path too long: 200 characters, the limit is 199", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.strRequest);
    WriteText("MM_XMITERSTATUS", c.pszStatus);
    WriteText("MM_XMITPATH", c.pszSlot);
    char szMessage[256];
    EXPECT_EQ(xver_submit(m_suite.get(), c.strRequest.c_str(), szMessage), c.bHandedOver);
    EXPECT_EQ(std::string(szMessage), c.strMessage);
    EXPECT_EQ(ReadText("MM_XMITPATH"), c.pszSlotAfter);
  }
}

// Another process holding the mutex past the wait, or dying holding it: a
// time-out, then an abandoned wait that is done (the text is whole).
TEST_F(XverTest, WaitsEndInTimeOrTakeOverWhatTheDeadLeft) {
  WriteText("MM_XMITERSTATUS", "READY");
  char szText[XVER_TEXT_MAX + 2];
  {
    testsupport::ChildProcess holder;
    ASSERT_TRUE(holder.Start({testsupport::TestPeerPath(), "hold", "MM_XMITERSTATUS", "10000"}));
    ASSERT_EQ(holder.ReadLine(), "locked");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(xver_read(m_suite.get(), XVER_MM_XMITERSTATUS, szText, 200), XVER_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(190));
    EXPECT_STREQ(szText, "");
  }
  Recover("MM_XMITERSTATUS");  // the holder was killed holding it
  testsupport::ChildProcess peer;
  ASSERT_TRUE(peer.Start({testsupport::TestPeerPath(), "abandon", "MM_XMITERSTATUS"}));
  ASSERT_EQ(peer.ReadLine(), "locked");
  peer.Wait();
  EXPECT_EQ(xver_read(m_suite.get(), XVER_MM_XMITERSTATUS, szText, 1000), XVER_ABANDONED);
  EXPECT_STREQ(szText, "READY");
  EXPECT_EQ(xver_read(m_suite.get(), XVER_MM_XMITERSTATUS, szText, 1000), XVER_OK);
}

// A held lock holds xversend up as a stuck peer does; unlocked, it passes.
TEST_F(XverTest, LockHoldsOthersUpUntilUnlocked) {
  WriteText("MM_XMITERSTATUS", "READY");
  ASSERT_EQ(xver_lock(m_suite.get(), XVER_MM_XMITPATH, 100), XVER_OK);
  EXPECT_EQ(xver_lock(m_suite.get(), XVER_MM_XMITPATH, 100), XVER_OK);  // recursive
  const Suite other = OpenSuite();
  char szText[XVER_TEXT_MAX + 2];
  EXPECT_EQ(testsupport::RunProcess({testsupport::XversendPath(), "word"}).nExitCode, 0);
  xver_unlock(m_suite.get(), XVER_MM_XMITPATH);
  xver_unlock(m_suite.get(), XVER_MM_XMITPATH);
  EXPECT_EQ(xver_read(other.get(), XVER_MM_XMITPATH, szText, 100), XVER_OK);
  EXPECT_EQ(testsupport::RunProcess({testsupport::XversendPath(), "word"}).nExitCode, 1);
}

}  // namespace
