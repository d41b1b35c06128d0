// ParseDialogTemplate on arbitrary bytes (never a read past the end, never an item the bytes cannot
// hold), and on templates written here from the input: those read back field for field, and every
// shorter prefix of them is refused.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "ui/UDialogTemplate.h"

namespace {

// Takes bytes of the input one after another; zeros once they run out.
class TInput {
public:
  TInput(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}
  uint8_t Byte() { return FPos < FSize ? FData[FPos++] : 0; }
  uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
  uint32_t Dword() { return Word() | (static_cast<uint32_t>(Word()) << 16); }

private:
  const uint8_t* FData;
  size_t FSize;
  size_t FPos = 0;
};

// A template writer of the harness's own, after the documented layouts.
class TWriter {
public:
  void Word(uint16_t V)
  {
    Bytes.push_back(static_cast<uint8_t>(V));
    Bytes.push_back(static_cast<uint8_t>(V >> 8));
  }
  void Dword(uint32_t V)
  {
    Word(static_cast<uint16_t>(V));
    Word(static_cast<uint16_t>(V >> 16));
  }
  void String(const std::u16string& S)
  {
    for (char16_t c : S)
      Word(c);
    Word(0);
  }
  void Align()
  {
    while (Bytes.size() % 4)
      Bytes.push_back(0);
  }
  std::vector<uint8_t> Bytes;
};

// A string of 0..4 characters, none of them NUL; with NoOrdinalMark the first is not 0xFFFF (that
// would announce an ordinal).
std::u16string MakeString(TInput& In, bool NoOrdinalMark)
{
  std::u16string s;
  for (int n = In.Byte() % 5; n > 0; --n) {
    char16_t c = static_cast<char16_t>(In.Word() | 1);
    if (s.empty() && NoOrdinalMark && c == 0xFFFF)
      c = u'Q';
    s.push_back(c);
  }
  return s;
}

// A class or title field: written as a string or an ordinal; returns what the parser should read.
std::u16string WriteStringOrOrdinal(TInput& In, TWriter& W, bool IsClass)
{
  if (In.Byte() % 2) {
    std::u16string s = MakeString(In, true);
    W.String(s);
    return s;
  }
  uint16_t ordinal = In.Byte() % 2 ? static_cast<uint16_t>(0x80 + In.Byte() % 8) : In.Word();
  W.Word(0xFFFF);
  W.Word(ordinal);
  static const char16_t* const kClasses[] = {u"Button", u"Edit", u"Static", u"ListBox", u"ScrollBar", u"ComboBox"};
  if (IsClass && ordinal >= 0x80 && ordinal <= 0x85)
    return kClasses[ordinal - 0x80];
  std::string digits = std::to_string(ordinal);
  return u"#" + std::u16string(digits.begin(), digits.end());
}

void CheckWrittenTemplate(TInput& In)
{
  const bool extended = In.Byte() % 2;
  TDialogTemplate expected;
  expected.Style = (In.Dword() & ~0x40u) | (In.Byte() % 2 ? 0x40u : 0u);
  // A DLGTEMPLATE whose style reads as the words 1 and 0xFFFF is a DLGTEMPLATEEX to the dialog
  // manager as much as to the reader: no template has that style.
  if (!extended && expected.Style == 0xFFFF0001u)
    expected.Style = 0xFFFE0001u;
  expected.ExStyle = extended || In.Byte() % 2 ? In.Dword() : 0;
  expected.Cx = static_cast<int16_t>(In.Word());
  expected.Cy = static_cast<int16_t>(In.Word());
  const size_t count = In.Byte() % 4;

  TWriter w;
  if (extended) {
    w.Word(1);
    w.Word(0xFFFF);
    w.Dword(In.Dword());  // help id
    w.Dword(expected.ExStyle);
    w.Dword(expected.Style);
  } else {
    w.Dword(expected.Style);
    w.Dword(expected.ExStyle);
  }
  w.Word(static_cast<uint16_t>(count));
  w.Word(In.Word());
  w.Word(In.Word());
  w.Word(static_cast<uint16_t>(expected.Cx));
  w.Word(static_cast<uint16_t>(expected.Cy));
  for (int field = 0; field < 2; ++field) {  // menu and window class: none, ordinal or string
    switch (In.Byte() % 3) {
      case 0: w.Word(0); break;
      case 1: w.Word(0xFFFF); w.Word(In.Word()); break;
      default: w.String(u"M" + MakeString(In, false)); break;
    }
  }
  expected.Caption = MakeString(In, false);
  w.String(expected.Caption);
  if (expected.Style & 0x40) {
    expected.FontPoints = In.Word();
    w.Word(static_cast<uint16_t>(expected.FontPoints));
    if (extended) {
      expected.FontWeight = In.Word();
      w.Word(static_cast<uint16_t>(expected.FontWeight));
      const uint8_t italic = In.Byte();
      expected.FontItalic = italic != 0;
      expected.FontCharSet = In.Byte();
      w.Bytes.push_back(italic);
      w.Bytes.push_back(static_cast<uint8_t>(expected.FontCharSet));
    }
    expected.FontName = MakeString(In, false);
    w.String(expected.FontName);
  }
  for (size_t i = 0; i < count; ++i) {
    TDialogItem item;
    w.Align();
    item.Style = In.Dword();
    if (extended) {
      w.Dword(In.Dword());  // help id
      w.Dword(In.Dword());  // extended style
      w.Dword(item.Style);
    } else {
      w.Dword(item.Style);
      w.Dword(In.Dword());
    }
    for (int* v : {&item.X, &item.Y, &item.Cx, &item.Cy}) {
      *v = static_cast<int16_t>(In.Word());
      w.Word(static_cast<uint16_t>(*v));
    }
    item.Id = extended ? In.Dword() : In.Word();
    if (extended)
      w.Dword(item.Id);
    else
      w.Word(static_cast<uint16_t>(item.Id));
    item.ClassName = WriteStringOrOrdinal(In, w, true);
    item.Title = WriteStringOrOrdinal(In, w, false);
    const uint16_t extra = In.Byte() % 6;
    w.Word(extra);
    for (uint16_t k = 0; k < extra; ++k)
      w.Bytes.push_back(In.Byte());
    expected.Items.push_back(item);
  }

  TDialogTemplate got;
  FUZZ_CHECK(ParseDialogTemplate(w.Bytes.data(), w.Bytes.size(), got));
  FUZZ_CHECK(got.Style == expected.Style && got.ExStyle == expected.ExStyle);
  FUZZ_CHECK(got.Cx == expected.Cx && got.Cy == expected.Cy);
  FUZZ_CHECK(got.Caption == expected.Caption && got.FontName == expected.FontName);
  FUZZ_CHECK(got.FontPoints == expected.FontPoints);
  FUZZ_CHECK(got.FontWeight == expected.FontWeight && got.FontItalic == expected.FontItalic);
  FUZZ_CHECK(got.FontCharSet == expected.FontCharSet);
  FUZZ_CHECK(got.Items.size() == expected.Items.size());
  for (size_t i = 0; i < got.Items.size(); ++i) {
    const TDialogItem& a = got.Items[i];
    const TDialogItem& b = expected.Items[i];
    FUZZ_CHECK(a.Id == b.Id && a.Style == b.Style);
    FUZZ_CHECK(a.X == b.X && a.Y == b.Y && a.Cx == b.Cx && a.Cy == b.Cy);
    FUZZ_CHECK(a.ClassName == b.ClassName && a.Title == b.Title);
  }
  // The last byte written is needed, so every shorter prefix is refused; each is parsed from a copy of
  // exactly its size, so that a read past it is caught by the sanitizer.
  for (size_t n = 0; n < w.Bytes.size(); ++n) {
    std::vector<uint8_t> prefix(w.Bytes.begin(), w.Bytes.begin() + static_cast<std::ptrdiff_t>(n));
    TDialogTemplate t;
    FUZZ_CHECK(!ParseDialogTemplate(prefix.data(), prefix.size(), t));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  // The raw bytes as a template: whatever comes out must fit the bytes (the smallest header and the
  // smallest item take 24 bytes each).
  TDialogTemplate raw;
  if (ParseDialogTemplate(data, size, raw))
    FUZZ_CHECK(size >= 24 * (1 + raw.Items.size()));

  // The same bytes with a DLGTEMPLATEEX signature in front, to reach past the header more often.
  std::vector<uint8_t> ex = {1, 0, 0xFF, 0xFF};
  ex.insert(ex.end(), data, data + size);
  ParseDialogTemplate(ex.data(), ex.size(), raw);

  TInput in(data, size);
  CheckWrittenTemplate(in);
  return 0;
}
