// Message boxes and yes/no questions. Texts and captions are GBK and go to MessageBoxA unchanged.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/UdsMessageKind.h"


class TdsDialogs {
public:
  TdsDialogs() = delete;

  // Through the application's message-box service (owned by the active library dialog, else by
  // the host's application window). MB_OK with the message icon of Kind.
  static void ShowMsg(const std::string& Text, const std::string& Caption, TdsMessageKind Kind);
  static void ShowMsg(const std::string& Text, TdsMessageKind Kind);
  static void ShowWarning(const std::string& Text);
  // Yes/No with "No" as the default button and the question icon of Kind; returns IDYES, IDNO, or 0
  // when no box could be shown.
  static int AskYesNo(const std::string& Text, const std::string& Caption, TdsMessageKind Kind);
  static int AskYesNo(const std::string& Text, TdsMessageKind Kind);
  // Owned by an explicit window (the host's control), brought to the foreground first. Only the
  // box itself disables its owner; the answer is dropped.
  static void ShowOwnedMsg(HWND Owner, const std::string& Text, TdsMessageKind Kind);

  static const char* const DefaultCaption;  // "提示"

private:
  // The icon flag for Kind: information / warning / error for a message, question / warning /
  // error for a question.
  static UINT MessageIcon(TdsMessageKind Kind);
  static UINT QuestionIcon(TdsMessageKind Kind);
};
