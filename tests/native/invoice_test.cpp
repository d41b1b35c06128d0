// A delivered page from the engine's record to the host's result file, and what each engine status
// means for the scan.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "scanning/UEngineStatus.h"
#include "scanning/UInvoiceBaseInfo.h"
#include "scanning/UNewPageRecord.h"

namespace {

using TRecord = std::array<uint8_t, kNewPageRecordSize>;

void Put(TRecord& Record, const TNewPageField& Field, const std::string& Bytes)
{
  ASSERT_LE(Bytes.size(), Field.Width);
  std::memcpy(Record.data() + Field.Offset, Bytes.data(), Bytes.size());
}

size_t CountOf(const std::string& Text, const std::string& What)
{
  size_t n = 0;
  for (size_t p = Text.find(What); p != std::string::npos; p = Text.find(What, p + What.size()))
    ++n;
  return n;
}

TEST(NewPageRecord, EachFieldComesFromItsOwnPlace)
{
  TRecord r{};
  Put(r, NewPageField::Info1, "1100052140");
  Put(r, NewPageField::Info2, "05321776");
  Put(r, NewPageField::Info3, "20261210");
  Put(r, NewPageField::Info4, "北京市海淀区中关村大街1号 010-12345678");
  Put(r, NewPageField::Info5, "110108000000001");
  Put(r, NewPageField::Info6, "1170.00");
  Put(r, NewPageField::Info7, "甲公司");
  Put(r, NewPageField::Info8, "乙公司");
  TInvoiceBaseInfo i = InvoiceOfNewPage(r.data());
  EXPECT_EQ(i.Info1, "1100052140");
  EXPECT_EQ(i.Info2, "05321776");
  EXPECT_EQ(i.Info3, "20261210");
  EXPECT_EQ(i.Info4, "北京市海淀区中关村大街1号 010-12345678");
  EXPECT_EQ(i.Info5, "110108000000001");
  EXPECT_EQ(i.Info6, "1170.00");
  EXPECT_EQ(i.Info7, "甲公司");
  EXPECT_EQ(i.Info8, "乙公司");
  EXPECT_EQ(i.ImageFile, "");
}

TEST(NewPageRecord, FieldValues)
{
  struct Case {
    const char* Name;
    std::string Bytes;  // at the start of Info2 (20 bytes), followed by Info3 = "NEXT"
    std::string Expected;
  } cases[] = {
      {"full width, no zero byte", std::string(20, 'A'), std::string(20, 'A')},
      {"starts with a zero byte", std::string("\0BCD", 4), ""},
      {"cut at the first zero byte", std::string("AB\0CD", 5), "AB"},
      {"blanks and control bytes at both ends", " \t\x01" "AB CD\r\n\x1f ", "AB CD"},
      {"only blanks", "    ", ""},
      {"GBK text", "增值税专用发票", "增值税专用发票"},
      {"bytes above 0x7F at the ends stay", "\x80" "A\xff", "\x80" "A\xff"},
  };
  for (const Case& c : cases) {
    TRecord r{};
    Put(r, NewPageField::Info2, c.Bytes);
    Put(r, NewPageField::Info3, "NEXT");
    EXPECT_EQ(NewPageFieldText(r.data(), NewPageField::Info2), c.Expected) << c.Name;
  }
  TRecord r{};
  r.fill('x');
  EXPECT_EQ(NewPageFieldText(r.data(), NewPageField::Info4), std::string(180, 'x')) << "the last field";
  EXPECT_EQ(NewPageFieldText(r.data(), NewPageField::ImagePath), std::string(258, 'x'));
}

TEST(ImageFileName, AtLeastFourDigits)
{
  EXPECT_EQ(ImageFileName(1), "T0001.tif");
  EXPECT_EQ(ImageFileName(12), "T0012.tif");
  EXPECT_EQ(ImageFileName(9999), "T9999.tif");
  EXPECT_EQ(ImageFileName(10000), "T10000.tif");
  EXPECT_EQ(ImageFileName(2147483647), "T2147483647.tif");
}

TEST(ResultFile, NineLinesOfBytesAsDelivered)
{
  TInvoiceBaseInfo empty;
  empty.ImageFile = "T0001.tif";
  EXPECT_EQ(ResultFileText(empty), "KVRNEWFP.T0001\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
  EXPECT_EQ(ResultFileText(empty).size(), 32u);

  TInvoiceBaseInfo i{"一", "2", "三 3", "四", "5", "6", "七", "8", "T10000.tif"};
  EXPECT_EQ(ResultFileText(i), "KVRNEWFP.T10000\r\n一\r\n2\r\n三 3\r\n四\r\n5\r\n6\r\n七\r\n8\r\n");
  i.ImageFile = "T0012.tif";
  EXPECT_EQ(ResultFileText(i).substr(0, 16), "KVRNEWFP.T0012\r\n");
}

TEST(ResultFile, LineBreaksInsideAFieldBecomeSpaces)
{
  TInvoiceBaseInfo i;
  i.ImageFile = "T0001.tif";
  i.Info2 = "a\rb\nc\r\nd";
  i.Info8 = "淺\n乗";  // trail bytes 0x5C and 0x97: never CR or LF in GBK
  const std::string text = ResultFileText(i);
  EXPECT_EQ(CountOf(text, "\r\n"), 9u);
  EXPECT_EQ(CountOf(text, "\r"), 9u);
  EXPECT_EQ(CountOf(text, "\n"), 9u);
  EXPECT_NE(text.find("\r\na b c  d\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n淺 乗\r\n"), std::string::npos);
}

TEST(EngineStatus, WhatEachStatusMeans)
{
  const std::string noPaper = "扫描仪没有正确连接或者扫描仪缺纸！", failed = "从扫描-识别系统读取新发票数据失败！";
  struct Case {
    int32_t Status;
    const char* Scanner;
    bool Delivered;
    std::string Message;  // "" = none
    TdsMessageKind Kind;
    int32_t Result;
  } cases[] = {
      {0, "201", true, "", mkInformation, 0},
      {5, "201", true, "", mkInformation, 0},
      {6, "601", true, "", mkInformation, 0},
      {1, "201", false, noPaper, mkWarning, -1},
      {1, "401", false, "", mkWarning, -1},
      {1, "0401", false, noPaper, mkWarning, -1},
      {2, "201", false, "发票扫描结束！", mkInformation, 0},
      {3, "201", false, failed, mkError, 2},
      {4, "201", false, "扫描仪卡纸！", mkError, 2},
      {16, "201", false, "无法识别的发票！", mkError, 2},
      {7, "201", false, failed, mkError, 2},
      {15, "201", false, failed, mkError, 2},
      {17, "201", false, failed, mkError, 2},
      {-1, "201", false, failed, mkError, 2},
      {-16, "201", false, failed, mkError, 2},
      {0x7FFFFFFF, "201", false, failed, mkError, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Status << " " << c.Scanner);
    TEngineStatusOutcome o = EngineStatusOutcome(c.Status, c.Scanner);
    EXPECT_EQ(o.PageDelivered, c.Delivered);
    EXPECT_EQ(o.Message ? std::string(o.Message) : std::string(), c.Message);
    if (!c.Delivered) {
      EXPECT_EQ(o.Kind, c.Kind);
      EXPECT_EQ(o.Result, c.Result);
    }
  }
}

}  // namespace
