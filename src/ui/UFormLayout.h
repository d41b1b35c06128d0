// Dialog resources laid out in pixels.
//
// Dialog templates count in dialog units, which follow the font's metrics (and wine substitutes
// fonts), so they cannot give exact pixels. The library's DIALOGEX resources therefore carry pixel
// coordinates: the dialog manager creates the window and its controls from the template as usual,
// then ApplyPixelLayout puts every one of them where the template says, in pixels.
//
//   size_t size = 0;
//   const DLGTEMPLATE* t = LoadDialogResource(TApplication::Instance(), L"TSELECTSCANNERFORM", size);
//   TDialogTemplate layout;
//   if (!ParseDialogTemplate(t, size, layout)) throw EdsError(...);
//   HWND w = CreateDialogIndirectParamW(TApplication::Instance(), t, owner, Proc, param);
//   ApplyPixelLayout(w, layout);   // or from WM_INITDIALOG of a DialogBoxIndirectParam
#pragma once
#include <windows.h>

#include <cstddef>

#include "ui/UDialogTemplate.h"

// The dialog resource Name (RT_DIALOG) of Module and its size in bytes. The bytes belong to the
// module and stay valid while it is loaded. Raises EdsError when there is no such resource.
const DLGTEMPLATE* LoadDialogResource(HINSTANCE Module, LPCWSTR Name, size_t& Size);

// Gives Dialog's client area Layout's Cx x Cy pixels (the position stays) and moves each child
// window, matched to Layout's items in creation order (GW_CHILD, then GW_HWNDNEXT), to the item's
// X, Y, Cx, Cy in pixels of the dialog's client area. Children beyond the items (made after the
// dialog manager's) are left where they are. Activates nothing.
void ApplyPixelLayout(HWND Dialog, const TDialogTemplate& Layout);
