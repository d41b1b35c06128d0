#include "ui/UApplication.h"

namespace {
HWND g_handle = nullptr;
HWND g_activeForm = nullptr;
}  // namespace

void TApplication::SetHandle(HWND Handle)
{
  if (Handle != g_handle)
    g_handle = Handle;
}

HWND TApplication::Handle() { return g_handle; }
HWND TApplication::ActiveForm() { return g_activeForm; }
void TApplication::SetActiveForm(HWND Form) { g_activeForm = Form; }

int TApplication::ShowMessageBox(const char* Text, const char* Caption, UINT Flags)
{
  HWND owner = g_activeForm ? g_activeForm : g_handle;
  return ::MessageBoxA(owner, Text, Caption, Flags);
}
