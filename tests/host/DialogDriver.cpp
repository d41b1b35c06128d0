#include "DialogDriver.h"

void RunDialogQueue(HWND Dialog)
{
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));  // for the loop that owns the thread
      return;
    }
    if (IsWindow(Dialog) && IsDialogMessageW(Dialog, &m))
      continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

void PressKey(HWND Dialog, UINT Key)
{
  HWND target = GetFocus();
  if (!target || (target != Dialog && !IsChild(Dialog, target)))
    target = Dialog;
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(Key, MAPVK_VK_TO_VSC)) << 16;
  PostMessageW(target, WM_KEYDOWN, Key, scan | 1);
  PostMessageW(target, WM_KEYUP, Key, scan | 1 | (LPARAM(3) << 30));
  RunDialogQueue(Dialog);
}

void Click(HWND Button)
{
  SendMessageW(Button, BM_CLICK, 0, 0);
  RunDialogQueue(GetAncestor(Button, GA_ROOT));
}

void ClickCloseBox(HWND Dialog)
{
  PostMessageW(Dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  RunDialogQueue(Dialog);
}

std::wstring WindowTextOf(HWND Window)
{
  int n = GetWindowTextLengthW(Window);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  n = GetWindowTextW(Window, &s[0], n + 1);
  s.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return s;
}

HWND FindChild(HWND Parent, const wchar_t* Class, const wchar_t* Text)
{
  for (HWND c = GetWindow(Parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t name[64] = {};
    GetClassNameW(c, name, 64);
    if (_wcsicmp(name, Class) == 0 && (!Text || WindowTextOf(c) == Text))
      return c;
  }
  return nullptr;
}

RECT RectIn(HWND Window, HWND Parent)
{
  RECT r = {};
  GetWindowRect(Window, &r);
  MapWindowPoints(HWND_DESKTOP, Parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::vector<HWND> TabOrderFromFocus(HWND Dialog)
{
  std::vector<HWND> order;
  const HWND start = GetFocus();
  // Bounded: a dialog whose tab stops never come back round must not hang the test.
  for (HWND c = start; c && order.size() < 64; c = GetNextDlgTabItem(Dialog, c, FALSE)) {
    if (!order.empty() && c == start)
      break;
    order.push_back(c);
  }
  return order;
}
