#include "setup/setup_file_reader.h"

#include "setup/text.h"

namespace {

// One read of the stream as a text of every character it stored: a NUL among
// them is kept, so it hides nothing from the checks after it.
std::string ReadText(platform::TextFile& stream, char* pBuffer, int nCount) {
  return std::string(pBuffer,
                     static_cast<std::size_t>(stream.Gets(pBuffer, nCount)));
}

}  // namespace

std::int32_t CSetupFileReader::ReadKeyLine(const std::string& strKey,
                                           std::string& strValue,
                                           platform::TextFile& stream) {
  m_bLastReadOk = 1;
  char szBuffer[kKeyLineBufferSize];
  if (strKey.size() >= sizeof szBuffer ||
      ReadText(stream, szBuffer, static_cast<int>(strKey.size()) + 1) !=
          strKey) {
    m_bLastReadOk = 0;
    strValue = kBadFile;
    return 0;
  }
  const std::string strRest = ReadText(stream, szBuffer, kKeyLineBufferSize);
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
  const std::string strLine = ReadText(stream, szLine, kLineBufferSize);
  if (strLine.empty() || strLine[0] == '\n') {
    m_bLastReadOk = 0;
    return kEmptyLine;
  }
  return text::TrimRight(strLine);
}
