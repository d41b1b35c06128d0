// XML documents through the system's parser (MSXML) and path queries into them. Nodes are
// IXMLDOMNode references; a node keeps its document alive. Names, paths and texts are GBK.
// The callers' thread has COM initialised (the call frame does it around every export).
#pragma once
#include <windows.h>
#include <ole2.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <string>

using TXmlNode = Microsoft::WRL::ComPtr<IXMLDOMNode>;

class TdsXMLParser {
public:
  TdsXMLParser() = delete;

  // A new document parsed from Text, whose bytes are decoded as its byte-order mark or XML
  // declaration says (UTF-8 when neither is present). Parsed without validation, without
  // resolving external references and without white-space-only text between elements.
  // Raises EdsError with the parser's reason (and "\r\nLine: <n>" when the parser gives a line)
  // when Text is not well-formed XML, the empty text included, or when its bytes do not decode.
  static Microsoft::WRL::ComPtr<IXMLDOMDocument> LoadXML(const std::string& Text);

  // The element a path of child names separated by "/" leads to from Parent, names compared
  // with the case of ASCII letters ignored. False, and Node empty, when a step finds nothing
  // (an empty name, as in "", "/a", "a/" or "a//b", matches no child).
  static bool SelectNode(IXMLDOMNode* Parent, const std::string& Path, TXmlNode& Node);
  // As above; IgnoreCase false compares names exactly.
  static bool SelectNode(IXMLDOMNode* Parent, const std::string& Path, TXmlNode& Node, bool IgnoreCase);
  // One step of a path: the first child element of Parent named Name (false when Parent is null).
  static bool FindChildNode(IXMLDOMNode* Parent, const std::string& Name, TXmlNode& Node, bool IgnoreCase);

  // The text of an element: "" when it has no children, the text of its only child when that is
  // a text or CDATA section; raises EdsError for any other content.
  static std::string GetNodeText(IXMLDOMNode* Element);
  // The node's name as the document spells it (with its prefix).
  static std::string GetNodeName(IXMLDOMNode* Node);
};
