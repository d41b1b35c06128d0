// Finding entity declarations in an options text (the way to an expansion bomb). On arbitrary text:
// a declaration is only ever reported where "<!ENTITY" follows "<!DOCTYPE". Built around arbitrary
// filler (without the characters that open or close anything): a declaration in the internal subset
// is always found; one inside a comment or a quoted literal of the subset, or after the document type
// declaration, never is. Input: the text (each byte one character), also the filler.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "options/UXmlEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const std::wstring text(data, data + size);
  if (DeclaresEntities(text)) {
    const size_t doctype = text.find(L"<!DOCTYPE");
    FUZZ_CHECK(doctype != std::wstring::npos);
    FUZZ_CHECK(text.find(L"<!ENTITY", doctype) != std::wstring::npos);
  }

  std::wstring filler;
  for (wchar_t c : text)
    if (c != L'<' && c != L'>' && c != L'[' && c != L']' && c != L'"' && c != L'\'' && c != L'-')
      filler += c;
  const std::wstring open = L"<!DOCTYPE r [" + filler, close = filler + L"]><r>" + filler + L"</r>";
  FUZZ_CHECK(DeclaresEntities(open + L"<!ENTITY e \"v\">" + close));
  FUZZ_CHECK(DeclaresEntities(open + L"<!ELEMENT r ANY><!ENTITY % p 'v'>" + close));
  FUZZ_CHECK(!DeclaresEntities(open + L"<!-- <!ENTITY e \"v\"> -->" + close));
  FUZZ_CHECK(!DeclaresEntities(open + L"<!ATTLIST r a CDATA \"<!ENTITY\">" + close));
  FUZZ_CHECK(!DeclaresEntities(open + close + L"<![CDATA[<!ENTITY e \"v\">]]>"));
  FUZZ_CHECK(!DeclaresEntities(filler + L"<r>&lt;!ENTITY&gt;</r>"));
  return 0;
}
