// Message boxes and yes/no questions. Texts and captions are GBK and go to MessageBoxA unchanged.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

// Selects the icon. Any other byte value counts as mkWarning.
enum TdsMessageKind : uint8_t { mkInformation = 0, mkWarning = 1, mkError = 2 };

class TdsDialogs {
public:
  TdsDialogs() = delete;

  // Through the application's message-box service (owned by the active library dialog, else by
  // the host's application window).
  static void ShowMsg(const std::string& Text, const std::string& Caption, TdsMessageKind Kind);
  static void ShowMsg(const std::string& Text, TdsMessageKind Kind);
  static void ShowWarning(const std::string& Text);
  // Yes/No with "No" as the default button; returns IDYES, IDNO, or 0 when no box could be shown.
  static int AskYesNo(const std::string& Text, const std::string& Caption, TdsMessageKind Kind);
  static int AskYesNo(const std::string& Text, TdsMessageKind Kind);
  // Owned by an explicit window (the host's control), brought to the foreground first.
  static void ShowOwnedMsg(HWND Owner, const std::string& Text, TdsMessageKind Kind);

  static const char* const DefaultCaption;  // "提示"
};
