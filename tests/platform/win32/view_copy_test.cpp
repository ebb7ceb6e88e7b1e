// Copies from and to pages that cannot be read or written fail, and leave
// the pages as they were; nothing crashes.
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // the MinGW C++ library defines it already
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/system_error.h"
#include "support/test_env.h"

namespace {

constexpr std::size_t kPage = 4096;

bool UnderWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version");
}

DWORD Protection(const void* pAddress) {
  MEMORY_BASIC_INFORMATION info{};
  VirtualQuery(pAddress, &info, sizeof info);
  return info.Protect;
}

class ViewCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A readable and writable page, then one without access.
    m_pPages = static_cast<char*>(
        VirtualAlloc(nullptr, 2 * kPage, MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(m_pPages, nullptr);
    std::memset(m_pPages, 'p', kPage);
    DWORD nOld = 0;
    ASSERT_TRUE(VirtualProtect(m_pPages + kPage, kPage, PAGE_NOACCESS, &nOld));
  }
  void TearDown() override {
    if (m_pPages) VirtualFree(m_pPages, 0, MEM_RELEASE);
    for (HANDLE h : m_sections) CloseHandle(h);
  }

  char* m_pPages = nullptr;
  std::vector<HANDLE> m_sections;
};

TEST_F(ViewCopyTest, PagesThatCannotBeReachedFailTheCopy) {
  char* pNoAccess = m_pPages + kPage;
  char szBuffer[201];
  std::memset(szBuffer, 'b', sizeof szBuffer);
  const struct {
    const char* pszCase;
    void* pTo;
    const void* pFrom;
    std::size_t nCount;
  } kCases[] = {
      {"from a page without access", szBuffer, pNoAccess, 201},
      {"to a page without access", pNoAccess, szBuffer, 201},
      {"from across the end of the readable page", szBuffer, pNoAccess - 100,
       201},
      {"to across the end of the writable page", pNoAccess - 100, szBuffer,
       201},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszCase);
    EXPECT_FALSE(platform::copyView(c.pTo, c.pFrom, c.nCount));
    EXPECT_EQ(platform::copyProblem(), platform::errorText(ERROR_NOACCESS));
    EXPECT_EQ(Protection(pNoAccess), DWORD{PAGE_NOACCESS});
  }
  // The guard is off again after a fault, and on again for the next copy.
  EXPECT_TRUE(platform::copyView(szBuffer, m_pPages, 201));
  EXPECT_EQ(std::string(szBuffer, 201), std::string(201, 'p'));
  EXPECT_FALSE(platform::copyView(szBuffer, pNoAccess, 1));
}

TEST_F(ViewCopyTest, ReadOnlyViewStaysReadOnlyAndUnchanged) {
  HANDLE hSection =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                         kPage, testsupport::UniqueName("VCT").c_str());
  ASSERT_NE(hSection, nullptr);
  m_sections.push_back(hSection);
  auto* pWritable =
      static_cast<char*>(MapViewOfFile(hSection, FILE_MAP_WRITE, 0, 0, 0));
  auto* pReadOnly =
      static_cast<char*>(MapViewOfFile(hSection, FILE_MAP_READ, 0, 0, 0));
  ASSERT_TRUE(pWritable && pReadOnly);
  std::strcpy(pWritable, "kept");

  EXPECT_FALSE(platform::copyView(pReadOnly, "written", 8));
  EXPECT_EQ(Protection(pReadOnly), DWORD{PAGE_READONLY});
  EXPECT_STREQ(pWritable, "kept");
  char szText[8] = {};
  EXPECT_TRUE(platform::copyView(szText, pReadOnly, 5));
  EXPECT_STREQ(szText, "kept");
  UnmapViewOfFile(pWritable);
  UnmapViewOfFile(pReadOnly);
}

// Wine commits the pages of such a section at once, so there it is read.
TEST_F(ViewCopyTest, ReservedSectionPagesNeverCommittedFailTheCopy) {
  if (UnderWine()) GTEST_SKIP() << "Wine commits reserved section pages";
  HANDLE hSection = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr,
                                       PAGE_READWRITE | SEC_RESERVE, 0, kPage,
                                       testsupport::UniqueName("VCT").c_str());
  ASSERT_NE(hSection, nullptr);
  m_sections.push_back(hSection);
  void* pView = MapViewOfFile(hSection, FILE_MAP_WRITE, 0, 0, 0);
  ASSERT_NE(pView, nullptr);
  char szBuffer[201] = {};
  EXPECT_FALSE(platform::copyView(szBuffer, pView, sizeof szBuffer));
  EXPECT_FALSE(platform::copyView(pView, szBuffer, sizeof szBuffer));
  UnmapViewOfFile(pView);
}

}  // namespace
