#include "ui/UModalScope.h"

TModalScope::TModalScope(HWND Keep) : FKeep(Keep)
{
  // Taken first: disabling the window that has the focus takes the focus away.
  FActive = GetActiveWindow();
  FFocus = GetFocus();
  EnumThreadWindows(GetCurrentThreadId(), DisableProc, reinterpret_cast<LPARAM>(this));
}

TModalScope::~TModalScope()
{
  // Enabled first: a disabled window cannot be activated or take the focus.
  for (auto it = FDisabled.rbegin(); it != FDisabled.rend(); ++it)
    if (IsWindow(*it))
      EnableWindow(*it, TRUE);
  if (FActive && IsWindow(FActive))
    SetActiveWindow(FActive);
  if (FFocus && IsWindow(FFocus))
    SetFocus(FFocus);
}

BOOL CALLBACK TModalScope::DisableProc(HWND Window, LPARAM Self) noexcept
{
  auto* self = reinterpret_cast<TModalScope*>(Self);
  if (Window != self->FKeep && IsWindowVisible(Window) && IsWindowEnabled(Window)) {
    try {
      self->FDisabled.push_back(Window);
    } catch (...) {
      return FALSE;  // out of memory: leave the rest enabled rather than lose track of them
    }
    EnableWindow(Window, FALSE);
  }
  return TRUE;
}
