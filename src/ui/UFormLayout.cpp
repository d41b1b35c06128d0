#include "ui/UFormLayout.h"

#include <string>

#include "util/UStrConv.h"
#include "util/UdsErrors.h"

const DLGTEMPLATE* LoadDialogResource(HINSTANCE Module, LPCWSTR Name, size_t& Size)
{
  HRSRC info = FindResourceW(Module, Name, reinterpret_cast<LPCWSTR>(RT_DIALOG));
  HGLOBAL data = info ? LoadResource(Module, info) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  if (!bytes) {
    std::string name = IS_INTRESOURCE(Name) ? "#" + IntToStr(reinterpret_cast<ULONG_PTR>(Name)) : WideToAnsi(Name);
    throw EdsError(FormatText("Dialog resource %s not found", name));
  }
  Size = SizeofResource(Module, info);
  return static_cast<const DLGTEMPLATE*>(bytes);
}

void ApplyPixelLayout(HWND Dialog, const TDialogTemplate& Layout)
{
  // The frame is whatever the window's styles give it: measured, not computed from the styles.
  RECT outer, client;
  GetWindowRect(Dialog, &outer);
  GetClientRect(Dialog, &client);
  const int frameWidth = (outer.right - outer.left) - client.right;
  const int frameHeight = (outer.bottom - outer.top) - client.bottom;
  const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  SetWindowPos(Dialog, nullptr, 0, 0, Layout.Cx + frameWidth, Layout.Cy + frameHeight, flags | SWP_NOMOVE);

  HWND child = GetWindow(Dialog, GW_CHILD);
  for (const TDialogItem& item : Layout.Items) {
    if (!child)
      break;
    SetWindowPos(child, nullptr, item.X, item.Y, item.Cx, item.Cy, flags);
    child = GetWindow(child, GW_HWNDNEXT);
  }
}
