#include "ui/UDialogTemplate.h"

#include <utility>

namespace {

constexpr uint32_t kSetFont = 0x40;  // DS_SETFONT: the font fields follow the caption

// Little-endian fields of the template, bounds-checked: a read past the end fails the reader
// for good, so the parser checks once per step instead of per field.
class TTemplateReader {
public:
  TTemplateReader(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}

  bool Ok() const { return FOk; }

  uint16_t Word()
  {
    if (!Need(2))
      return 0;
    uint16_t v = static_cast<uint16_t>(FData[FPos] | (FData[FPos + 1] << 8));
    FPos += 2;
    return v;
  }

  uint32_t Dword()
  {
    uint32_t low = Word();
    return low | (static_cast<uint32_t>(Word()) << 16);
  }

  int Short() { return static_cast<int16_t>(Word()); }

  void Skip(size_t Count)
  {
    if (Need(Count))
      FPos += Count;
  }

  // Items start on a DWORD boundary, counted from the template's first byte.
  void AlignToDword() { Skip((4 - FPos % 4) % 4); }

  // A NUL-terminated UTF-16 string.
  std::u16string String()
  {
    std::u16string s;
    for (uint16_t c = Word(); FOk && c != 0; c = Word())
      s.push_back(static_cast<char16_t>(c));
    return s;
  }

  // A string, an ordinal (0xFFFF and a WORD) or nothing (0x0000): the menu, class and title fields.
  std::u16string StringOrOrdinal(bool IsClass)
  {
    if (!Need(2))
      return {};
    uint16_t first = static_cast<uint16_t>(FData[FPos] | (FData[FPos + 1] << 8));
    if (first != 0xFFFF)
      return String();
    FPos += 2;
    uint16_t ordinal = Word();
    if (IsClass) {
      static const char16_t* const kClasses[] = {u"Button", u"Edit", u"Static", u"ListBox", u"ScrollBar", u"ComboBox"};
      if (ordinal >= 0x80 && ordinal < 0x80 + sizeof(kClasses) / sizeof(kClasses[0]))
        return kClasses[ordinal - 0x80];
    }
    std::u16string s = u"#";
    for (char c : std::to_string(ordinal))
      s.push_back(static_cast<char16_t>(c));
    return s;
  }

private:
  bool Need(size_t Count)
  {
    if (FOk && Count > FSize - FPos)
      FOk = false;
    return FOk;
  }

  const uint8_t* FData;
  size_t FSize;
  size_t FPos = 0;
  bool FOk = true;
};

bool ParseItem(TTemplateReader& R, bool Extended, TDialogItem& Item)
{
  R.AlignToDword();
  if (Extended) {
    R.Dword();  // help id
    R.Dword();  // extended style
    Item.Style = R.Dword();
  } else {
    Item.Style = R.Dword();
    R.Dword();  // extended style
  }
  Item.X = R.Short();
  Item.Y = R.Short();
  Item.Cx = R.Short();
  Item.Cy = R.Short();
  Item.Id = Extended ? R.Dword() : R.Word();
  Item.ClassName = R.StringOrOrdinal(true);
  Item.Title = R.StringOrOrdinal(false);
  // Creation data: its byte count, then the bytes (the way the dialog manager reads both forms).
  R.Skip(R.Word());
  return R.Ok();
}

}  // namespace

bool ParseDialogTemplate(const void* Data, size_t Size, TDialogTemplate& Out)
{
  if (!Data)
    return false;
  TTemplateReader r(static_cast<const uint8_t*>(Data), Size);
  Out = TDialogTemplate();
  uint16_t version = r.Word();
  uint16_t signature = r.Word();
  const bool extended = r.Ok() && version == 1 && signature == 0xFFFF;
  r = TTemplateReader(static_cast<const uint8_t*>(Data), Size);
  if (extended) {
    r.Dword();  // version and signature
    r.Dword();  // help id
    Out.ExStyle = r.Dword();
    Out.Style = r.Dword();
  } else {
    Out.Style = r.Dword();
    Out.ExStyle = r.Dword();
  }
  uint16_t count = r.Word();
  r.Short();  // x and y: where the dialog manager puts the window, of no use for the layout
  r.Short();
  Out.Cx = r.Short();
  Out.Cy = r.Short();
  r.StringOrOrdinal(false);  // menu
  r.StringOrOrdinal(false);  // window class
  Out.Caption = r.String();
  if (Out.Style & kSetFont) {
    Out.FontPoints = r.Word();
    if (extended) {
      Out.FontWeight = r.Word();
      const uint16_t italicAndCharSet = r.Word();
      Out.FontItalic = (italicAndCharSet & 0xFF) != 0;
      Out.FontCharSet = italicAndCharSet >> 8;
    }
    Out.FontName = r.String();
  }
  if (!r.Ok())
    return false;
  // Grown item by item: a count that the bytes cannot hold fails on the first missing item.
  for (uint16_t i = 0; i < count; ++i) {
    TDialogItem item;
    if (!ParseItem(r, extended, item))
      return false;
    Out.Items.push_back(std::move(item));
  }
  return true;
}
