// xversend on a Windows host: requests in Unicode that the ANSI code page
// may not hold, double-byte code pages, and a segment whose file is cut short
// under it. It hands over exactly what its caller gave, or refuses saying
// why, and never crashes.
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // the MinGW C++ library defines it already
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "frontend/xversend_fixture.h"
#include "platform/win32/system_error.h"
#include "support/win32/code_page.h"

namespace {

using testsupport::ProcessResult;
using testsupport::XversendTest;

// Run in code page 1252 and again in 932 (see tests/CMakeLists.txt). Requests
// are written here in UTF-8 and reach xversend in Unicode, as from a caller
// that starts it with CreateProcessW; the slot shows the bytes handed over.
TEST_F(XversendTest, RequestIsHandedOverExactlyInTheCodePageOrRefused) {
  const std::string strRefused1252 =
      "xversend: the request has characters that code page 1252 cannot hold\n";
  const std::string strRefused932 =
      "xversend: the request has characters that code page 932 cannot hold\n";
  const struct {
    unsigned nCodePage;
    const char* pszStatus;
    const char* pszSlot;     // the slot's text before
    const char* pszRequest;  // UTF-8
    int nExit;
    const char* pszSlotAfter;  // null: as before
    const std::string& strStderr;
  } kCases[] = {
      // Best fit would make ａ (fullwidth) an a: another file.
      {1252, "READY", "", "C:\\data\\ａ.txt", 0, nullptr, strRefused1252},
      // '?' in place of each letter would be a wildcard.
      {1252, "READY", "", "C:\\data\\Жук.txt", 0, nullptr, strRefused1252},
      // Best fit would make the fullwidth quote a real one.
      {1252, "READY", "", "C:\\data\\＂x＂.txt", 0, nullptr, strRefused1252},
      {1252, "STARTING", "", "Жук", 0, nullptr, strRefused1252},
      {1252, "READY", "", "C:\\data\\Größe.txt", 1, "C:\\data\\Gr\366\337e.txt",
       ""},
      {1252, "READY", "", "C:\\Data\\obs 001.txt", 1, "C:\\Data\\obs 001.txt",
       ""},
      // The first character ends in 0x5C, which is no backslash: a bare word.
      {932, "STARTING", "", "表示", 1, "\x95\x5C\x8E\xA6", ""},
      // ソフト (0x83 0x5C ...) in the slot is no path: it holds none back.
      {932, "READY", "\x83\x5C\x83\x74\x83\x67", "C:\\data\\x.txt", 1,
       "C:\\data\\x.txt", ""},
      // The backslash after double-byte characters is one.
      {932, "STARTING", "", "データ\\obs.txt", 0, nullptr, ""},
      {932, "READY", "", "C:\\data\\Жук.txt", 1,
       "C:\\data\\\x84\x47\x84\x85\x84\x7B.txt", ""},
      {932, "READY", "", "C:\\data\\Größe.txt", 0, nullptr, strRefused932},
  };
  const unsigned nCodePage = testsupport::CodePageUnderTest();
  int nRun = 0;
  for (const auto& c : kCases) {
    if (c.nCodePage != nCodePage) continue;
    ++nRun;
    SCOPED_TRACE(c.pszRequest);
    WriteText("MM_XMITERSTATUS", c.pszStatus);
    WriteText("MM_XMITPATH", c.pszSlot);
    const ProcessResult result =
        testsupport::RunProcess({testsupport::XversendPath(), c.pszRequest}, {},
                                testsupport::ArgText::Utf8);
    EXPECT_EQ(result.nExitCode, c.nExit);
    EXPECT_EQ(result.strStderr, c.strStderr);
    EXPECT_EQ(ReadText("MM_XMITPATH"),
              c.pszSlotAfter ? c.pszSlotAfter : c.pszSlot);
  }
  if (nRun == 0) GTEST_SKIP() << "no cases for code page " << nCodePage;
}

// A segment held by a peer as a section over a file, and the file cut short
// from the Linux side (no Windows call cuts a mapped file short, so this
// needs Wine): every request is refused with a line, the mutex released each
// time; once the file is whole again a path is handed over.
TEST_F(XversendTest, SegmentFileCutShortUnderAHolderIsRefusedWithALine) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  const auto unixName =
      reinterpret_cast<UnixName>(reinterpret_cast<void*>(GetProcAddress(
          GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixName) GTEST_SKIP() << "needs Wine to cut a mapped file short";
  const struct {
    const char* pszSegment;
    const char* pszOther;
    const char* pszRequest;
  } kCases[] = {
      {"MM_XMITERSTATUS", "MM_XMITPATH", "C:\\Data\\obs.txt"},
      {"MM_XMITPATH", "MM_XMITERSTATUS", "word"},
      {"MM_XMITPATH", "MM_XMITERSTATUS", "C:\\Data\\obs.txt"},
  };
  CloseSegments();
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.pszSegment) + " / " + c.pszRequest);
    // The other segment the request needs, held as the fixture holds it.
    CMemMapFile other;
    ASSERT_TRUE(segments::Attach(other, c.pszOther));
    const std::string strStatus = "READY";
    const std::string strFile = m_drive.WriteFile(
        "segment.bin", std::string(c.pszSegment) == "MM_XMITERSTATUS"
                           ? strStatus + std::string(4096 - 5, '\0')
                           : std::string(4096, '\0'));
    if (std::string(c.pszOther) == "MM_XMITERSTATUS") {
      ASSERT_EQ(segments::WriteText(other, strStatus), segments::Access::Done);
    }
    HANDLE hFile = CreateFileA(strFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    HANDLE hSection =
        CreateFileMappingA(hFile, nullptr, PAGE_READWRITE, 0, 0, c.pszSegment);
    const DWORD nError = GetLastError();
    ASSERT_NE(hSection, nullptr);
    ASSERT_NE(nError, DWORD{ERROR_ALREADY_EXISTS});

    wchar_t szWide[MAX_PATH] = {};
    ASSERT_GT(
        MultiByteToWideChar(CP_ACP, 0, strFile.c_str(), -1, szWide, MAX_PATH),
        0);
    char* pszUnix = unixName(szWide);
    ASSERT_NE(pszUnix, nullptr);
    const std::string strUnix = pszUnix;
    HeapFree(GetProcessHeap(), 0, pszUnix);
    // A Linux program started from Wine runs on after its Windows process
    // has ended: wait for the size it gave.
    const auto resize = [&](const char* pszSize, LONGLONG nSize) {
      testsupport::RunProcess({"/usr/bin/truncate", "-s", pszSize, strUnix});
      const auto deadline =
          std::chrono::steady_clock::now() + std::chrono::seconds(10);
      LARGE_INTEGER size{};
      while (GetFileSizeEx(hFile, &size) && size.QuadPart != nSize) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        Sleep(5);
      }
    };

