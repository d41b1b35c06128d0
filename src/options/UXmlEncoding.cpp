#include "options/UXmlEncoding.h"

#include "util/UdsErrors.h"

namespace {
// Reads the text as a sequence of code units: single bytes, or 16-bit units of either byte order.
// The XML declaration is ASCII in every encoding handled here, so it is scanned unit by unit.
class TUnitReader {
public:
  TUnitReader(const std::string& Bytes, size_t Start, unsigned CodePage)
    : FBytes(Bytes), FStart(Start),
      FWidth(CodePage == kCodePageUtf16LE || CodePage == kCodePageUtf16BE ? 2 : 1),
      FBigEndian(CodePage == kCodePageUtf16BE)
  {
  }

  // The unit at index I, or -1 past the end.
  long At(size_t I) const
  {
    size_t offset = FStart + I * FWidth;
    if (offset + FWidth > FBytes.size())
      return -1;
    auto byte = [&](size_t k) { return static_cast<unsigned char>(FBytes[offset + k]); };
    if (FWidth == 1)
      return byte(0);
    return FBigEndian ? (byte(0) << 8 | byte(1)) : (byte(1) << 8 | byte(0));
  }

  size_t Offset(size_t I) const { return FStart + I * FWidth; }
  bool Wide() const { return FWidth == 2; }

private:
  const std::string& FBytes;
  size_t FStart;
  size_t FWidth;
  bool FBigEndian;
};

bool IsBlank(long c) { return c == 0x20 || c == 0x09 || c == 0x0D || c == 0x0A; }

bool IsPseudoAttributeNameChar(long c)
{
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '-' || c == ':';
}

// EncName ::= [A-Za-z] ([A-Za-z0-9._] | '-')*
bool IsEncodingName(const std::string& Name)
{
  if (Name.empty())
    return false;
  for (size_t i = 0; i < Name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(Name[i]);
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-')))
      return false;
  }
  return true;
}

// Finds encoding="..." in an XML declaration at the start of the units and fills the Name and Cut
// ranges. A declaration that is not well formed before its encoding is left to the parser.
void FindDeclaredEncoding(const TUnitReader& Units, TXmlEncoding& Result)
{
  size_t i = 0;
  for (const char* p = "<?xml"; *p; ++p, ++i)
    if (Units.At(i) != *p)
      return;
  for (;;) {
    size_t blanksBegin = i;
    while (IsBlank(Units.At(i)))
      ++i;
    if (i == blanksBegin)
      return;  // "?>", or pseudo-attributes run together
    std::string name;
    for (; IsPseudoAttributeNameChar(Units.At(i)); ++i)
      name += static_cast<char>(Units.At(i));
    if (name.empty())
      return;
    while (IsBlank(Units.At(i)))
      ++i;
    if (Units.At(i++) != '=')
      return;
    while (IsBlank(Units.At(i)))
      ++i;
    long quote = Units.At(i++);
    if (quote != '"' && quote != '\'')
      return;
    size_t valueBegin = i;
    for (long c = Units.At(i); c != quote; c = Units.At(++i))
      if (c < 0 || c == '<' || c == '>')
        return;  // no closing quote inside the declaration
    size_t valueEnd = i++;
    if (name == "encoding") {
      Result.NameBegin = Units.Offset(valueBegin);
      Result.NameEnd = Units.Offset(valueEnd);
      Result.CutBegin = Units.Offset(blanksBegin);
      Result.CutEnd = Units.Offset(i);
      return;
    }
  }
}

bool StartsWith(const std::string& Bytes, const char* Prefix, size_t Length)
{
  return Bytes.size() >= Length && Bytes.compare(0, Length, Prefix, Length) == 0;
}

struct TEncodingName {
  const char* Name;
  unsigned CodePage;
};

const TEncodingName kEncodingNames[] = {
  {"UTF-8", 65001}, {"UTF8", 65001},
  {"UTF-16", kCodePageUtf16LE}, {"UTF-16LE", kCodePageUtf16LE}, {"UTF-16BE", kCodePageUtf16BE},
  {"ISO-10646-UCS-2", kCodePageUtf16LE}, {"UCS-2", kCodePageUtf16LE},
  {"GB2312", 936}, {"GBK", 936}, {"CP936", 936}, {"MS936", 936}, {"x-gbk", 936},
  {"windows-936", 936}, {"csGB2312", 936}, {"GB_2312-80", 936}, {"EUC-CN", 936},
  {"GB18030", 54936},
  {"Big5", 950}, {"CP950", 950},
  {"Shift_JIS", 932}, {"SJIS", 932}, {"MS_Kanji", 932}, {"windows-31J", 932}, {"CP932", 932},
  {"EUC-KR", 949}, {"KS_C_5601-1987", 949}, {"CP949", 949},
  {"US-ASCII", 20127}, {"ASCII", 20127},
  {"ISO-8859-1", 28591}, {"ISO_8859-1", 28591}, {"latin1", 28591}, {"l1", 28591},
  {"ISO-8859-2", 28592}, {"ISO-8859-3", 28593}, {"ISO-8859-4", 28594}, {"ISO-8859-5", 28595},
  {"ISO-8859-6", 28596}, {"ISO-8859-7", 28597}, {"ISO-8859-8", 28598}, {"ISO-8859-9", 28599},
  {"ISO-8859-15", 28605}, {"KOI8-R", 20866}, {"KOI8-U", 21866},
  {"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252}, {"windows-1253", 1253},
  {"windows-1254", 1254}, {"windows-1255", 1255}, {"windows-1256", 1256}, {"windows-1257", 1257},
  {"windows-1258", 1258}, {"windows-874", 874},
};
}  // namespace

unsigned CodePageOfEncodingName(const std::string& Name)
{
  for (const TEncodingName& e : kEncodingNames)
    if (SameNameIgnoringAsciiCase(Name, e.Name))
      return e.CodePage;
  return 0;
}

TXmlEncoding DecideXmlEncoding(const std::string& Bytes)
{
  TXmlEncoding result;
  bool fromBytes = true;  // the code page comes from a byte-order mark or the first bytes
  if (StartsWith(Bytes, "\xEF\xBB\xBF", 3)) {
    result.BomLength = 3;
  } else if (StartsWith(Bytes, "\xFF\xFE", 2)) {
    result.BomLength = 2;
    result.CodePage = kCodePageUtf16LE;
  } else if (StartsWith(Bytes, "\xFE\xFF", 2)) {
    result.BomLength = 2;
    result.CodePage = kCodePageUtf16BE;
  } else if (StartsWith(Bytes, "<\0?\0", 4)) {
    result.CodePage = kCodePageUtf16LE;  // UTF-16 declaration without a mark
  } else if (StartsWith(Bytes, "\0<\0?", 4)) {
    result.CodePage = kCodePageUtf16BE;
  } else {
    fromBytes = false;
  }

  FindDeclaredEncoding(TUnitReader(Bytes, result.BomLength, result.CodePage), result);
  if (fromBytes || result.CutBegin == result.CutEnd)
    return result;

  std::string name = Bytes.substr(result.NameBegin, result.NameEnd - result.NameBegin);
  unsigned codePage = IsEncodingName(name) ? CodePageOfEncodingName(name) : 0;
  if (codePage == 0)
    throw EdsError("Unknown XML encoding \"" + name + "\"");
  if (codePage == kCodePageUtf16LE || codePage == kCodePageUtf16BE)
    throw EdsError("The XML text declares the encoding \"" + name + "\" but is not UTF-16 text");
  result.CodePage = codePage;
  return result;
}

bool SameNameIgnoringAsciiCase(const std::string& A, const std::string& B)
{
  if (A.size() != B.size())
    return false;
  auto fold = [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
  for (size_t i = 0; i < A.size(); ++i) {
    unsigned char a = static_cast<unsigned char>(A[i]);
    unsigned char b = static_cast<unsigned char>(B[i]);
    if (a >= 0x81 && a <= 0xFE) {
      // A GBK lead byte: it and the byte after it compare exactly.
      if (a != b || (i + 1 < A.size() && A[i + 1] != B[i + 1]))
        return false;
      ++i;
    } else if (fold(a) != fold(b)) {
      return false;
    }
  }
  return true;
}

bool DeclaresEntities(const std::wstring& Text)
{
  const size_t doctype = Text.find(L"<!DOCTYPE");
  if (doctype == std::wstring::npos)
    return false;
  // Up to the end of the declaration: the ">" after its internal subset "[...]", if it has one.
  wchar_t quote = 0;
  bool inSubset = false;
  for (size_t i = doctype + 9; i < Text.size(); ++i) {
    const wchar_t c = Text[i];
    if (quote) {
      if (c == quote)
        quote = 0;
    } else if (Text.compare(i, 4, L"<!--") == 0) {
      const size_t end = Text.find(L"-->", i + 4);
      if (end == std::wstring::npos)
        return false;  // the parser rejects an unterminated comment itself
      i = end + 2;
    } else if (c == L'"' || c == L'\'') {
      quote = c;
    } else if (c == L'[') {
      inSubset = true;
    } else if (c == L']') {
      inSubset = false;
    } else if (c == L'>' && !inSubset) {
      return false;
    } else if (inSubset && Text.compare(i, 8, L"<!ENTITY") == 0) {
      return true;
    }
  }
  return false;
}

std::string XmlEncodingLabel(const std::string& Bytes, const TXmlEncoding& Encoding)
{
  if (Encoding.BomLength == 0 && Encoding.CutBegin < Encoding.CutEnd &&
      Encoding.CodePage != kCodePageUtf16LE && Encoding.CodePage != kCodePageUtf16BE)
    return Bytes.substr(Encoding.NameBegin, Encoding.NameEnd - Encoding.NameBegin);
  if (Encoding.CodePage == kCodePageUtf16LE)
    return "UTF-16LE";
  if (Encoding.CodePage == kCodePageUtf16BE)
    return "UTF-16BE";
  return "UTF-8";
}

std::u16string DecodeUtf16(const std::string& Bytes, size_t Start, bool BigEndian, const std::string& Label)
{
  if ((Bytes.size() - Start) % 2 != 0)
    throw EdsError("The XML text is not valid " + Label + " text (odd number of bytes)");
  std::u16string text;
  text.reserve((Bytes.size() - Start) / 2);
  for (size_t i = Start; i < Bytes.size(); i += 2) {
    unsigned char first = static_cast<unsigned char>(Bytes[i]);
    unsigned char second = static_cast<unsigned char>(Bytes[i + 1]);
    text += static_cast<char16_t>(BigEndian ? (first << 8 | second) : (second << 8 | first));
  }
  for (size_t i = 0; i < text.size(); ++i) {
    bool high = text[i] >= 0xD800 && text[i] <= 0xDBFF;
    bool low = text[i] >= 0xDC00 && text[i] <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
      ++i;
    else if (high || low)
      throw EdsError("The XML text is not valid " + Label + " text (unpaired surrogate)");
  }
  return text;
}
