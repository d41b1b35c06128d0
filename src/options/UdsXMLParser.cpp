#include "options/UdsXMLParser.h"

#include <cstdio>
#include <memory>

#include "options/UXmlEncoding.h"
#include "util/UStrConv.h"
#include "util/UdsErrors.h"

using Microsoft::WRL::ComPtr;

namespace {
// Not in mingw-w64's import libraries.
const CLSID kClsidDomDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
const CLSID kClsidDomDocument30 = {0xf5078f32, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};
const IID kIidDomDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

struct TBstrFree {
  void operator()(BSTR Text) const { SysFreeString(Text); }
};
using TBstr = std::unique_ptr<OLECHAR, TBstrFree>;

TBstr MakeBstr(const std::wstring& Text)
{
  TBstr result(SysAllocStringLen(Text.data(), static_cast<UINT>(Text.size())));
  if (!result)
    throw EdsError("Out of memory");
  return result;
}

std::wstring BstrText(const TBstr& Text) { return Text ? std::wstring(Text.get(), SysStringLen(Text.get())) : std::wstring(); }

struct TVariant {
  VARIANT Value;
  TVariant() { VariantInit(&Value); }
  ~TVariant() { VariantClear(&Value); }
  TVariant(const TVariant&) = delete;
  TVariant& operator=(const TVariant&) = delete;
};

void Check(HRESULT hr, const char* What)
{
  if (FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(hr));
    throw EdsError(std::string("The XML parser failed in ") + What + " (0x" + code + ")");
  }
}

std::wstring NodeName(IXMLDOMNode* Node)
{
  BSTR raw = nullptr;
  Check(Node->get_nodeName(&raw), "nodeName");
  return BstrText(TBstr(raw));
}

// The text as the parser gets it: UTF-16, without the byte-order mark and without the
// declaration's encoding pseudo-attribute.
std::wstring DecodeXmlText(const std::string& Text)
{
  TXmlEncoding encoding = DecideXmlEncoding(Text);
  std::string label = XmlEncodingLabel(Text, encoding);
  std::string bytes = Text;
  bytes.erase(encoding.CutBegin, encoding.CutEnd - encoding.CutBegin);
  if (encoding.CodePage == kCodePageUtf16LE || encoding.CodePage == kCodePageUtf16BE) {
    const std::u16string units = DecodeUtf16(bytes, encoding.BomLength, encoding.CodePage == kCodePageUtf16BE, label);
    return std::wstring(units.begin(), units.end());
  }

  const char* data = bytes.data() + encoding.BomLength;
  int size = static_cast<int>(bytes.size() - encoding.BomLength);
  if (size == 0)
    return {};
  // Every code page DecideXmlEncoding gives accepts MB_ERR_INVALID_CHARS.
  int n = MultiByteToWideChar(encoding.CodePage, MB_ERR_INVALID_CHARS, data, size, nullptr, 0);
  if (n == 0) {
    if (GetLastError() == ERROR_NO_UNICODE_TRANSLATION)
      throw EdsError("The XML text is not valid " + label + " text");
    throw EdsError("The XML encoding \"" + label + "\" (code page " + IntToStr(encoding.CodePage) +
                   ") is not available on this system");
  }
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(encoding.CodePage, MB_ERR_INVALID_CHARS, data, size, wide.data(), n);
  return wide;
}

ComPtr<IXMLDOMDocument> CreateDocument()
{
  ComPtr<IXMLDOMDocument> document;
  if (SUCCEEDED(CoCreateInstance(kClsidDomDocument60, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                 reinterpret_cast<void**>(document.GetAddressOf())))) {
    // 6.0 refuses a DOCTYPE unless told otherwise; a host's document may carry one.
    ComPtr<IXMLDOMDocument2> document2;
    if (SUCCEEDED(document->QueryInterface(kIidDomDocument2, reinterpret_cast<void**>(document2.GetAddressOf())))) {
      TBstr name = MakeBstr(L"ProhibitDTD");
      TVariant value;
      value.Value.vt = VT_BOOL;
      value.Value.boolVal = VARIANT_FALSE;
      document2->setProperty(name.get(), value.Value);
    }
  } else {
    // Windows XP without MSXML 6.
    HRESULT hr = CoCreateInstance(kClsidDomDocument30, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                  reinterpret_cast<void**>(document.ReleaseAndGetAddressOf()));
    if (FAILED(hr))
      throw EdsError("The XML parser (MSXML 6.0 or 3.0) is not available");
  }
  Check(document->put_async(VARIANT_FALSE), "async");
  Check(document->put_validateOnParse(VARIANT_FALSE), "validateOnParse");
  Check(document->put_resolveExternals(VARIANT_FALSE), "resolveExternals");
  Check(document->put_preserveWhiteSpace(VARIANT_FALSE), "preserveWhiteSpace");
  return document;
}

