#include "support/posix/named_objects.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace testsupport {

std::string NameFolder() { return "/dev/shm/xver-" + std::to_string(geteuid()); }

std::string ObjectFile(const std::string& strName) { return NameFolder() + "/" + strName; }

struct stat StatObject(const std::string& strName) {
  struct stat info {};
  EXPECT_EQ(stat(ObjectFile(strName).c_str(), &info), 0) << strName;
  return info;
}

void PlantObject(const std::string& strName, const std::string& strBytes, mode_t nMode) {
  mkdir(NameFolder().c_str(), 0700);
  const int fd = open(ObjectFile(strName).c_str(), O_RDWR | O_CREAT | O_TRUNC, nMode);
  ASSERT_GE(fd, 0) << strName;
  ASSERT_EQ(write(fd, strBytes.data(), strBytes.size()), ssize_t(strBytes.size()));
  ASSERT_EQ(fchmod(fd, nMode), 0);
  close(fd);
}

std::string ObjectContents(const std::string& strName) {
  std::string strBytes(4096, '\0');
  const int fd = open(ObjectFile(strName).c_str(), O_RDONLY);
  const ssize_t n = fd >= 0 ? read(fd, strBytes.data(), strBytes.size()) : -1;
  if (fd >= 0) close(fd);
  strBytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return strBytes;
}

namespace {

bool SetWholeFileLock(int fd, short nType) {
  struct flock lock {};
  lock.l_type = nType;
  lock.l_whence = SEEK_SET;
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

}  // namespace

ObjectMaker::ObjectMaker(const std::string& strName) {
  mkdir(NameFolder().c_str(), 0700);
  m_fd = open(ObjectFile(strName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  EXPECT_GE(m_fd, 0) << strName;
  EXPECT_TRUE(SetWholeFileLock(m_fd, F_WRLCK)) << strName << " is held by others";
}

void ObjectMaker::FinishAsHolder(const std::string& strBytes) {
  ASSERT_EQ(ftruncate(m_fd, 0), 0);
  ASSERT_EQ(pwrite(m_fd, strBytes.data(), strBytes.size(), 0), ssize_t(strBytes.size()));
  EXPECT_TRUE(SetWholeFileLock(m_fd, F_RDLCK));
}

void ObjectMaker::Release() {
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
}

}  // namespace testsupport
