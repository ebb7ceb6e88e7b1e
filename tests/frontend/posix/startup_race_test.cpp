// Twenty xversend processes started at the same moment with none of the
// named objects present, fifty times over, or as often as a minute allows
// (sanitized builds start processes far more slowly).
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "frontend/xversend_fixture.h"
#include "support/posix/named_objects.h"

namespace {

using testsupport::ChildProcess;
using testsupport::XversendTest;

TEST_F(XversendTest, TwentyAtOnceWithNoObjectsPresentAllSucceed) {
  constexpr int kRounds = 50;
  constexpr int kProcesses = 20;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  CloseSegments();  // this test's own handles must not create the names first
  int nRound = 0;
  for (; nRound < kRounds && std::chrono::steady_clock::now() < deadline; ++nRound) {
    SCOPED_TRACE(nRound);
    RemoveNames();
    ChildProcess senders[kProcesses];
    for (auto& sender : senders) {
      ASSERT_TRUE(sender.Start({testsupport::XversendPath(), "word"}));
    }
    for (auto& sender : senders) {
      EXPECT_EQ(sender.Wait(), 1);
      EXPECT_EQ(sender.Stderr(), "");
    }
    for (const char* pszName : segments::kNames) {
      for (const auto& [strObject, nSize] :
           {std::pair{std::string(pszName), 201}, {std::string(pszName) + "MUTEX", 128}}) {
        struct stat info {};
        ASSERT_EQ(stat(testsupport::ObjectFile(strObject).c_str(), &info), 0) << strObject;
        EXPECT_EQ(info.st_mode & 0777, 0600u) << strObject;
        EXPECT_EQ(info.st_size, nSize) << strObject;
      }
      // Nobody holds them now: the next user finds them new and usable.
      CMemMapFile map;
      ASSERT_EQ(map.Create(pszName, 201, 0, nullptr), 1) << pszName;
      EXPECT_NE(map.Lock(), nullptr) << pszName;
      map.Unlock();
    }
  }
  std::printf("start-up race: %d rounds of %d processes\n", nRound, kProcesses);
  EXPECT_GE(nRound, 5);
}

}  // namespace
