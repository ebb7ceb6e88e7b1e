// The setup-file check of CXverInterface: reads the transceiver setup file in
// its fixed line order, stores the settings and validates them.
#include "platform/platform.h"
#include "setup/setup_file_reader.h"
#include "setup/text.h"
#include "sharedmem/messages.h"
#include "sharedmem/xver_interface.h"

namespace {

constexpr char kHeaderKey[] = "Transceiver Setup File  ";
constexpr char kBinaryLineMark[] = "Automatic Binary Transmission Enabled";
constexpr char kX25Key[] = "X.25 address = ";
constexpr char kCesKey[] = "Coast Earth Station Address = ";
constexpr char kComPortKey[] = "Com Port Number = ";

}  // namespace

std::int32_t CXverInterface::ReadSetupFile() {
  m_bSetupValid = 0;
  m_strSetupProblem.clear();
  if (m_strSetupFilePath.empty()) return 0;
  const std::string strPath = platform::hostPath(m_strSetupFilePath);
  platform::TextFile file;
  if (!file.Open(strPath)) {
    m_strSetupProblem = messages::SetupUnreadable(strPath, file.GetProblem());
    return 0;
  }

  CSetupFileReader reader;
  // The lines in the order they are read, for the reason of a failure.
  int nLine = 0;
  const auto readLine = [&] {
    ++nLine;
    return reader.ReadLine(file);
  };
  // A key line counts as failed when its value holds "BAD FILE": the reader
  // stores that on a mismatch, and a value may hold it too.
  std::string strValue;
  const auto readKeyLine = [&](const char* pszKey) {
    ++nLine;
    const bool bKeyFound = reader.ReadKeyLine(pszKey, strValue, file) != 0;
    if (!text::Contains(strValue, CSetupFileReader::kBadFile)) return true;
    m_strSetupProblem =
        bKeyFound ? messages::SetupValueSaysBadFile(strPath, nLine,
                                                    CSetupFileReader::kBadFile)
                  : messages::SetupKeyExpected(strPath, nLine, pszKey);
    return false;
  };

  if (!readKeyLine(kHeaderKey)) return 0;
  readLine();  // free text
  std::string strBinaryLine = readLine();
  if (!text::Contains(strBinaryLine, kBinaryLineMark)) {
    strBinaryLine = readLine();
  }
  const std::size_t nEquals = strBinaryLine.find('=');
  SetAutoBinaryXmit(m_validator.IsYes(nEquals == std::string::npos
                                          ? strBinaryLine
                                          : strBinaryLine.substr(nEquals + 1)));

  if (!readKeyLine(kX25Key)) return 0;
  SetX25Address(strValue);
  if (!readKeyLine(kCesKey)) return 0;
  SetCesAddress(strValue);
  const int nCesLine = nLine;
  if (!readKeyLine(kComPortKey)) return 0;
  SetComPortNumber(strValue);
  file.Close();

  m_bSetupValid = ValidateSetup() != 0 ? 1 : 0;
  // The first rule that failed, in the order the check takes them.
  if (!m_bSetupValid) {
    m_strSetupProblem =
        m_validator.IsNumericWithPoint(GetComPortNumber()) == 0
            ? messages::SetupValueInvalid(strPath, nLine, "com-port number",
                                          GetComPortNumber(),
                                          "digits and '.' only")
            : messages::SetupValueInvalid(
                  strPath, nCesLine, "coast earth station address",
                  GetCesAddress(), "exactly three digits");
  }
  return m_bSetupValid;
}

std::int32_t CXverInterface::ValidateSetup() {
  const std::string strCesAddress = GetCesAddress();
  return m_validator.IsNumericWithPoint(GetComPortNumber()) != 0 &&
                 strCesAddress.size() == 3 &&
                 m_validator.IsNumeric(strCesAddress) != 0
             ? 1
             : 0;
}

void CXverInterface::SetAutoBinaryXmit(std::int32_t bValue) {
  m_bAutoBinaryXmit = bValue;
}

void CXverInterface::SetX25Address(const std::string& strValue) {
  m_strX25Address = strValue;
}

void CXverInterface::SetCesAddress(const std::string& strValue) {
  m_strCesAddress = strValue;
}

void CXverInterface::SetComPortNumber(const std::string& strValue) {
  m_strComPortNumber = strValue;
}

std::string CXverInterface::GetCesAddress() const { return m_strCesAddress; }

std::string CXverInterface::GetComPortNumber() const {
  return m_strComPortNumber;
}
