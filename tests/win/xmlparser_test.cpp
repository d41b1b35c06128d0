// The options document and the path queries into it, through the system's MSXML.
#include <windows.h>
#include <ole2.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <string>

#include <gtest/gtest.h>

#include "options/UOptionsDocument.h"
#include "options/UdsXMLParser.h"
#include "util/UStrConv.h"
#include "util/UdsErrors.h"

using Microsoft::WRL::ComPtr;

namespace {

// Every test runs in a COM apartment of its own, as an export's call frame gives the library.
class XmlTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_EQ(GetACP(), 936u);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  }
  void TearDown() override { CoUninitialize(); }

  // The text of the element at Path, or "(none)" when the path finds nothing.
  static std::string TextAt(IXMLDOMNode* Parent, const std::string& Path, bool IgnoreCase = true)
  {
    TXmlNode node;
    bool found = TdsXMLParser::SelectNode(Parent, Path, node, IgnoreCase);
    EXPECT_EQ(found, node != nullptr) << Path;
    return found ? TdsXMLParser::GetNodeText(node.Get()) : "(none)";
  }

  static long ChildCount(IXMLDOMNode* Node)
  {
    ComPtr<IXMLDOMNodeList> children;
    long count = -1;
    if (SUCCEEDED(Node->get_childNodes(children.GetAddressOf())))
      children->get_length(&count);
    return count;
  }

  static std::string Message(const std::string& Text)
  {
    try {
      OptionsNode(Text);
    } catch (const EdsError& e) {
      return e.what();
    }
    return "(no error)";
  }
};

const char kDocument[] =
  "<Host version=\"2\">\n"
  "  <Other/>\n"
  "  <Options>\n"
  "    <!-- the scanners this host offers -->\n"
  "    <?ScnrList not an element?>\n"
  "    <ScnrList>+201;205</ScnrList>\n"
  "    <ScnrList>+999</ScnrList>\n"
  "    <Sub><ScnrList>-7</ScnrList></Sub>\n"
  "  </Options>\n"
  "</Host>\n";

