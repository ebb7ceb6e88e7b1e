// TextFile: fgets over a binary stream, with CR LF turned into one LF here so
// that a file reads alike on every platform, whatever its line ends.
#include "platform/platform.h"
#include "platform/regular_file.h"

namespace platform {

bool TextFile::Open(const std::string& strPath) {
  Close();
  m_pFile = openRegularFile(strPath);
  return m_pFile != nullptr;
}

int TextFile::Gets(char* pBuffer, int nCount) noexcept {
  if (m_pFile == nullptr || nCount <= 0) return 0;
  int nStored = 0;
  while (nStored < nCount - 1) {
    int nChar = std::getc(m_pFile);
    if (nChar == EOF) break;
    if (nChar == '\r') {
      const int nNext = std::getc(m_pFile);
      if (nNext == '\n') {
        nChar = '\n';
      } else if (nNext != EOF) {
        std::ungetc(nNext, m_pFile);
      } else if (std::ferror(m_pFile) == 0) {
        // Looking past a final CR is not yet a read that ran into the end.
        std::clearerr(m_pFile);
      }
    }
    pBuffer[nStored++] = static_cast<char>(nChar);
    if (nChar == '\n') break;
  }
  if (std::ferror(m_pFile) != 0 || (nStored == 0 && nCount > 1)) return 0;
  pBuffer[nStored] = '\0';
  return nStored;
}

bool TextFile::AtEnd() const noexcept {
  return m_pFile == nullptr || std::feof(m_pFile) != 0;
}

void TextFile::Close() noexcept {
  if (m_pFile != nullptr) {
    std::fclose(m_pFile);
    m_pFile = nullptr;
  }
}

}  // namespace platform
