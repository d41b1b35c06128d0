// The host's options document: its text (DLLParams.OptionsXML) parsed afresh on every call, so
// every result belongs to a document of its own that lives as long as a node of it is held.
#pragma once
#include <string>

#include "options/UdsXMLParser.h"

// The document element of Text parsed into a new document. Raises EdsError when Text does not
// parse (TdsXMLParser::LoadXML).
TXmlNode OptionsRoot(const std::string& Text);

// The first child element of the document element named "Options", with or without a namespace
// prefix (exact case). When there is none, a new empty "Options" element appended to the document
// element of this parsed copy, so that every query below it finds nothing.
TXmlNode OptionsNode(const std::string& Text);
