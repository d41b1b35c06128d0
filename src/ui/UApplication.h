// The library's user-interface context: the host's application window that owns the library's
// windows, and the library dialog that is active (if any).
#pragma once
#include <windows.h>

#include <string>

class TApplication {
public:
  // Step 3 of the call frame: the host's application window becomes the owner of the library's
  // dialogs and busy window. Setting the value in force changes nothing.
  static void SetHandle(HWND Handle);
  static HWND Handle();

  // The module that holds the library's code and resources (Quillon.RX.dll; a test program that
  // links the library's units statically).
  static HINSTANCE Instance();

  // The screen cursor of the library's windows: crDefault (0) or crHourGlass (-11). Setting it
  // shows it at once; the library's windows keep showing it (ApplyScreenCursor from their
  // WM_SETCURSOR) until it is set back to crDefault.
  enum TCursor : int { crDefault = 0, crHourGlass = -11 };
  static void SetScreenCursor(TCursor Cursor);
  static TCursor ScreenCursor();
  // For a library window's WM_SETCURSOR: true when it set the screen cursor (return TRUE then).
  static bool ApplyScreenCursor();

  // Dispatches every message waiting in this thread's queue, then returns.
  static void ProcessMessages();

  // The library dialog that is running modally, or 0. Set by the dialog base while it runs.
  static HWND ActiveForm();
  static void SetActiveForm(HWND Form);

  // The application's message-box service, used by TdsDialogs: the box belongs to the active library
  // dialog, else to the application window. While it is open every other visible, enabled top-level
  // window of this thread is disabled; afterwards exactly those are enabled again and activation and
  // focus return to where they were. Returns MessageBoxA's answer (0 when no box could be shown).
  static int ShowMessageBox(const char* Text, const char* Caption, UINT Flags);
  // The standard display of an error that ended an event of a library window: its message in an
  // error box of the message-box service, captioned with the library's title.
  static void ShowException(const std::string& Message);
  static const char* const Title;  // "Quillon.RX"
};
