// The setup-file check of CXverInterface: reads the transceiver setup file in
// its fixed line order, stores the settings and validates them.
#include "platform/platform.h"
#include "setup/setup_file_reader.h"
#include "setup/text.h"
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
  if (m_strSetupFilePath.empty()) return 0;
  platform::TextFile file;
  if (!file.Open(platform::hostPath(m_strSetupFilePath))) return 0;

  CSetupFileReader reader;
  // A key line counts as failed when its value holds "BAD FILE": the reader
  // stores that on a mismatch, and a value may hold it too.
  std::string strValue;
  const auto readKeyLine = [&](const char* pszKey) {
    reader.ReadKeyLine(pszKey, strValue, file);
    return !text::Contains(strValue, CSetupFileReader::kBadFile);
  };

  if (!readKeyLine(kHeaderKey)) return 0;
  reader.ReadLine(file);  // free text
  std::string strBinaryLine = reader.ReadLine(file);
  if (!text::Contains(strBinaryLine, kBinaryLineMark)) {
    strBinaryLine = reader.ReadLine(file);
  }
  const std::size_t nEquals = strBinaryLine.find('=');
  SetAutoBinaryXmit(m_validator.IsYes(nEquals == std::string::npos
                                          ? strBinaryLine
                                          : strBinaryLine.substr(nEquals + 1)));

  if (!readKeyLine(kX25Key)) return 0;
  SetX25Address(strValue);
  if (!readKeyLine(kCesKey)) return 0;
  SetCesAddress(strValue);
  if (!readKeyLine(kComPortKey)) return 0;
  SetComPortNumber(strValue);
  file.Close();

  m_bSetupValid = ValidateSetup() != 0 ? 1 : 0;
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
