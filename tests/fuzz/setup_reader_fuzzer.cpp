// Any sequence of key-line and plain-line reads over any stream: the reader
// stays within its buffers and its results keep their promises.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "setup/setup_file_reader.h"

namespace {

const char* const kKeys[] = {
    "Transceiver Setup File  ",
    "X.25 address = ", "Coast Earth Station Address = ", "Com Port Number = "};

void Check(bool bHolds) {
  if (!bHolds) __builtin_trap();
}

// The text ends at its first Ctrl-Z: no read delivers one.
bool HasNoCtrlZ(const std::string& strText) {
  return strText.find('\x1A') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData,
                                      std::size_t nSize) {
  static const std::string strPath =
      "/dev/shm/xver_fuzz_reader_" + std::to_string(getpid()) + ".txt";
  FuzzedDataProvider data(pData, nSize);
  const int nReads = data.ConsumeIntegralInRange(1, 12);
  std::string strOps =
      data.ConsumeBytesAsString(static_cast<std::size_t>(nReads));
  std::string strOwnKey = data.ConsumeRandomLengthString(120);
  const std::string strContents = data.ConsumeRemainingBytesAsString();

  std::FILE* pFile = std::fopen(strPath.c_str(), "wb");
  if (!pFile) return 0;
  std::fwrite(strContents.data(), 1, strContents.size(), pFile);
  std::fclose(pFile);

  platform::TextFile stream;
  if (!stream.Open(strPath)) return 0;
  CSetupFileReader reader;
  for (const char op : strOps) {
    const auto nOp = static_cast<unsigned char>(op) % 6;
    if (nOp < 5) {
      const std::string strKey = nOp < 4 ? kKeys[nOp] : strOwnKey;
      std::string strValue = "untouched";
      const std::int32_t bMatched =
          reader.ReadKeyLine(strKey, strValue, stream);
      Check(bMatched == reader.IsLastReadOk());
      Check(bMatched ? strValue.size() <= 79
                     : strValue == CSetupFileReader::kBadFile);
      Check(HasNoCtrlZ(strValue));
    } else {
      const std::string strLine = reader.ReadLine(stream);
      const bool bFixed = strLine == CSetupFileReader::kEndOfFile ||
                          strLine == CSetupFileReader::kEmptyLine;
      Check(strLine.size() <= 299 && HasNoCtrlZ(strLine));
      if (!bFixed) {
        Check(reader.IsLastReadOk() == 1);
        Check(strLine.empty() ||
              std::string(" \t\n\v\f\r").find(strLine.back()) ==
                  std::string::npos);
      }
    }
  }
  return 0;
}
