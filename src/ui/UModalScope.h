// The thread's windows taken out of input while a modal window of the library is up (a message box,
// a dialog). A modal window disables only its owner; the library's may belong to a window the user
// does not work in (a host built with Delphi's VCL passes its hidden application window), so the
// scope disables every visible, enabled top-level window of the calling thread but Keep. When the
// scope ends, on every way out, exactly those are enabled again, and the window that was active and
// the control that had the keyboard focus when it began get them back.
#pragma once
#include <windows.h>

#include <vector>

class TModalScope {
public:
  // Keep: a window that stays enabled (the library dialog that owns a box), or nullptr.
  explicit TModalScope(HWND Keep = nullptr);
  ~TModalScope();
  TModalScope(const TModalScope&) = delete;
  TModalScope& operator=(const TModalScope&) = delete;

private:
  static BOOL CALLBACK DisableProc(HWND Window, LPARAM Self) noexcept;

  HWND FKeep;
  std::vector<HWND> FDisabled;
  HWND FActive = nullptr;
  HWND FFocus = nullptr;
};
