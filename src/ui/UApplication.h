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

  // The library dialog that is running modally, or 0. Set by the dialog base while it runs.
  static HWND ActiveForm();
  static void SetActiveForm(HWND Form);

  // The application's message-box service (owner choice, disabling the thread's other windows,
  // restoring activation and focus); used by TdsDialogs.
  static int ShowMessageBox(const char* Text, const char* Caption, UINT Flags);
};
