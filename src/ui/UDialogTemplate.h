// Dialog templates read from resource bytes: the extended form (DLGTEMPLATEEX, what DIALOGEX
// compiles to) and the plain one (DLGTEMPLATE, from DIALOG). Win32-free.
//
// The library's dialog resources carry pixel coordinates, not dialog units: after the dialog
// manager has made the window, ApplyPixelLayout (ui/UFormLayout.h) puts everything where this
// parse says.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One control. A class or title given as an ordinal reads as the class name the ordinal stands
// for ("Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox") or as "#<number>" (a title
// naming a resource, such as an icon, by number; an unknown class ordinal).
struct TDialogItem {
  uint32_t Id = 0;
  uint32_t Style = 0;
  int X = 0, Y = 0, Cx = 0, Cy = 0;
  std::u16string ClassName, Title;
};

struct TDialogTemplate {
  uint32_t Style = 0, ExStyle = 0;
  int Cx = 0, Cy = 0;
  std::u16string Caption, FontName;  // FontName empty and FontPoints 0 without DS_SETFONT
  int FontPoints = 0;
  // Given only by the extended form; otherwise what the dialog manager assumes: any weight
  // (FW_DONTCARE), upright, DEFAULT_CHARSET.
  int FontWeight = 0;
  bool FontItalic = false;
  int FontCharSet = 1;
  std::vector<TDialogItem> Items;  // in the template's order, which is the order of creation
};

// Parses the template in Data[0..Size). False when it is malformed or truncated (Out is then
// unspecified); never reads past Size. Data needs no particular alignment.
bool ParseDialogTemplate(const void* Data, size_t Size, TDialogTemplate& Out);
