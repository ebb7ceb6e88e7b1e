#include "sharedmem/messages.h"

namespace messages {

namespace {

const char kNoHolder[] = ": no process holds it";

std::string Quoted(const std::string& strText) {
  return '"' + segments::Escape(strText) + '"';
}

}  // namespace

std::string PathTooLong(std::size_t nLength, std::size_t nLimit) {
  return "path too long: " + std::to_string(nLength) +
         " characters, the limit is " + std::to_string(nLimit);
}

std::string NotTaken(const std::string& strWaiting, std::uint32_t nWaitMs) {
  return std::string(segments::kXmitPath) +
         ": the path waiting there was not taken within " +
         std::to_string(nWaitMs) + " ms: " + Quoted(strWaiting);
}

std::string Replaced(const std::string& strWaiting) {
  return std::string(segments::kXmitPath) +
         ": replaced the path waiting there: " + Quoted(strWaiting);
}

std::string NoHolder(segments::Id id) {
  return segments::Name(id) + std::string(kNoHolder) +
         (id == segments::Id::XmitPath
              ? ": nobody would take the path"
              : ": is the transceiver-control process running?");
}

std::string HeldPast(std::uint32_t nWaitMs) {
  return "locked: another process held its mutex past " +
         std::to_string(nWaitMs) + " ms";
}

std::string Abandoned() {
  return "abandoned: a process died holding its mutex (taken over now)";
}

std::string Absent() { return "absent" + std::string(kNoHolder); }

std::string SetupUnreadable(const std::string& strPath,
                            const std::string& strWhy) {
  return strPath + ": cannot be opened: " + strWhy;
}

namespace {

std::string AtLine(const std::string& strPath, int nLine) {
  return strPath + ": line " + std::to_string(nLine) + ": ";
}

}  // namespace

std::string SetupKeyExpected(const std::string& strPath, int nLine,
                             const std::string& strKey) {
  return AtLine(strPath, nLine) + "expected the key " + Quoted(strKey);
}

std::string SetupValueSaysBadFile(const std::string& strPath, int nLine,
                                  const std::string& strBadFile) {
  return AtLine(strPath, nLine) + "the value holds " + Quoted(strBadFile);
}

std::string SetupValueInvalid(const std::string& strPath, int nLine,
                              const char* pszSetting,
                              const std::string& strValue,
                              const char* pszRule) {
  return AtLine(strPath, nLine) + "the " + pszSetting + " " + Quoted(strValue) +
         " is not valid: " + pszRule;
}

std::string ArgumentsIgnored(int nIgnored) {
  return "only the first argument is the request; " + std::to_string(nIgnored) +
         " more ignored";
}

}  // namespace messages
