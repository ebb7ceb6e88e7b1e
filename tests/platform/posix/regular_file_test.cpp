// What a POSIX host may put where a text file is expected.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/test_env.h"

namespace {

TEST(RegularFileTest, OpenRefusesWhatWouldBlockOrIsNoFile) {
  testsupport::TempDir dir;
  const std::string strFifo = dir.Path() + "/fifo";
  ASSERT_EQ(mkfifo(strFifo.c_str(), 0600), 0);
  for (const std::string& strPath : {strFifo, std::string("/dev/null"),
                                     std::string("/dev/zero")}) {
    platform::TextFile file;
    EXPECT_FALSE(file.Open(strPath)) << strPath;  // a FIFO would block here
  }
}

TEST(RegularFileTest, OpenRefusesAFileWithoutReadPermission) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads any file";
  testsupport::TempDir dir;
  const std::string strPath = dir.WriteFile("secret", "text\n");
  ASSERT_EQ(chmod(strPath.c_str(), 0200), 0);
  platform::TextFile file;
  EXPECT_FALSE(file.Open(strPath));
}

}  // namespace
