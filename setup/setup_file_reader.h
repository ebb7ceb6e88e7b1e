// CSetupFileReader: reads the setup file one line at a time, either as a key
// line, which must begin with a given key and carries a value ended by ';', or
// as a plain line. A NUL counts as an ordinary character. Failures come back
// as fixed texts in place of data. The caller opens and closes the stream; the
// reader keeps nothing between reads.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

class CSetupFileReader {
 public:
  static constexpr char kBadFile[] = "BAD FILE";
  static constexpr char kEndOfFile[] = "End Of File Reached";
  static constexpr char kEmptyLine[] = "Empty Line Reached";

  // Reads as many characters as strKey has (fewer when the line ends first)
  // and compares them with it. On a match, reads the rest of the line, at most
  // 79 characters with its line end, stores the text before its first ';',
  // trimmed, in strValue (empty when there is no ';') and returns 1; a longer
  // line leaves its excess for the next read. Otherwise stores "BAD FILE" and
  // returns 0, leaving the stream just behind the characters read. A key of
  // more than 79 characters never matches and reads nothing.
  std::int32_t ReadKeyLine(const std::string& strKey, std::string& strValue,
                           platform::TextFile& stream);

  // The next line, at most 299 characters of it, without trailing white space;
  // a longer line is delivered in pieces. "End Of File Reached" when the
  // stream's end-of-file indicator is already set; "Empty Line Reached" when
  // nothing was read or the line is only its line end.
  std::string ReadLine(platform::TextFile& stream);

  // 0 when the most recent read ended in one of the fixed failure texts.
  std::int32_t IsLastReadOk() const { return m_bLastReadOk; }

 private:
  // Shared by both reads of a key line: the key with its NUL, then the rest.
  static constexpr int kKeyLineBufferSize = 80;
  static constexpr int kLineBufferSize = 300;

  std::int32_t m_bLastReadOk = 1;
};
