// The picture of a delivered page: an invoice-like form with the page's fields and its number,
// drawn with GDI into a 1-bit DIB section.
#pragma once
#include <windows.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "Scenario.h"
#include "TiffWriter.h"

class TPagePainter {
public:
  static const int kWidth = 800;
  static const int kHeight = 560;
  static const int kDpi = 100;

  // Raises std::runtime_error when GDI cannot give the bitmap, the DC or the fonts.
  TPagePainter();

  // Fields are Info1..Info8 as delivered (GBK). The picture lives in the painter until the next call.
  TBilevelImage Paint(const std::array<std::string, kInfoFields>& Fields, int PageNumber);

private:
  struct TGdiDeleter {
    void operator()(HGDIOBJ Object) const noexcept { DeleteObject(Object); }
  };
  struct TDcDeleter {
    void operator()(HDC Dc) const noexcept { DeleteDC(Dc); }
  };
  using TBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, TGdiDeleter>;
  using TFont = std::unique_ptr<std::remove_pointer_t<HFONT>, TGdiDeleter>;
  using TDc = std::unique_ptr<std::remove_pointer_t<HDC>, TDcDeleter>;

  static TFont MakeFont(int Height, int Weight);
  void DrawForm(const std::array<std::string, kInfoFields>& Fields);
  void DrawPageNumber(int PageNumber);

  // Declared before the DC, so the DC is deleted first and nothing is selected when they go.
  TBitmap FBitmap;
  TFont FTitleFont, FLabelFont, FValueFont;
  TDc FDc;
  uint8_t* FBits = nullptr;
  size_t FStride = 0;
  // The form drawn for each distinct field content (a few: 10,000 pages of {n} must not pile up).
  std::map<std::string, std::vector<uint8_t>> FForms;
};
