#include "options/UOptionsDocument.h"

#include <memory>

#include "util/UdsErrors.h"

using Microsoft::WRL::ComPtr;

namespace {
struct TBstrFree {
  void operator()(BSTR Text) const { SysFreeString(Text); }
};
using TBstr = std::unique_ptr<OLECHAR, TBstrFree>;

void Check(HRESULT hr)
{
  if (FAILED(hr))
    throw EdsError("The XML parser failed on the options document");
}

bool IsOptions(BSTR Name) { return Name && std::wstring(Name, SysStringLen(Name)) == L"Options"; }

bool IsOptionsElement(IXMLDOMNode* Node)
{
  DOMNodeType type = NODE_INVALID;
  Check(Node->get_nodeType(&type));
  if (type != NODE_ELEMENT)
    return false;
  BSTR raw = nullptr;
  Check(Node->get_nodeName(&raw));
  TBstr name(raw);
  raw = nullptr;
  Check(Node->get_baseName(&raw));
  TBstr baseName(raw);
  return IsOptions(name.get()) || IsOptions(baseName.get());
}
}  // namespace

TXmlNode OptionsRoot(const std::string& Text)
{
  ComPtr<IXMLDOMDocument> document = TdsXMLParser::LoadXML(Text);
  ComPtr<IXMLDOMElement> element;
  Check(document->get_documentElement(element.GetAddressOf()));
  if (!element)
    throw EdsError("The options document has no document element");
  TXmlNode root;
  Check(element->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(root.GetAddressOf())));
  return root;
}

TXmlNode OptionsNode(const std::string& Text)
{
  TXmlNode root = OptionsRoot(Text);
  TXmlNode child;
  Check(root->get_firstChild(child.GetAddressOf()));
  while (child) {
    if (IsOptionsElement(child.Get()))
      return child;
    TXmlNode next;
    Check(child->get_nextSibling(next.GetAddressOf()));
    child = next;
  }

  ComPtr<IXMLDOMDocument> document;
  Check(root->get_ownerDocument(document.GetAddressOf()));
  TBstr name(SysAllocStringLen(L"Options", 7));
  if (!name)
    throw EdsError("Out of memory");
  ComPtr<IXMLDOMElement> element;
  Check(document->createElement(name.get(), element.GetAddressOf()));
  TXmlNode appended;
  Check(root->appendChild(element.Get(), appended.GetAddressOf()));
  return appended;
}
