// Decoding an options text as UTF-16 on arbitrary bytes: the bytes are refused exactly when they
// cannot be UTF-16 (an odd count, a surrogate without its pair), and what is accepted encodes back
// to the very same bytes; any sequence of characters, encoded in either byte order, decodes back to
// itself. Input: byte 0 chooses the byte order and where decoding starts, the rest is the text.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "options/UXmlEncoding.h"
#include "util/UdsErrors.h"

namespace {
std::string Encode(const std::u16string& Units, bool BigEndian)
{
  std::string bytes;
  for (char16_t u : Units) {
    const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
    bytes += BigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

bool IsHigh(char16_t U) { return U >= 0xD800 && U <= 0xDBFF; }
bool IsLow(char16_t U) { return U >= 0xDC00 && U <= 0xDFFF; }

// Whether every surrogate stands in a pair, high then low.
bool Paired(const std::u16string& Units)
{
  for (size_t i = 0; i < Units.size(); ++i) {
    if (IsHigh(Units[i]) && i + 1 < Units.size() && IsLow(Units[i + 1]))
      ++i;
    else if (IsHigh(Units[i]) || IsLow(Units[i]))
      return false;
  }
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size == 0)
    return 0;
  const bool bigEndian = data[0] & 1;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t start = (data[0] >> 1) % 4 <= bytes.size() ? (data[0] >> 1) % 4 : 0;

  // The units as the bytes spell them (a last odd byte aside), read here independently.
  std::u16string spelled;
  for (size_t i = start; i + 1 < bytes.size(); i += 2) {
    const uint8_t a = static_cast<uint8_t>(bytes[i]), b = static_cast<uint8_t>(bytes[i + 1]);
    spelled += static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
  }
  const bool valid = (bytes.size() - start) % 2 == 0 && Paired(spelled);
  try {
    const std::u16string units = DecodeUtf16(bytes, start, bigEndian, "UTF-16");
    FUZZ_CHECK(valid);
    FUZZ_CHECK(units == spelled);
    FUZZ_CHECK(Encode(units, bigEndian) == bytes.substr(start));
  } catch (const EdsError& e) {
    FUZZ_CHECK(!valid);
    FUZZ_CHECK(std::string(e.what()).find("UTF-16") != std::string::npos);  // names the encoding
  }

  // Any characters: the spelled units with every unpaired surrogate replaced, in both byte orders.
  std::u16string text = spelled;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1]))
      ++i;
    else if (IsHigh(text[i]) || IsLow(text[i]))
      text[i] = u'?';
  }
  for (bool order : {false, true}) {
    const std::string prefix(start, '\xAA');
    FUZZ_CHECK(DecodeUtf16(prefix + Encode(text, order), start, order, "UTF-16") == text);
  }

  // The label of a decision names the declared encoding as written, or the one decided without it.
  try {
    const TXmlEncoding e = DecideXmlEncoding(bytes);
    const std::string label = XmlEncodingLabel(bytes, e);
    if (e.CodePage == kCodePageUtf16LE || e.CodePage == kCodePageUtf16BE)
      FUZZ_CHECK(label == (e.CodePage == kCodePageUtf16LE ? "UTF-16LE" : "UTF-16BE"));
    else if (e.CutBegin == e.CutEnd || e.BomLength != 0)
      FUZZ_CHECK(label == "UTF-8");
    else
      FUZZ_CHECK(CodePageOfEncodingName(label) == e.CodePage);
  } catch (const EdsError&) {
  }
  return 0;
}
