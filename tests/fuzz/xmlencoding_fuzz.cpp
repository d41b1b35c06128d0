// DecideXmlEncoding on arbitrary bytes, alone and behind the starts of an XML declaration (so the
// random part lands in the pseudo-attributes and the encoding name): it raises nothing but
// EdsError, and the ranges it gives lie inside the input, in order, on whole code units.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "options/UXmlEncoding.h"
#include "util/UdsErrors.h"

namespace {
std::string Utf16LE(const std::string& ascii)
{
  std::string out;
  for (char c : ascii)
    out += std::string{c, '\0'};
  return out;
}

void Check(const std::string& text)
{
  TXmlEncoding e;
  try {
    e = DecideXmlEncoding(text);
  } catch (const EdsError&) {
    return;
  }
  TXmlEncoding again = DecideXmlEncoding(text);
  FUZZ_CHECK(again.CodePage == e.CodePage && again.CutBegin == e.CutBegin && again.CutEnd == e.CutEnd);

  FUZZ_CHECK(e.BomLength == 0 || e.BomLength == 2 || e.BomLength == 3);
  FUZZ_CHECK(e.BomLength <= text.size());
  bool wide = e.CodePage == kCodePageUtf16LE || e.CodePage == kCodePageUtf16BE;
  FUZZ_CHECK(e.BomLength != 3 || e.CodePage == kCodePageUtf8);
  FUZZ_CHECK(e.BomLength != 2 || wide);

  if (e.CutBegin == e.CutEnd) {
    FUZZ_CHECK(e.CutBegin == 0 && e.NameBegin == 0 && e.NameEnd == 0);
    if (e.BomLength == 0 && !wide)
      FUZZ_CHECK(e.CodePage == kCodePageUtf8);
    return;
  }
  size_t unit = wide ? 2 : 1;
  FUZZ_CHECK(e.BomLength + 5 * unit <= e.CutBegin);  // after "<?xml"
  FUZZ_CHECK(e.CutBegin < e.NameBegin && e.NameBegin <= e.NameEnd && e.NameEnd < e.CutEnd);
  FUZZ_CHECK(e.CutEnd <= text.size());
  for (size_t offset : {e.CutBegin, e.NameBegin, e.NameEnd, e.CutEnd})
    FUZZ_CHECK((offset - e.BomLength) % unit == 0);
  // The cut ends with the closing quote, and cutting it out leaves the start of the declaration.
  char quote = text[e.CutEnd - (wide && e.CodePage == kCodePageUtf16LE ? 2 : 1)];
  FUZZ_CHECK(quote == '"' || quote == '\'');
  if (!wide && e.BomLength == 0) {
    std::string name = text.substr(e.NameBegin, e.NameEnd - e.NameBegin);
    FUZZ_CHECK(CodePageOfEncodingName(name) == e.CodePage);
    FUZZ_CHECK(text.compare(0, 5, "<?xml") == 0);
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  std::string bytes(reinterpret_cast<const char*>(data), size);
  Check(bytes);
  Check("<?xml version=\"1.0\"" + bytes);
  Check("<?xml version=\"1.0\" encoding=\"" + bytes);
  Check("<?xml version='1.0' encoding='GB2312'" + bytes);
  Check("\xEF\xBB\xBF<?xml encoding=\"" + bytes);
  Check("\xFF\xFE" + Utf16LE("<?xml encoding='") + bytes);
  Check(Utf16LE("<?xml encoding=") + bytes);
  return 0;
}
