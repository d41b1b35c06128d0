#include "ui/UdsDialogs.h"

#include "ui/UApplication.h"

const char* const TdsDialogs::DefaultCaption = "提示";

// The kind arrives as a raw byte from callers; every value but 0 and 2 is a warning.
UINT TdsDialogs::MessageIcon(TdsMessageKind Kind)
{
  switch (static_cast<uint8_t>(Kind)) {
    case mkInformation: return MB_ICONINFORMATION;
    case mkError: return MB_ICONERROR;
    default: return MB_ICONWARNING;
  }
}

UINT TdsDialogs::QuestionIcon(TdsMessageKind Kind)
{
  switch (static_cast<uint8_t>(Kind)) {
    case mkInformation: return MB_ICONQUESTION;
    case mkError: return MB_ICONERROR;
    default: return MB_ICONWARNING;
  }
}

void TdsDialogs::ShowMsg(const std::string& Text, const std::string& Caption, TdsMessageKind Kind)
{
  TApplication::ShowMessageBox(Text.c_str(), Caption.c_str(), MessageIcon(Kind) | MB_OK);
}

void TdsDialogs::ShowMsg(const std::string& Text, TdsMessageKind Kind) { ShowMsg(Text, DefaultCaption, Kind); }

void TdsDialogs::ShowWarning(const std::string& Text) { ShowMsg(Text, mkWarning); }

int TdsDialogs::AskYesNo(const std::string& Text, const std::string& Caption, TdsMessageKind Kind)
{
  return TApplication::ShowMessageBox(Text.c_str(), Caption.c_str(), QuestionIcon(Kind) | MB_YESNO | MB_DEFBUTTON2);
}

int TdsDialogs::AskYesNo(const std::string& Text, TdsMessageKind Kind) { return AskYesNo(Text, DefaultCaption, Kind); }

void TdsDialogs::ShowOwnedMsg(HWND Owner, const std::string& Text, TdsMessageKind Kind)
{
  const UINT flags = MessageIcon(Kind) | MB_OK;
  // The application's main form first: the library never has one, so this asks for nothing.
  SetForegroundWindow(nullptr);
  // Then the host's window, so that the box comes up in front even when another program is active.
  SetForegroundWindow(Owner);
  MessageBoxA(Owner, Text.c_str(), DefaultCaption, flags);
}