    resize("0", 0);
    const std::string strLine = std::string("xversend: ") + c.pszSegment +
                                ": " + platform::errorText(ERROR_NOACCESS) +
                                "\n";
    for (int nRun = 1; nRun <= 2; ++nRun) {
      SCOPED_TRACE(nRun);
      const ProcessResult result = Run({c.pszRequest});
      EXPECT_EQ(result.nExitCode, 0);
      EXPECT_EQ(result.strStderr, strLine);
    }

    resize("4096", 4096);
    CMemMapFile restored;
    ASSERT_TRUE(segments::Attach(restored, c.pszSegment));
    if (std::string(c.pszSegment) == "MM_XMITERSTATUS") {
      ASSERT_EQ(segments::WriteText(restored, strStatus), segments::Access::Done);
    }
    const ProcessResult result = Run({"C:\\Data\\restored.txt"});
    EXPECT_EQ(result.nExitCode, 1);
    EXPECT_EQ(result.strStderr, "");
    std::string strPath;
    CMemMapFile& slot =
        std::string(c.pszSegment) == "MM_XMITPATH" ? restored : other;
    ASSERT_EQ(segments::ReadText(slot, strPath), segments::Access::Done);
    EXPECT_EQ(strPath, "C:\\Data\\restored.txt");

    restored.Close();
    CloseHandle(hSection);
    CloseHandle(hFile);
  }
}

}  // namespace
