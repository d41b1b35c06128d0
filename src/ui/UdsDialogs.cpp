#include "ui/UdsDialogs.h"

const char* const TdsDialogs::DefaultCaption = "提示";

void TdsDialogs::ShowOwnedMsg(HWND Owner, const std::string& Text, TdsMessageKind Kind)
{
  UINT icon = Kind == mkInformation ? MB_ICONINFORMATION : Kind == mkError ? MB_ICONERROR : MB_ICONWARNING;
  SetForegroundWindow(Owner);
  MessageBoxA(Owner, Text.c_str(), DefaultCaption, icon | MB_OK);
}
