// Text helpers for the setup-file code.
#pragma once

#include <string>

namespace text {

// White space: blank, horizontal tab, line feed, vertical tab, form feed and
// carriage return.
inline constexpr char kWhiteSpace[] = " \t\n\v\f\r";

// strText without white space at its right end.
inline std::string TrimRight(const std::string& strText) {
  const std::size_t nLast = strText.find_last_not_of(kWhiteSpace);
  return nLast == std::string::npos ? std::string()
                                    : strText.substr(0, nLast + 1);
}

// strText without white space at either end.
inline std::string Trim(const std::string& strText) {
  const std::size_t nFirst = strText.find_first_not_of(kWhiteSpace);
  if (nFirst == std::string::npos) return std::string();
  const std::size_t nLast = strText.find_last_not_of(kWhiteSpace);
  return strText.substr(nFirst, nLast - nFirst + 1);
}

// True when strPart occurs anywhere in strText, byte for byte.
inline bool Contains(const std::string& strText, const std::string& strPart) {
  return strText.find(strPart) != std::string::npos;
}

}  // namespace text
