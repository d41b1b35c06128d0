// How the bytes of an XML text are decoded, decided as XML 1.0 does: a byte-order mark wins; else
// the encoding named in the XML declaration at the very start; else UTF-8. The Win32 side converts
// the bytes to UTF-16 with the code page decided here and hands the parser Unicode text, so the
// declaration's encoding pseudo-attribute is cut out of that text (it no longer describes it).
#pragma once
#include <cstddef>
#include <string>

constexpr unsigned kCodePageUtf16LE = 1200;
constexpr unsigned kCodePageUtf16BE = 1201;
constexpr unsigned kCodePageUtf8 = 65001;

struct TXmlEncoding {
  unsigned CodePage = kCodePageUtf8;  // a Windows code page, or kCodePageUtf16LE/BE
  size_t BomLength = 0;               // bytes of the byte-order mark at the start (0, 2 or 3)
  // Byte range of the declared encoding name (between the quotes).
  size_t NameBegin = 0;
  size_t NameEnd = 0;
  // Byte range to cut: the encoding pseudo-attribute with the blanks before it. Empty when the
  // text declares no encoding.
  size_t CutBegin = 0;
  size_t CutEnd = 0;
};

// Raises EdsError when the declaration names an encoding this library does not know (the message
// names it) or names UTF-16 for a text that is not UTF-16.
TXmlEncoding DecideXmlEncoding(const std::string& Bytes);

// The Windows code page of an encoding name as XML declarations spell it (case ignored); 0 when
// the name is unknown. UTF-16 names give kCodePageUtf16LE.
unsigned CodePageOfEncodingName(const std::string& Name);

// Whether the document type declaration of Text (UTF-16, as the parser gets it) declares an entity:
// "<!ENTITY" in its internal subset, outside comments and quoted literals. Such a declaration is the
// way to a document that expands to gigabytes from a few hundred bytes (an "entity expansion bomb"),
// and the system's parser may expand it without limit; an options document has no use for one.
bool DeclaresEntities(const std::wstring& Text);

// Equal texts, with the case of the ASCII letters A to Z ignored and every other character compared
// exactly. Texts are GBK: the second byte of a double-byte character is never folded.
bool SameNameIgnoringAsciiCase(const std::string& A, const std::string& B);

// The encoding a text was decoded in, for messages: the declared name, or UTF-16LE, UTF-16BE or
// UTF-8 as decided without one.
std::string XmlEncodingLabel(const std::string& Bytes, const TXmlEncoding& Encoding);

// The bytes from Start on as UTF-16 code units in the given byte order. Raises EdsError naming
// Label when the bytes cannot be UTF-16: an odd number of them, or a surrogate without its pair.
std::u16string DecodeUtf16(const std::string& Bytes, size_t Start, bool BigEndian, const std::string& Label);
