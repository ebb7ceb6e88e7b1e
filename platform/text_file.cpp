// TextFile: fgets over a binary stream, read as the Windows runtime reads a
// text-mode file, on every platform: CR LF turned into one LF, and the text
// ending at the first Ctrl-Z.
#include "platform/platform.h"
#include "platform/regular_file.h"

namespace platform {

namespace {

// Old DOS editors end a text with it; a text-mode read stops there.
constexpr int kCtrlZ = 0x1A;

}  // namespace

bool TextFile::Open(const std::string& strPath) {
  Close();
  m_bTextEnded = false;
  m_bAtEnd = false;
  m_strProblem.clear();
  m_pFile = openRegularFile(strPath, m_strProblem);
  return m_pFile != nullptr;
}

int TextFile::ReadByte() noexcept {
  if (m_bTextEnded) return EOF;
  const int nChar = std::getc(m_pFile);
  if (nChar == kCtrlZ || (nChar == EOF && std::ferror(m_pFile) == 0)) {
    m_bTextEnded = true;
    return EOF;
  }
  return nChar;
}

int TextFile::Gets(char* pBuffer, int nCount) noexcept {
  if (m_pFile == nullptr || nCount <= 0) return 0;
  int nStored = 0;
  while (nStored < nCount - 1) {
    int nChar = ReadByte();
    if (nChar == EOF) {
      m_bAtEnd = m_bTextEnded;  // not on a read error
      break;
    }
    // Looking past a CR is not yet a read that ran into the end, so a CR
    // before the end stays a CR and leaves the indicator to the next read.
    if (nChar == '\r') {
      const int nNext = ReadByte();
      if (nNext == '\n') {
        nChar = '\n';
      } else if (nNext != EOF) {
        std::ungetc(nNext, m_pFile);
      }
    }
    pBuffer[nStored++] = static_cast<char>(nChar);
    if (nChar == '\n') break;
  }
  if (std::ferror(m_pFile) != 0 || (nStored == 0 && nCount > 1)) return 0;
  pBuffer[nStored] = '\0';
  return nStored;
}

bool TextFile::AtEnd() const noexcept { return m_pFile == nullptr || m_bAtEnd; }

void TextFile::Close() noexcept {
  if (m_pFile != nullptr) {
    std::fclose(m_pFile);
    m_pFile = nullptr;
  }
}

}  // namespace platform