TEST_F(XmlTest, PathQueries)
{
  TXmlNode root = OptionsRoot(kDocument);
  TXmlNode options = OptionsNode(kDocument);
  ASSERT_EQ(TdsXMLParser::GetNodeName(root.Get()), "Host");
  ASSERT_EQ(TdsXMLParser::GetNodeName(options.Get()), "Options");
  EXPECT_EQ(ChildCount(options.Get()), 5);  // no white-space-only text between the elements
  struct Case {
    IXMLDOMNode* parent;
    const char* path;
    bool ignoreCase;
    const char* text;
  } cases[] = {
    // The first of two ScnrList children counts; a PI and a comment before it do not.
    {options.Get(), "ScnrList", true, "+201;205"},
    {options.Get(), "scnrlist", true, "+201;205"},
    {options.Get(), "SCNRLIST", true, "+201;205"},
    {options.Get(), "ScnrList", false, "+201;205"},
    {options.Get(), "scnrlist", false, "(none)"},
    {options.Get(), "Sub/ScnrList", true, "-7"},
    {root.Get(), "Options/ScnrList", true, "+201;205"},
    {root.Get(), "options/scnrlist", true, "+201;205"},
    {root.Get(), "options/scnrlist", false, "(none)"},
    {root.Get(), "OPTIONS/sub/SCNRLIST", true, "-7"},
    {root.Get(), "ScnrList", true, "(none)"},  // not a grandchild
    {root.Get(), "Options/Missing", true, "(none)"},
    {root.Get(), "Missing/ScnrList", true, "(none)"},
    {root.Get(), "Options/ScnrList/x", true, "(none)"},
    {root.Get(), "Options/ScnrLis", true, "(none)"},
    // An empty name matches no child.
    {root.Get(), "", true, "(none)"},
    {root.Get(), "/", true, "(none)"},
    {root.Get(), "/Options/ScnrList", true, "(none)"},
    {root.Get(), "Options/ScnrList/", true, "(none)"},
    {root.Get(), "Options//ScnrList", true, "(none)"},
    {options.Get(), "#comment", true, "(none)"},
    {nullptr, "Options", true, "(none)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TextAt(c.parent, c.path, c.ignoreCase), c.text) << c.path << " ignoreCase=" << c.ignoreCase;
}

TEST_F(XmlTest, SelectNodeWithoutIgnoreCaseArgumentIgnoresCaseAndEmptiesNodeWhenNothingFound)
{
  TXmlNode options = OptionsNode(kDocument);
  TXmlNode node = options;
  EXPECT_TRUE(TdsXMLParser::SelectNode(options.Get(), "sCnRlIsT", node));
  EXPECT_EQ(TdsXMLParser::GetNodeText(node.Get()), "+201;205");
  EXPECT_FALSE(TdsXMLParser::SelectNode(options.Get(), "Nothing", node));
  EXPECT_FALSE(node);
  node = options;
  EXPECT_FALSE(TdsXMLParser::FindChildNode(options.Get(), "Sub/ScnrList", node, true));
  EXPECT_FALSE(node);
}

TEST_F(XmlTest, ChineseNamesCompareExactlyApartFromAsciiCase)
{
  // 가 is not in GBK: the ANSI form of its name would be "?".
  const std::string text = u8"<根><Options><扫描仪A>甲</扫描仪A><扫描仪B>乙</扫描仪B><가>韩</가></Options></根>";
  TXmlNode root = OptionsRoot(text);
  EXPECT_EQ(TdsXMLParser::GetNodeName(root.Get()), "根");
  EXPECT_EQ(TextAt(root.Get(), "options/扫描仪b"), "乙");
  EXPECT_EQ(TextAt(root.Get(), "Options/扫描仪A", false), "甲");
  EXPECT_EQ(TextAt(root.Get(), "Options/扫描仪", true), "(none)");
  EXPECT_EQ(TextAt(root.Get(), "Options/?", true), "(none)");
}

TEST_F(XmlTest, OptionsNodeFindsOptionsByNameOrBaseName)
{
  struct Case {
    const char* text;
    const char* name;       // name of the Options element found
    const char* scnrList;   // text at ScnrList below it
  } cases[] = {
    {"<Host><Options><ScnrList>*</ScnrList></Options></Host>", "Options", "*"},
    {"<a><!--Options--><b/>text<Options><ScnrList>+1</ScnrList></Options><Options/></a>", "Options", "+1"},
    {"<x:Host xmlns:x=\"urn:host\"><x:Options><ScnrList>+2</ScnrList></x:Options></x:Host>", "x:Options", "+2"},
    {"<Host xmlns=\"urn:host\"><Options><ScnrList>+3</ScnrList></Options></Host>", "Options", "+3"},
    {"<Options><ScnrList>*</ScnrList></Options>", "Options", "(none)"},  // the document element is not a child
  };
  for (const Case& c : cases) {
    TXmlNode options = OptionsNode(c.text);
    ASSERT_TRUE(options) << c.text;
    EXPECT_EQ(TdsXMLParser::GetNodeName(options.Get()), c.name) << c.text;
    EXPECT_EQ(TextAt(options.Get(), "ScnrList"), c.scnrList) << c.text;
  }
}

TEST_F(XmlTest, OptionsNodeAppendsAnEmptyOptionsWhenNoneIsSpelledExactly)
{
  const char* texts[] = {
    "<Host><options><ScnrList>*</ScnrList></options></Host>",
    "<Host><OPTIONS/><Option/><Options.x/></Host>",
    "<Host/>",
    "<Host><Sub><Options/></Sub></Host>",
    "<Host Options=\"x\">Options<?Options?></Host>",
  };
  for (const char* text : texts) {
    TXmlNode options = OptionsNode(text);
    ASSERT_TRUE(options) << text;
    EXPECT_EQ(TdsXMLParser::GetNodeName(options.Get()), "Options") << text;
    EXPECT_EQ(ChildCount(options.Get()), 0) << text;
    EXPECT_EQ(TextAt(options.Get(), "ScnrList"), "(none)") << text;
    // It is the last child of the document element of that copy.
    TXmlNode parent, last;
    ASSERT_TRUE(SUCCEEDED(options->get_parentNode(parent.GetAddressOf())));
    EXPECT_EQ(TdsXMLParser::GetNodeName(parent.Get()), "Host") << text;
    ASSERT_TRUE(SUCCEEDED(parent->get_lastChild(last.GetAddressOf())));
    EXPECT_EQ(TdsXMLParser::GetNodeName(last.Get()), "Options") << text;
  }
}

TEST_F(XmlTest, EveryCallParsesAnIndependentDocument)
{
  const char text[] = "<Host><Other/></Host>";
  TXmlNode first = OptionsNode(text);   // appends Options to its copy
  TXmlNode second = OptionsNode(text);
  TXmlNode root = OptionsRoot(text);

  ComPtr<IXMLDOMDocument> document;
  ASSERT_TRUE(SUCCEEDED(first->get_ownerDocument(document.GetAddressOf())));
  ComPtr<IXMLDOMElement> added;
  ComPtr<IXMLDOMNode> appended;
  BSTR name = SysAllocString(L"ScnrList");
  ASSERT_TRUE(SUCCEEDED(document->createElement(name, added.GetAddressOf())));
  SysFreeString(name);
  ASSERT_TRUE(SUCCEEDED(first->appendChild(added.Get(), appended.GetAddressOf())));

  EXPECT_EQ(TextAt(first.Get(), "ScnrList"), "");
  EXPECT_EQ(TextAt(second.Get(), "ScnrList"), "(none)");
  EXPECT_EQ(ChildCount(root.Get()), 1);  // only Other: neither Options reached this copy
  EXPECT_EQ(TextAt(root.Get(), "Options"), "(none)");
}

TEST_F(XmlTest, ANodeKeepsItsDocumentAlive)
{
  TXmlNode scnrList;
  {
    TXmlNode options = OptionsNode(kDocument);
    ASSERT_TRUE(TdsXMLParser::SelectNode(options.Get(), "ScnrList", scnrList));
  }
  EXPECT_EQ(TdsXMLParser::GetNodeText(scnrList.Get()), "+201;205");
  TXmlNode parent;
  ASSERT_TRUE(SUCCEEDED(scnrList->get_parentNode(parent.GetAddressOf())));
  EXPECT_EQ(TdsXMLParser::GetNodeName(parent.Get()), "Options");
}

TEST_F(XmlTest, ElementText)
{
  struct Case {
    const char* xml;
    const char* text;
  } cases[] = {
    {"<a/>", ""},
    {"<a> \r\n\t</a>", ""},
    {"<a></a>", ""},
    {"<a>+201;205</a>", "+201;205"},
    {"<a><![CDATA[+201;<205>&]]></a>", "+201;<205>&"},
    {"<a>&lt;&amp;&#x2B;&#43;</a>", "<&++"},
    {u8"<a>增值税专用发票</a>", "增值税专用发票"},
  };
  for (const Case& c : cases) {
    TXmlNode root = OptionsRoot(c.xml);
    EXPECT_EQ(TdsXMLParser::GetNodeText(root.Get()), c.text) << c.xml;
  }
}

TEST_F(XmlTest, ElementTextRaisesForOtherContent)
{
  const char* texts[] = {
    "<a>x<b/></a>",
    "<a><b/></a>",
    "<a><b>x</b></a>",
    "<a>x<!--c--></a>",
    "<a><!--c--></a>",
    "<a><?pi x?></a>",
    "<a>x<![CDATA[y]]></a>",
  };
  for (const char* text : texts) {
    TXmlNode root = OptionsRoot(text);
    try {
      TdsXMLParser::GetNodeText(root.Get());
      ADD_FAILURE() << "no error for " << text;
    } catch (const EdsError& e) {
      EXPECT_STREQ(e.what(), "Element \"a\" does not contain a single text node") << text;
    }
  }
}

// Builds a UTF-16 byte string with a byte-order mark.
std::string Utf16LEWithBom(const std::wstring& text)
{
  std::string out = "\xFF\xFE";
  for (wchar_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

TEST_F(XmlTest, DocumentBytesAreDecodedAsTheyDeclare)
{
  struct Case {
    const char* what;
    std::string text;
    std::wstring name;  // text of Options/Name as UTF-16
  } cases[] = {
    // String literals here are GBK bytes.
    {"GBK declaring GB2312", "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<Host><Options><Name>增值税专用发票</Name></Options></Host>", L"增值税专用发票"},
    {"GBK declaring GBK", "<?xml version='1.0' encoding='GBK' standalone='yes'?><Host><Options><Name>发票</Name></Options></Host>", L"发票"},
    {"GBK declaring gb2312 in lower case, double-byte name", "<?xml version=\"1.0\" encoding=\"gb2312\"?><主机><Options><Name>票</Name></Options></主机>", L"票"},
    {"UTF-8 with a mark", std::string("\xEF\xBB\xBF") + u8"<Host><Options><Name>增值税</Name></Options></Host>", L"增值税"},
    {"UTF-8 with a mark over a GB2312 declaration", std::string("\xEF\xBB\xBF") + u8"<?xml version=\"1.0\" encoding=\"GB2312\"?><Host><Options><Name>税</Name></Options></Host>", L"税"},
    {"UTF-8 declared", u8"<?xml version=\"1.0\" encoding=\"UTF-8\"?><Host><Options><Name>专用</Name></Options></Host>", L"专用"},
    {"UTF-8 by default", u8"<Host><Options><Name>发票</Name></Options></Host>", L"发票"},
    {"UTF-16LE with a mark", Utf16LEWithBom(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Host><Options><Name>增值税专用发票</Name></Options></Host>"), L"增值税专用发票"},
    {"UTF-16LE with a mark, no declaration", Utf16LEWithBom(L"<Host><Options><Name>票</Name></Options></Host>"), L"票"},
    {"ISO-8859-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Host><Options><Name>caf\xE9</Name></Options></Host>", L"caf\u00E9"},
    {"windows-1252", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><Host><Options><Name>\x80</Name></Options></Host>", L"\u20AC"},
  };
  for (const Case& c : cases) {
    TXmlNode options;
    try {
      options = OptionsNode(c.text);
    } catch (const EdsError& e) {
      ADD_FAILURE() << c.what << ": " << e.what();
      continue;
    }
    TXmlNode name;
    ASSERT_TRUE(TdsXMLParser::SelectNode(options.Get(), "Name", name)) << c.what;
    EXPECT_EQ(AnsiToWide(TdsXMLParser::GetNodeText(name.Get())), c.name) << c.what;
  }
}

TEST_F(XmlTest, BytesThatDoNotDecodeRaise)
{
  struct Case {
    std::string text;
    const char* message;
  } cases[] = {
    {"<?xml version=\"1.0\" encoding=\"GB2312\"?><a>\x81\x20</a>", "The XML text is not valid GB2312 text"},
    {"<?xml version=\"1.0\" encoding=\"GB2312\"?><a>\xFF</a>", "The XML text is not valid GB2312 text"},
    {"<a>发票</a>", "The XML text is not valid UTF-8 text"},  // GBK bytes, nothing declared
    {"\xEF\xBB\xBF<a>\xC0\xAF</a>", "The XML text is not valid UTF-8 text"},
    {"<?xml version=\"1.0\" encoding=\"KLINGON\"?><a/>", "Unknown XML encoding \"KLINGON\""},
    {"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>", "The XML text declares the encoding \"UTF-16\" but is not UTF-16 text"},
    {Utf16LEWithBom(L"<a/>") + "x", "The XML text is not valid UTF-16LE text (odd number of bytes)"},
    {Utf16LEWithBom(L"<a>\xD800</a>"), "The XML text is not valid UTF-16LE text (unpaired surrogate)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Message(c.text), c.message) << c.text;
}

// The reason and line the parser itself reports for Text.
std::string ParserReport(const std::string& Text)
{
  ComPtr<IXMLDOMDocument> document;
  const CLSID domDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
  if (FAILED(CoCreateInstance(domDocument60, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                              reinterpret_cast<void**>(document.GetAddressOf()))))
    return "(no MSXML 6.0)";
  document->put_async(VARIANT_FALSE);
  std::wstring wide = AnsiToWide(Text);
  BSTR text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  VARIANT_BOOL loaded = VARIANT_FALSE;
  document->loadXML(text, &loaded);
  SysFreeString(text);
  ComPtr<IXMLDOMParseError> error;
  document->get_parseError(error.GetAddressOf());
  BSTR reason = nullptr;
  long line = 0;
  error->get_reason(&reason);
  error->get_line(&line);
  std::string report = Trim(WideToAnsi(reason ? std::wstring(reason, SysStringLen(reason)) : L""));
  SysFreeString(reason);
  if (report.empty())
    report = "XML parse error";
  if (line > 0)
    report += "\r\nLine: " + IntToStr(line);
  return report;
}

TEST_F(XmlTest, TextThatDoesNotParseRaisesTheParsersReason)
{
  const char* texts[] = {
    "",
    "   ",
    "not xml",
    "<Host>",
    "<Host><Options></Host>",
    "<Host/><Other/>",
    "<Host>\n<Options>\n<ScnrList>+201</ScnrLst>\n</Options>\n</Host>",
    "<Host a='1' a='2'/>",
  };
  for (const char* text : texts) {
    std::string message = Message(text);
    EXPECT_NE(message, "(no error)") << text;
    EXPECT_EQ(message, ParserReport(text)) << text;
    EXPECT_EQ(Trim(message), message) << text;
    EXPECT_THROW(OptionsRoot(text), EdsError) << text;
  }
}

TEST_F(XmlTest, ExternalEntitiesAreNotResolved)
{
  char folder[MAX_PATH];
  ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
  std::string path = std::string(folder) + "qrx_xmlparser_entity.xml";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const char content[] = "<ScnrList>+666</ScnrList>";
  DWORD written = 0;
  WriteFile(file, content, sizeof content - 1, &written, nullptr);
  CloseHandle(file);
  std::string text = "<!DOCTYPE Host [<!ENTITY list SYSTEM \"" + path +
                     "\">]><Host><Options>&list;</Options></Host>";
  std::string scnrList = "(error)";
  try {
    scnrList = TextAt(OptionsNode(text).Get(), "ScnrList");
  } catch (const EdsError&) {
  }
  DeleteFileA(path.c_str());
  EXPECT_NE(scnrList, "+666");
}

TEST_F(XmlTest, DocumentTypeDeclarationsAreAllowedAndNotFetched)
{
  const char* texts[] = {
    "<!DOCTYPE Host [<!ELEMENT Host ANY>]><Host><Options><ScnrList>*</ScnrList></Options></Host>",
    "<!DOCTYPE Host SYSTEM \"C:\\nowhere\\host.dtd\"><Host><Options><ScnrList>*</ScnrList></Options></Host>",
  };
  for (const char* text : texts) {
    try {
      EXPECT_EQ(TextAt(OptionsNode(text).Get(), "ScnrList"), "*") << text;
    } catch (const EdsError& e) {
      ADD_FAILURE() << text << ": " << e.what();
    }
  }
}

}  // namespace
