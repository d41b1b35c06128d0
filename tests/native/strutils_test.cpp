#include "util/UdsStrUtils.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
  const char* text;
  const char* separator;
  TStringList items;
};

class SplitStringTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitStringTest, GivesItemsInOrder)
{
  const SplitCase& c = GetParam();
  TStringList list = {"left over", "from before"};
  TdsStrUtils::SplitString(c.text, c.separator, list);
  EXPECT_EQ(list, c.items) << "text [" << c.text << "] separator [" << c.separator << "]";
}

INSTANTIATE_TEST_SUITE_P(Cases, SplitStringTest, ::testing::Values(
  SplitCase{"a;b", ";", {"a", "b"}},
  SplitCase{";a;b;", ";", {"a", "b"}},
  SplitCase{"a;;b", ";", {"a", "", "b"}},
  SplitCase{"abc", ";", {"abc"}},
  SplitCase{";", ";", {}},
  SplitCase{"", ";", {""}},
  SplitCase{"a;", ";", {"a"}},
  SplitCase{";a", ";", {"a"}},
  SplitCase{";;", ";", {""}},
  SplitCase{";;;", ";", {"", ""}},
  SplitCase{" a , b ", ";", {" a , b "}},          // no separator: whole text, untrimmed
  SplitCase{" a ; b ", ";", {" a ", " b "}},       // items untrimmed
  SplitCase{"a;b", "", {"a;b"}},                   // an empty separator never occurs
  SplitCase{"", "", {""}},
  SplitCase{"a::b::::c", "::", {"a", "b", "", "c"}},
  SplitCase{"::a::", "::", {"a"}},
  SplitCase{"x:y", "::", {"x:y"}},
  SplitCase{"C:\\TWAIN_32\\a.ds;C:\\WINDOWS\\twain_32\\b.ds", ";",
            {"C:\\TWAIN_32\\a.ds", "C:\\WINDOWS\\twain_32\\b.ds"}},
  SplitCase{"扫描仪;发票", ";", {"扫描仪", "发票"}}));

TEST(QuotedJoinTest, QuotesEveryItemAndJoins)
{
  struct Case {
    TStringList list;
    char separator;
    const char* expected;
  } cases[] = {
    {{}, ',', ""},
    {{""}, ',', "''"},
    {{"", ""}, ',', "'',''"},
    {{"O'Neil"}, ',', "'O''Neil'"},
    {{"201", "205"}, ',', "'201','205'"},
    {{"'"}, ';', "''''"},
    {{"a,b", "c"}, ',', "'a,b','c'"},
    {{"扫描"}, ',', "'扫描'"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TdsStrUtils::QuotedJoin(c.list, c.separator), c.expected);
}

TEST(SplitAndQuoteTest, SplitsThenQuotes)
{
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
    {"201;205", "'201','205'"},
    {"", "''"},
    {";", ""},
    {"201", "'201'"},
    {";201;205;", "'201','205'"},
    {"201;;205", "'201','','205'"},
    {"2'01;205", "'2''01','205'"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TdsStrUtils::SplitAndQuote(c.text, ';', ','), c.expected) << c.text;
}

TEST(CopyFromTest, CopiesFromBytePosition)
{
  struct Case {
    const char* text;
    int position;
    const char* expected;
  } cases[] = {
    {"+201;205", 2, "201;205"},
    {"+", 2, ""},
    {"abc", 1, "abc"},
    {"abc", 3, "c"},
    {"abc", 4, ""},
    {"abc", 1000, ""},
    {"", 1, ""},
    {"abc", 0, "abc"},
    {"abc", -5, "abc"},
    {"abc", INT32_MAX, ""},
    {"扫描", 3, "描"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TdsStrUtils::CopyFrom(c.text, c.position), c.expected) << c.text << " @" << c.position;
}

}  // namespace
