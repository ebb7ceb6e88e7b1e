#include "platform/win32/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Args = std::vector<std::wstring>;

// As the C runtime splits them for argv (Microsoft's table of examples, and
// what the runtime under test gives); CommandLineToArgvW differs on some.
TEST(CommandLineTest, SplitsAsTheCRuntimeDoes) {
  const struct {
    const wchar_t* pszLine;
    Args args;
  } kCases[] = {
      {L"x.exe \"a b c\" d e", {L"x.exe", L"a b c", L"d", L"e"}},
      {L"x.exe \"ab\\\"c\" \"\\\\\" d", {L"x.exe", L"ab\"c", L"\\", L"d"}},
      {L"x.exe a\\\\\\b d\"e f\"g h", {L"x.exe", L"a\\\\\\b", L"de fg", L"h"}},
      {L"x.exe a\\\\\\\"b c d", {L"x.exe", L"a\\\"b", L"c", L"d"}},
      {L"x.exe a\\\\\\\\\"b c\" d e", {L"x.exe", L"a\\\\b c", L"d", L"e"}},
      {L"x.exe C:\\data\\a.txt", {L"x.exe", L"C:\\data\\a.txt"}},
      {L"x.exe \"C:\\Program Files\\\\\"", {L"x.exe", L"C:\\Program Files\\"}},
      // "" inside a quoted part is a quote, and the part goes on.
      {L"x.exe \"a\"\"b c\" d", {L"x.exe", L"a\"b c", L"d"}},
      {L"x.exe \"\"\"a\"\"\" b", {L"x.exe", L"\"a\"", L"b"}},
      {L"x.exe a\"\"b c", {L"x.exe", L"ab", L"c"}},
      {L"x.exe \"\" b", {L"x.exe", L"", L"b"}},
      {L"x.exe \"a b", {L"x.exe", L"a b"}},
      {L"x.exe\ta\t \t", {L"x.exe", L"a"}},
      // Only the first argument is special: quotes, no backslash rules.
      {L"\"C:\\Program Files\\x.exe\" a", {L"C:\\Program Files\\x.exe", L"a"}},
      {L"\"C:\\dir\\\"x.exe a", {L"C:\\dir\\x.exe", L"a"}},
      {L"C:\\dir\\x\".exe a\" b", {L"C:\\dir\\x.exe a", L"b"}},
      {L"x.exe", {L"x.exe"}},
      {L"", {L""}},
      // The fullwidth quote is a character like any other.
      {L"x.exe ＂a b＂", {L"x.exe", L"＂a", L"b＂"}},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(platform::splitCommandLine(c.pszLine), c.args)
        << std::string(c.pszLine, c.pszLine + wcslen(c.pszLine));
  }
}

}  // namespace
