// The library's user-interface context: the host's application window that owns the library's
// windows, and the library dialog that is active (if any).
#pragma once
#include <windows.h>

class TApplication {
public:
  // Step 3 of the call frame: the host's application window becomes the owner of the library's
  // dialogs and busy window. Setting the value in force changes nothing.
  static void SetHandle(HWND Handle);
  static HWND Handle();

  // The module that holds the library's code and resources (Quillon.RX.dll; a test program that
  // links the library's units statically).
  static HINSTANCE Instance();

  // The library dialog that is running modally, or 0. Set by the dialog base while it runs.
  static HWND ActiveForm();
  static void SetActiveForm(HWND Form);

  // The application's message-box service, used by TdsDialogs: the box belongs to the active library
  // dialog, else to the application window. While it is open every other visible, enabled top-level
  // window of this thread is disabled; afterwards exactly those are enabled again and activation and
  // focus return to where they were. Returns MessageBoxA's answer (0 when no box could be shown).
  static int ShowMessageBox(const char* Text, const char* Caption, UINT Flags);
};
