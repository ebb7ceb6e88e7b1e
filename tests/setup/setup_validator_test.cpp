#include "setup/setup_validator.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  std::string strText;
  std::int32_t bExpected;
};

TEST(SetupValidatorTest, IsNumericWithPoint) {
  const Case kCases[] = {
      {"", 1},     {"1", 1},
      {"12", 1},   {"1.5", 1},
      {"..", 1},   {"0123456789.", 1},
      {"COM1", 0}, {"1 2", 0},
      {" 1", 0},   {"1\n", 0},
      {"1,5", 0},  {"-1", 0},
      {"+1", 0},   {std::string("1\0", 2), 0},
  };
  const CSetupValidator validator;
  for (const Case& c : kCases) {
    EXPECT_EQ(validator.IsNumericWithPoint(c.strText), c.bExpected)
        << ::testing::PrintToString(c.strText);
  }
}

TEST(SetupValidatorTest, IsNumeric) {
  const Case kCases[] = {
      {"", 1},    {"002", 1}, {"0123456789", 1}, {"1.5", 0},
      {"02A", 0}, {" 02", 0}, {"0x2", 0},        {"\xd9\xa3", 0},
  };
  const CSetupValidator validator;
  for (const Case& c : kCases) {
    EXPECT_EQ(validator.IsNumeric(c.strText), c.bExpected)
        << ::testing::PrintToString(c.strText);
  }
}

TEST(SetupValidatorTest, IsYesLooksForSixWordsAnywhere) {
  const Case kCases[] = {
      {"Yes", 1},    {"yes", 1},  {"YES", 1},        {"TRUE", 1},
      {"True", 1},   {"true", 1}, {" \tYes\r\n", 1}, {"No, Yes later", 1},
      {"untrue", 1}, {"eyes", 1}, {"No", 0},         {"FALSE", 0},
      {"Y", 0},      {"1", 0},    {"", 0},           {"yES", 0},
      {"tRUE", 0},   {"Ye s", 0}, {"Tru e", 0},      {"  ", 0},
  };
  const CSetupValidator validator;
  for (const Case& c : kCases) {
    EXPECT_EQ(validator.IsYes(c.strText), c.bExpected)
        << ::testing::PrintToString(c.strText);
  }
}

}  // namespace
