#include "setup/setup_validator.h"

#include "setup/text.h"

namespace {

std::int32_t ConsistsOf(const std::string& strText, const char* pszAllowed) {
  return strText.find_first_not_of(pszAllowed) == std::string::npos ? 1 : 0;
}

}  // namespace

std::int32_t CSetupValidator::IsNumericWithPoint(std::string strText) const {
  return ConsistsOf(strText, "0123456789.");
}

std::int32_t CSetupValidator::IsNumeric(std::string strText) const {
  return ConsistsOf(strText, "0123456789");
}

std::int32_t CSetupValidator::IsYes(std::string strText) const {
  // White space at the ends cannot be part of a word, so no trim is needed.
  for (const char* pszWord : {"TRUE", "True", "true", "YES", "Yes", "yes"}) {
    if (text::Contains(strText, pszWord)) return 1;
  }
  return 0;
}
