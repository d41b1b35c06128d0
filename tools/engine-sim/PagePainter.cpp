#include "PagePainter.h"

#include <cstring>
#include <stdexcept>

#include "GbkText.h"

namespace {
const size_t kMaxForms = 8;

// Where each field sits: three small boxes, two rows of two, and Info4 (the longest) below.
struct TBox {
  int Field;  // 0 is Info1
  RECT Rect;
};
const TBox kBoxes[] = {
  {0, {28, 90, 276, 170}},  {1, {276, 90, 524, 170}},  {2, {524, 90, 772, 170}},
  {4, {28, 170, 400, 250}}, {5, {400, 170, 772, 250}},
  {6, {28, 250, 400, 330}}, {7, {400, 250, 772, 330}},
  {3, {28, 330, 772, 532}},
};
}  // namespace

TPagePainter::TFont TPagePainter::MakeFont(int Height, int Weight)
{
  // Bilevel output: no anti-aliasing. Wine maps SimSun to an installed CJK font.
  TFont font(CreateFontW(-Height, 0, 0, 0, Weight, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, FF_DONTCARE, L"SimSun"));
  if (!font)
    throw std::runtime_error("CreateFont failed");
  return font;
}

TPagePainter::TPagePainter()
{
  struct {
    BITMAPINFOHEADER Header;
    RGBQUAD Colors[2];
  } info = {};
  info.Header.biSize = sizeof(info.Header);
  info.Header.biWidth = kWidth;
  info.Header.biHeight = -kHeight;  // top-down rows, as the TIFF wants them
  info.Header.biPlanes = 1;
  info.Header.biBitCount = 1;
  info.Header.biCompression = BI_RGB;
  info.Header.biClrUsed = 2;
  info.Colors[0] = RGBQUAD{255, 255, 255, 0};  // 0 white, 1 black: the TIFF's WhiteIsZero
  info.Colors[1] = RGBQUAD{0, 0, 0, 0};
  void* bits = nullptr;
  FBitmap.reset(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0));
  FDc.reset(CreateCompatibleDC(nullptr));
  if (!FBitmap || !bits || !FDc || !SelectObject(FDc.get(), FBitmap.get()))
    throw std::runtime_error("cannot make the page bitmap");
  FBits = static_cast<uint8_t*>(bits);
  FStride = ((kWidth + 31) / 32) * 4;
  FTitleFont = MakeFont(34, FW_BOLD);
  FLabelFont = MakeFont(14, FW_NORMAL);
  FValueFont = MakeFont(18, FW_NORMAL);
  SetBkMode(FDc.get(), TRANSPARENT);
  SetTextColor(FDc.get(), RGB(0, 0, 0));
}

void TPagePainter::DrawForm(const std::array<std::string, kInfoFields>& Fields)
{
  HDC dc = FDc.get();
  RECT page = {0, 0, kWidth, kHeight};
  FillRect(dc, &page, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SelectObject(dc, GetStockObject(BLACK_PEN));
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, 12, 12, kWidth - 12, kHeight - 12);
  Rectangle(dc, 16, 16, kWidth - 16, kHeight - 16);

  SelectObject(dc, FTitleFont.get());
  RECT title = {0, 26, kWidth, 70};
  DrawTextW(dc, L"增值税专用发票", -1, &title, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
  for (int y : {74, 77}) {
    MoveToEx(dc, 280, y, nullptr);
    LineTo(dc, kWidth - 280, y);
  }

  for (const TBox& box : kBoxes) {
    Rectangle(dc, box.Rect.left, box.Rect.top, box.Rect.right + 1, box.Rect.bottom + 1);
    SelectObject(dc, FLabelFont.get());
    std::wstring label = L"Info" + std::to_wstring(box.Field + 1);
    TextOutW(dc, box.Rect.left + 6, box.Rect.top + 4, label.c_str(), int(label.size()));
    // The value as the library reads it: up to its terminator.
    const std::string& field = Fields[size_t(box.Field)];
    std::wstring value = GbkToWide(field.substr(0, field.find('\0')));
    RECT text = {box.Rect.left + 6, box.Rect.top + 24, box.Rect.right - 6, box.Rect.bottom - 4};
    SelectObject(dc, FValueFont.get());
    DrawTextW(dc, value.c_str(), int(value.size()), &text, DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
  }
  GdiFlush();
}

void TPagePainter::DrawPageNumber(int PageNumber)
{
  HDC dc = FDc.get();
  SelectObject(dc, FLabelFont.get());
  std::wstring text = L"第 " + std::to_wstring(PageNumber) + L" 页";
  RECT where = {kWidth - 200, 40, kWidth - 28, 70};
  DrawTextW(dc, text.c_str(), int(text.size()), &where, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX);
  GdiFlush();
}

TBilevelImage TPagePainter::Paint(const std::array<std::string, kInfoFields>& Fields, int PageNumber)
{
  const size_t size = FStride * kHeight;
  std::string key;
  for (const std::string& f : Fields) {
    key += std::to_string(f.size());
    key += ':';
    key += f;
  }
  auto form = FForms.find(key);
  if (form == FForms.end()) {
    DrawForm(Fields);
    if (FForms.size() >= kMaxForms)
      FForms.clear();
    FForms.emplace(key, std::vector<uint8_t>(FBits, FBits + size));
  } else {
    std::memcpy(FBits, form->second.data(), size);
  }
  DrawPageNumber(PageNumber);
  return TBilevelImage{FBits, FStride, uint32_t(kWidth), uint32_t(kHeight)};
}
