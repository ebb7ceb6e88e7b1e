#include "setup/setup_file_reader.h"

#include "setup/text.h"

std::int32_t CSetupFileReader::ReadKeyLine(const std::string& strKey,
                                           std::string& strValue,
                                           platform::TextFile& stream) {
  m_bLastReadOk = 1;
  char szBuffer[kKeyLineBufferSize];
  // A failed read leaves the buffer as it was, so it must not be compared.
  const bool bMatch =
      strKey.size() < sizeof szBuffer &&
      stream.Gets(szBuffer, static_cast<int>(strKey.size()) + 1) != nullptr &&
      strKey == szBuffer;
  if (!bMatch) {
    m_bLastReadOk = 0;
    strValue = kBadFile;
    return 0;
  }
  std::string strRest;
  if (stream.Gets(szBuffer, kKeyLineBufferSize) != nullptr) strRest = szBuffer;
  const std::size_t nEnd = strRest.find(';');
  strValue = nEnd == std::string::npos ? std::string()
                                       : text::Trim(strRest.substr(0, nEnd));
  return 1;
}

std::string CSetupFileReader::ReadLine(platform::TextFile& stream) {
  m_bLastReadOk = 1;
  if (stream.AtEnd()) {
    m_bLastReadOk = 0;
    return kEndOfFile;
  }
  char szLine[kLineBufferSize];
  if (stream.Gets(szLine, kLineBufferSize) == nullptr || szLine[0] == '\0' ||
      szLine[0] == '\n') {
    m_bLastReadOk = 0;
    return kEmptyLine;
  }
  return text::TrimRight(szLine);
}
