#include "util/UStrConv.h"

#include <climits>

#include <gtest/gtest.h>

#include "util/UdsErrors.h"

namespace {

TEST(StrToIntTest, ValidTexts)
{
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {
    {"0", 0},
    {"201", 201},
    {"+201", 201},
    {"-201", -201},
    {"-0", 0},
    {"  42", 42},
    {"\t42", 42},
    {" -7", -7},
    {"007", 7},
    {"0000000000000000000001", 1},
    {"2147483647", INT32_MAX},
    {"-2147483648", INT32_MIN},
    {"+2147483647", INT32_MAX},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
    EXPECT_EQ(StrToIntDef(c.text, 99), c.value) << c.text;
  }
}

TEST(StrToIntTest, InvalidTextsRaiseOrGiveDefault)
{
  const char* cases[] = {
    "", " ", "+", "-", "+-1", "--1", "1 ", "4 2", "42a", "a42", "0x10", "1.5", "1e3",
    "2147483648", "-2147483649", "99999999999", "-99999999999", "18446744073709551616",
    "4294967296", "１２",  // full-width digits are not digits
  };
  for (const char* text : cases) {
    EXPECT_THROW(StrToInt(text), EConvertError) << text;
    EXPECT_EQ(StrToIntDef(text, -77), -77) << text;
  }
}

TEST(StrToIntTest, ErrorMessageNamesTheText)
{
  try {
    StrToInt("x1");
    FAIL() << "no error";
  } catch (const EdsError& e) {
    EXPECT_STREQ(e.what(), "'x1' is not a valid integer value");
  }
}

TEST(StrToIntTest, RoundTripsIntToStr)
{
  const int32_t values[] = {0, 1, -1, 9, 10, 199, 200, 201, INT32_MAX, INT32_MIN, INT32_MAX - 1, INT32_MIN + 1};
  for (int32_t v : values)
    EXPECT_EQ(StrToInt(IntToStr(v)), v);
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(IntToStr(-5), "-5");
}

TEST(QuotedStrTest, DoublesInnerQuotes)
{
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
    {"", "''"},
    {"abc", "'abc'"},
    {"O'Neil", "'O''Neil'"},
    {"'", "''''"},
    {"''", "''''''"},
    {"a'b'c", "'a''b''c'"},
    {"扫描'仪", "'扫描''仪'"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(QuotedStr(c.text), c.expected) << c.text;
}

TEST(TrimTest, StripsControlAndBlankBytesAtBothEnds)
{
  struct Case {
    std::string text;
    std::string expected;
  } cases[] = {
    {"", ""},
    {"   ", ""},
    {" a ", "a"},
    {"\t\r\na b\r\n", "a b"},
    {std::string("\0x\0", 3), "x"},
    {"\x01" "a\x1f", "a"},
    {"a", "a"},
    {" 扫描 ", "扫描"},
    {"\x7f" "a", "\x7f" "a"},  // DEL is above 0x20
  };
  for (const Case& c : cases)
    EXPECT_EQ(Trim(c.text), c.expected);
}

}  // namespace
