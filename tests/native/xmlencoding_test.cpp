#include "options/UXmlEncoding.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "util/UdsErrors.h"

namespace {

// ASCII text as UTF-16 bytes of the given order.
std::string Utf16(const std::string& ascii, bool bigEndian)
{
  std::string out;
  for (char c : ascii)
    out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
  return out;
}

TEST(DecideXmlEncodingTest, CodePageAndRanges)
{
  const std::string bomLE = "\xFF\xFE", bomBE = "\xFE\xFF";
  struct Case {
    std::string text;
    unsigned codePage;
    size_t bom;
    std::string name;  // the declared name the ranges pick out, "" for none
    std::string cut;   // what the cut range covers
  } cases[] = {
    {"", 65001, 0, "", ""},
    {"<a/>", 65001, 0, "", ""},
    {"<?xml version=\"1.0\"?><a/>", 65001, 0, "", ""},
    {"<?xml version=\"1.0\" encoding=\"GB2312\"?><a/>", 936, 0, "GB2312", " encoding=\"GB2312\""},
    {"<?xml version='1.0' encoding='gbk'?>", 936, 0, "gbk", " encoding='gbk'"},
    {"<?xml version=\"1.0\"\r\n\tencoding = \"Cp936\" standalone=\"yes\"?>", 936, 0, "Cp936",
     "\r\n\tencoding = \"Cp936\""},
    {"<?xml version=\"1.0\" encoding=\"X-GBK\"?>", 936, 0, "X-GBK", " encoding=\"X-GBK\""},
    {"<?xml version=\"1.0\" encoding=\"windows-936\"?>", 936, 0, "windows-936", " encoding=\"windows-936\""},
    {"<?xml version=\"1.0\" encoding=\"GB18030\"?>", 54936, 0, "GB18030", " encoding=\"GB18030\""},
    {"<?xml version=\"1.0\" encoding=\"utf-8\"?>", 65001, 0, "utf-8", " encoding=\"utf-8\""},
    {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", 28591, 0, "ISO-8859-1", " encoding=\"ISO-8859-1\""},
    {"<?xml version=\"1.0\" encoding=\"Latin1\"?>", 28591, 0, "Latin1", " encoding=\"Latin1\""},
    {"<?xml version=\"1.0\" encoding=\"us-ascii\"?>", 20127, 0, "us-ascii", " encoding=\"us-ascii\""},
    {"<?xml version=\"1.0\" encoding=\"Windows-1252\"?>", 1252, 0, "Windows-1252", " encoding=\"Windows-1252\""},
    {"<?xml version=\"1.0\" encoding=\"BIG5\"?>", 950, 0, "BIG5", " encoding=\"BIG5\""},
    {"<?xml version=\"1.0\" encoding=\"shift_jis\"?>", 932, 0, "shift_jis", " encoding=\"shift_jis\""},
    {"<?xml version=\"1.0\" encoding=\"euc-kr\"?>", 949, 0, "euc-kr", " encoding=\"euc-kr\""},
    // A byte-order mark wins over the declaration, whose name is then not looked up.
    {"\xEF\xBB\xBF<a/>", 65001, 3, "", ""},
    {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"GB2312\"?>", 65001, 3, "GB2312", " encoding=\"GB2312\""},
    {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"nonsense\"?>", 65001, 3, "nonsense", " encoding=\"nonsense\""},
    {bomLE + Utf16("<a/>", false), 1200, 2, "", ""},
    {bomBE + Utf16("<a/>", true), 1201, 2, "", ""},
    {bomLE + Utf16("<?xml encoding='GBK'?>", false), 1200, 2, Utf16("GBK", false), Utf16(" encoding='GBK'", false)},
    {bomBE + Utf16("<?xml encoding=\"X\"?>", true), 1201, 2, Utf16("X", true), Utf16(" encoding=\"X\"", true)},
    {bomLE + Utf16("<?xml encoding='GBK", false) + "'", 1200, 2, "", ""},  // half a unit at the end
    // UTF-16 without a mark, told by the first characters "<?".
    {Utf16("<?xml encoding='UTF-16'?>", false), 1200, 0, Utf16("UTF-16", false), Utf16(" encoding='UTF-16'", false)},
    {Utf16("<?xml", true), 1201, 0, "", ""},
    // Only a declaration at the very start counts; other pseudo-attributes and PIs are not one.
    {" <?xml version=\"1.0\" encoding=\"GB2312\"?>", 65001, 0, "", ""},
    {"<a/><?xml version=\"1.0\" encoding=\"GB2312\"?>", 65001, 0, "", ""},
    {"<?xml-stylesheet encoding=\"GB2312\"?>", 65001, 0, "", ""},
    {"<?XML version=\"1.0\" encoding=\"GB2312\"?>", 65001, 0, "", ""},
    {"<?xml version=\"1.0\" Encoding=\"GB2312\"?>", 65001, 0, "", ""},
    {"<?xml version=\"1.0\" standalone=\"encoding='GB2312'\"?>", 65001, 0, "", ""},
    // Not well formed before the encoding: left to the parser.
    {"<?xml version=\"1.0\"encoding=\"GB2312\"?>", 65001, 0, "", ""},
    {"<?xml version=\"1.0\" encoding=\"GB2312", 65001, 0, "", ""},
    {"<?xml version=\"1.0\" encoding=\"GB2312'?>", 65001, 0, "", ""},
    {"<?xml version=\"1.0\" encoding=\"GB2312?><a b=\"x\"/>", 65001, 0, "", ""},
    {"<?xml version=\"1.0\" encoding GB2312?>", 65001, 0, "", ""},
    {"<?xml", 65001, 0, "", ""},
  };
  for (const Case& c : cases) {
    TXmlEncoding e = DecideXmlEncoding(c.text);
    EXPECT_EQ(e.CodePage, c.codePage) << c.text;
    EXPECT_EQ(e.BomLength, c.bom) << c.text;
    ASSERT_LE(e.NameBegin, e.NameEnd) << c.text;
    ASSERT_LE(e.CutBegin, e.CutEnd) << c.text;
    ASSERT_LE(e.CutEnd, c.text.size()) << c.text;
    EXPECT_EQ(c.text.substr(e.NameBegin, e.NameEnd - e.NameBegin), c.name) << c.text;
    EXPECT_EQ(c.text.substr(e.CutBegin, e.CutEnd - e.CutBegin), c.cut) << c.text;
  }
}

TEST(DecideXmlEncodingTest, RefusedDeclarations)
{
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
    {"<?xml version=\"1.0\" encoding=\"KLINGON-1\"?>", "Unknown XML encoding \"KLINGON-1\""},
    {"<?xml version=\"1.0\" encoding=''?>", "Unknown XML encoding \"\""},
    {"<?xml version=\"1.0\" encoding=\"GB 2312\"?>", "Unknown XML encoding \"GB 2312\""},
    {"<?xml version=\"1.0\" encoding=\"-GBK\"?>", "Unknown XML encoding \"-GBK\""},
    {"<?xml version=\"1.0\" encoding=\"国标\"?>", "Unknown XML encoding \"国标\""},
    {"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>",
     "The XML text declares the encoding \"UTF-16\" but is not UTF-16 text"},
    {"<?xml version=\"1.0\" encoding=\"utf-16le\"?><a/>",
     "The XML text declares the encoding \"utf-16le\" but is not UTF-16 text"},
  };
  for (const Case& c : cases) {
    try {
      DecideXmlEncoding(c.text);
      ADD_FAILURE() << "no error for " << c.text;
    } catch (const EdsError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(DecideXmlEncodingTest, CuttingTheAttributeLeavesAWellFormedDeclaration)
{
  std::string text = "<?xml version=\"1.0\" encoding=\"GB2312\" standalone=\"yes\"?><a/>";
  TXmlEncoding e = DecideXmlEncoding(text);
  text.erase(e.CutBegin, e.CutEnd - e.CutBegin);
  EXPECT_EQ(text, "<?xml version=\"1.0\" standalone=\"yes\"?><a/>");
  TXmlEncoding again = DecideXmlEncoding(text);
  EXPECT_EQ(again.CodePage, 65001u);
  EXPECT_EQ(again.NameBegin, again.NameEnd);
}

TEST(CodePageOfEncodingNameTest, KnownAndUnknownNames)
{
  struct Case {
    const char* name;
    unsigned codePage;
  } cases[] = {
    {"GB2312", 936}, {"gb2312", 936}, {"GBK", 936}, {"CP936", 936}, {"x-gbk", 936},
    {"WINDOWS-936", 936}, {"GB18030", 54936}, {"UTF-8", 65001}, {"Utf8", 65001},
    {"UTF-16", 1200}, {"UTF-16BE", 1201}, {"ISO-8859-1", 28591}, {"latin1", 28591},
    {"US-ASCII", 20127}, {"windows-1250", 1250}, {"windows-1258", 1258}, {"Big5", 950},
    {"Shift_JIS", 932}, {"EUC-KR", 949},
    {"", 0}, {"GB", 0}, {"GB23120", 0}, {"UTF-8 ", 0}, {"windows-1259", 0}
  };
  for (const Case& c : cases)
    EXPECT_EQ(CodePageOfEncodingName(c.name), c.codePage) << c.name;
}

TEST(SameNameIgnoringAsciiCaseTest, FoldsOnlyAsciiLetters)
{
  struct Case {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
    {"ScnrList", "scnrlist", true},
    {"ScnrList", "SCNRLIST", true},
    {"Options", "options", true},
    {"", "", true},
    {"a1_-.", "A1_-.", true},
    {"ScnrList", "ScnrLis", false},
    {"ScnrList", "ScnrList ", false},
    {"@", "`", false},  // 0x40 and 0x60 are not letters
    {"[", "{", false},
    {"选项", "选项", true},
    {"选项A", "选项a", true},
    {"选项", "选顶", false},
    // GBK characters whose second byte is an ASCII letter: 0x81 0x41 and 0x81 0x61 differ.
    {"\x81\x41", "\x81\x61", false},
    {"\x81\x41x", "\x81\x41X", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SameNameIgnoringAsciiCase(c.a, c.b), c.same) << c.a << " / " << c.b;
    EXPECT_EQ(SameNameIgnoringAsciiCase(c.b, c.a), c.same) << c.b << " / " << c.a;
  }
}

// Entity declarations, the way to an expansion bomb, are found wherever the internal subset holds
// them, and only there.
TEST(DeclaresEntitiesTest, OnlyInTheInternalSubset)
{
  struct Case {
    const wchar_t* text;
    bool declares;
  } cases[] = {
    {L"<Root/>", false},
    {L"<!DOCTYPE Root><Root/>", false},
    {L"<!DOCTYPE Root SYSTEM \"x.dtd\"><Root/>", false},
    {L"<!DOCTYPE Root [<!ELEMENT Root ANY>]><Root/>", false},
    {L"<!DOCTYPE Root [<!ENTITY a \"b\">]><Root>&a;</Root>", true},
    {L"<!DOCTYPE Root [\n  <!ELEMENT Root ANY>\n  <!ENTITY % p \"x\">\n]><Root/>", true},
    {L"<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 \"&lol;&lol;\">]><lolz>&lol2;</lolz>",
     true},
    // Not a declaration: in a comment, in a quoted literal, after the document type, in the text.
    {L"<!DOCTYPE Root [<!-- <!ENTITY a \"b\"> -->]><Root/>", false},
    {L"<!DOCTYPE Root [<!ATTLIST Root a CDATA \"<!ENTITY\">]><Root/>", false},
    {L"<!DOCTYPE Root><Root><![CDATA[<!ENTITY a \"b\">]]></Root>", false},
    {L"<Root>&lt;!ENTITY a \"b\"&gt;</Root>", false},
    // A "]" inside a literal does not end the subset.
    {L"<!DOCTYPE Root [<!ATTLIST Root a CDATA \"]\"><!ENTITY a \"b\">]><Root/>", true},
    // Cut off: the parser reports it; nothing here to find.
    {L"<!DOCTYPE Root [<!-- <!ENTITY", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DeclaresEntities(c.text), c.declares) << std::string(c.text, c.text + wcslen(c.text));
}

}  // namespace
