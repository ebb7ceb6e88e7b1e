// CSetupValidator: stateless checks of setup-file values.
#pragma once

#include <cstdint>
#include <string>

class CSetupValidator {
 public:
  // 1 when every character is one of "0123456789."; the empty text passes.
  std::int32_t IsNumericWithPoint(std::string strText) const;
  // 1 when every character is one of "0123456789"; the empty text passes.
  std::int32_t IsNumeric(std::string strText) const;
  // 1 when the trimmed text contains "TRUE", "True", "true", "YES", "Yes" or
  // "yes" anywhere.
  std::int32_t IsYes(std::string strText) const;
};