[[noreturn]] void RaiseParseError(IXMLDOMDocument* Document)
{
  std::string message;
  long line = 0;
  ComPtr<IXMLDOMParseError> error;
  if (SUCCEEDED(Document->get_parseError(error.GetAddressOf())) && error) {
    BSTR raw = nullptr;
    if (SUCCEEDED(error->get_reason(&raw)))
      message = Trim(WideToAnsi(BstrText(TBstr(raw))));
    if (FAILED(error->get_line(&line)))
      line = 0;
  }
  if (message.empty())
    message = "XML parse error";
  if (line > 0)
    message += "\r\nLine: " + IntToStr(line);
  throw EdsError(message);
}

// Equal names: with IgnoreCase, in the ANSI code page with ASCII letters folded; else exactly.
bool NameMatches(const std::wstring& ChildName, const std::string& Name, const std::wstring& WideName,
                 bool IgnoreCase)
{
  if (!IgnoreCase)
    return ChildName == WideName;
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, ChildName.data(), static_cast<int>(ChildName.size()),
                              nullptr, 0, nullptr, &usedDefault);
  if (n == 0 || usedDefault)
    return false;  // a name the ANSI code page cannot spell equals no GBK name
  std::string ansi(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, ChildName.data(), static_cast<int>(ChildName.size()),
                      ansi.data(), n, nullptr, nullptr);
  return SameNameIgnoringAsciiCase(ansi, Name);
}
}  // namespace

ComPtr<IXMLDOMDocument> TdsXMLParser::LoadXML(const std::string& Text)
{
  const std::wstring decoded = DecodeXmlText(Text);
  if (DeclaresEntities(decoded))
    throw EdsError("The XML text declares entities in its document type declaration, which an options document "
                   "may not do");
  TBstr text = MakeBstr(decoded);
  ComPtr<IXMLDOMDocument> document = CreateDocument();
  VARIANT_BOOL loaded = VARIANT_FALSE;
  HRESULT hr = document->loadXML(text.get(), &loaded);
  if (FAILED(hr) || loaded != VARIANT_TRUE)
    RaiseParseError(document.Get());
  return document;
}

bool TdsXMLParser::SelectNode(IXMLDOMNode* Parent, const std::string& Path, TXmlNode& Node)
{
  return SelectNode(Parent, Path, Node, true);
}

bool TdsXMLParser::SelectNode(IXMLDOMNode* Parent, const std::string& Path, TXmlNode& Node, bool IgnoreCase)
{
  TXmlNode current = Parent;
  size_t start = 0;
  for (;;) {
    size_t slash = Path.find('/', start);
    std::string head = Path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    TXmlNode child;
    if (!FindChildNode(current.Get(), head, child, IgnoreCase)) {
      Node.Reset();
      return false;
    }
    if (slash == std::string::npos) {
      Node = child;
      return true;
    }
    current = child;
    start = slash + 1;
  }
}

bool TdsXMLParser::FindChildNode(IXMLDOMNode* Parent, const std::string& Name, TXmlNode& Node, bool IgnoreCase)
{
  Node.Reset();
  if (!Parent || Name.empty())
    return false;
  std::wstring wideName = AnsiToWide(Name);
  TXmlNode child;
  Check(Parent->get_firstChild(child.GetAddressOf()), "firstChild");
  while (child) {
    DOMNodeType type = NODE_INVALID;
    Check(child->get_nodeType(&type), "nodeType");
    if (type == NODE_ELEMENT && NameMatches(NodeName(child.Get()), Name, wideName, IgnoreCase)) {
      Node = child;
      return true;
    }
    TXmlNode next;
    Check(child->get_nextSibling(next.GetAddressOf()), "nextSibling");
    child = next;
  }
  return false;
}

std::string TdsXMLParser::GetNodeText(IXMLDOMNode* Element)
{
  if (!Element)
    throw EdsError("No XML element to read a text from");
  TXmlNode first, second;
  Check(Element->get_firstChild(first.GetAddressOf()), "firstChild");
  if (!first)
    return {};
  Check(first->get_nextSibling(second.GetAddressOf()), "nextSibling");
  DOMNodeType type = NODE_INVALID;
  Check(first->get_nodeType(&type), "nodeType");
  if (second || (type != NODE_TEXT && type != NODE_CDATA_SECTION))
    throw EdsError("Element \"" + GetNodeName(Element) + "\" does not contain a single text node");
  TVariant value;
  Check(first->get_nodeValue(&value.Value), "nodeValue");
  if (value.Value.vt != VT_BSTR || !value.Value.bstrVal)
    return {};
  return WideToAnsi(std::wstring(value.Value.bstrVal, SysStringLen(value.Value.bstrVal)));
}

std::string TdsXMLParser::GetNodeName(IXMLDOMNode* Node) { return WideToAnsi(NodeName(Node)); }
