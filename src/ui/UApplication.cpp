#include "ui/UApplication.h"

#include "ui/UModalScope.h"

#include "util/USehGuard.h"

namespace {
HWND g_handle = nullptr;
HWND g_activeForm = nullptr;
TApplication::TCursor g_cursor = TApplication::crDefault;
}  // namespace

void TApplication::SetHandle(HWND Handle)
{
  if (Handle != g_handle)
    g_handle = Handle;
}

HWND TApplication::Handle() { return g_handle; }

namespace {
// The system's cursors are shared and live as long as the process: loaded once (the scan sets the
// cursor at every page, and a load is a look through the system's cursor settings).
HCURSOR SystemCursor(TApplication::TCursor Cursor)
{
  static const HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
  static const HCURSOR wait = LoadCursor(nullptr, IDC_WAIT);
  return Cursor == TApplication::crHourGlass ? wait : arrow;
}
}  // namespace

void TApplication::SetScreenCursor(TCursor Cursor)
{
  g_cursor = Cursor;
  ::SetCursor(SystemCursor(Cursor));
}

TApplication::TCursor TApplication::ScreenCursor() { return g_cursor; }

bool TApplication::ApplyScreenCursor()
{
  if (g_cursor == crDefault)
    return false;
  ::SetCursor(SystemCursor(crHourGlass));
  return true;
}

void TApplication::ProcessMessages()
{
  // Most of what is dispatched here goes to the host's windows: a structured exception raised in
  // its handlers continues as EForeignException through the library's clean-up.
  CallForeign([]() noexcept {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      // A WM_QUIT belongs to the host's own message loop: put it back for that loop to see.
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  });
}

extern "C" IMAGE_DOS_HEADER __ImageBase;
HINSTANCE TApplication::Instance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }
HWND TApplication::ActiveForm() { return g_activeForm; }
void TApplication::SetActiveForm(HWND Form) { g_activeForm = Form; }

const char* const TApplication::Title = "Quillon.RX";

void TApplication::ShowException(const std::string& Message)
{
  ShowMessageBox(Message.c_str(), Title, MB_ICONERROR | MB_OK);
}

int TApplication::ShowMessageBox(const char* Text, const char* Caption, UINT Flags)
{
  // A form that is gone cannot own the box: the message would be lost with it.
  HWND form = g_activeForm && IsWindow(g_activeForm) ? g_activeForm : nullptr;
  HWND owner = form ? form : g_handle;
  TModalScope scope(form);
  return ::MessageBoxA(owner, Text, Caption, Flags);
}
