#include "BoxRecorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace {
thread_local TBoxRecorder* t_recorder = nullptr;

// Timer ids on windows that are not ours: unusual values, so that no window's own timer is replaced.
constexpr UINT_PTR kUpTimer = 0x7A51;
constexpr UINT_PTR kWatchdogTimer = 0x7A52;
constexpr int kMessageTextId = 0xFFFF;
constexpr LONG kButtonTypeMask = 0x0F;

std::wstring ClassOf(HWND Window)
{
  wchar_t buf[64];
  int n = GetClassNameW(Window, buf, 64);
  return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring TextOf(HWND Window)
{
  int n = GetWindowTextLengthW(Window);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  n = GetWindowTextW(Window, s.data(), n + 1);
  s.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return s;
}

LONG StyleOf(HWND Window) { return static_cast<LONG>(GetWindowLongPtrW(Window, GWL_STYLE)); }

bool IsPushButton(HWND Child)
{
  if (_wcsicmp(ClassOf(Child).c_str(), L"Button") != 0)
    return false;
  LONG type = StyleOf(Child) & kButtonTypeMask;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

bool IsStatic(HWND Child) { return _wcsicmp(ClassOf(Child).c_str(), L"Static") == 0; }

std::vector<HWND> ChildrenOf(HWND Window)
{
  std::vector<HWND> children;
  for (HWND c = GetWindow(Window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    children.push_back(c);
  return children;
}

// The visible push buttons of a box, left to right.
std::vector<HWND> ButtonsOf(HWND Box)
{
  std::vector<HWND> buttons;
  for (HWND c : ChildrenOf(Box))
    if (IsPushButton(c) && IsWindowVisible(c))
      buttons.push_back(c);
  auto left = [](HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    return r.left;
  };
  std::stable_sort(buttons.begin(), buttons.end(), [&](HWND a, HWND b) { return left(a) < left(b); });
  return buttons;
}

UINT IconOf(HWND Box)
{
  for (HWND c : ChildrenOf(Box)) {
    if (!IsStatic(c) || (StyleOf(c) & SS_TYPEMASK) != SS_ICON || !IsWindowVisible(c))
      continue;
    auto icon = reinterpret_cast<HICON>(SendMessageW(c, STM_GETICON, 0, 0));
    if (!icon)
      continue;
    const std::pair<LPCSTR, UINT> known[] = {{IDI_INFORMATION, MB_ICONINFORMATION},
                                              {IDI_WARNING, MB_ICONWARNING},
                                              {IDI_ERROR, MB_ICONERROR},
                                              {IDI_QUESTION, MB_ICONQUESTION}};
    for (const auto& k : known)
      if (icon == LoadIconA(nullptr, k.first))
        return k.second;
    return kUnknownBoxIcon;
  }
  return 0;
}

// The button a user's Enter would press: the default push button, else the dialog's default id when
// it names a button, else OK, else the first button.
int DefaultAnswerOf(HWND Box)
{
  std::vector<HWND> buttons = ButtonsOf(Box);
  for (HWND b : buttons)
    if ((StyleOf(b) & kButtonTypeMask) == BS_DEFPUSHBUTTON)
      return GetDlgCtrlID(b);
  DWORD def = static_cast<DWORD>(SendMessageW(Box, DM_GETDEFID, 0, 0));
  for (int id : {HIWORD(def) == DC_HASDEFID ? int(LOWORD(def)) : 0, IDOK})
    for (HWND b : buttons)
      if (id && GetDlgCtrlID(b) == id)
        return id;
  return buttons.empty() ? IDCANCEL : GetDlgCtrlID(buttons.front());
}

BOOL CALLBACK AddThreadWindow(HWND Window, LPARAM Record)
{
  auto* r = reinterpret_cast<TBoxRecord*>(Record);
  if (Window != r->Box)
    r->ThreadWindows.emplace_back(Window, IsWindowEnabled(Window) != FALSE);
  return TRUE;
}

TBoxRecord RecordOf(HWND Box)
{
  TBoxRecord r;
  r.Box = Box;
  r.Caption = TextOf(Box);
  for (HWND c : ChildrenOf(Box))
    if (LOWORD(GetDlgCtrlID(c)) == kMessageTextId && IsStatic(c) && (StyleOf(c) & SS_TYPEMASK) != SS_ICON)
      r.Text = TextOf(c);
  r.Icon = IconOf(Box);
  for (HWND b : ButtonsOf(Box)) {
    r.Buttons.push_back(GetDlgCtrlID(b));
    if ((StyleOf(b) & kButtonTypeMask) == BS_DEFPUSHBUTTON)
      r.DefaultButton = GetDlgCtrlID(b);
  }
  HWND focus = GetFocus();
  if (focus && IsChild(Box, focus))
    r.FocusedButton = GetDlgCtrlID(focus);
  r.Owner = GetWindow(Box, GW_OWNER);
  r.ActiveWindow = GetActiveWindow();
  EnumThreadWindows(GetCurrentThreadId(), AddThreadWindow, reinterpret_cast<LPARAM>(&r));
  return r;
}

// A key pressed and released on the focused control of Window (or on Window itself).
void PostKey(HWND Window, UINT Key)
{
  HWND target = GetFocus();
  if (!target || (target != Window && !IsChild(Window, target)))
    target = Window;
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(Key, MAPVK_VK_TO_VSC)) << 16;
  PostMessageW(target, WM_KEYDOWN, Key, scan | 1);
  PostMessageW(target, WM_KEYUP, Key, scan | 1 | (LPARAM(3) << 30));
}

template <class F>
void Guarded(const char* What, F&& Call)
{
  try {
    Call();
  } catch (const std::exception& e) {
    ADD_FAILURE() << What << " threw: " << e.what();
  } catch (...) {
    ADD_FAILURE() << What << " threw";
  }
}
}  // namespace

bool TBoxRecord::Enabled(HWND Window) const
{
  for (const auto& w : ThreadWindows)
    if (w.first == Window)
      return w.second;
  ADD_FAILURE() << "window " << Window << " was not a top-level window of the thread while the box was up";
  return true;
}

TBoxRecorder::TBoxRecorder()
{
  if (t_recorder)
    throw std::logic_error("a box recorder already watches this thread");
  FHook = SetWindowsHookExW(WH_CBT, HookProc, nullptr, GetCurrentThreadId());
  if (!FHook)
    throw std::runtime_error("cannot hook the thread's windows");
  t_recorder = this;
}

TBoxRecorder::~TBoxRecorder()
{
  UnhookWindowsHookEx(FHook);
  t_recorder = nullptr;
  // Timers still set on live windows find no recorder and stop themselves.
}

TBoxRecord TBoxRecorder::Last() const
{
  if (FBoxes.empty()) {
    ADD_FAILURE() << "no message box was shown";
    return {};
  }
  return FBoxes.back();
}

void TBoxRecorder::ClickButton(HWND Window, int ButtonId)
{
  PostMessageW(Window, WM_COMMAND, MAKEWPARAM(ButtonId, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(Window, ButtonId)));
}

bool TBoxRecorder::IsMessageBox(HWND Window)
{
  if (ClassOf(Window) != L"#32770")
    return false;
  bool text = false, button = false;
  for (HWND c : ChildrenOf(Window)) {
    if (IsPushButton(c)) {
      int id = GetDlgCtrlID(c);
      if (id < IDOK || id > IDCONTINUE)
        return false;
      button = true;
    } else if (IsStatic(c)) {
      text = text || LOWORD(GetDlgCtrlID(c)) == kMessageTextId;
    } else {
      return false;
    }
  }
  return text && button;
}

LRESULT CALLBACK TBoxRecorder::HookProc(int Code, WPARAM W, LPARAM L)
{
  TBoxRecorder* self = t_recorder;
  if (self && Code == HCBT_ACTIVATE) {
    // Handled from the window's own loop once it is shown: a box's controls and a dialog's contents
    // are in place by then.
    auto window = reinterpret_cast<HWND>(W);
    if (self->FSeen.insert(window).second)
      SetTimer(window, kUpTimer, USER_TIMER_MINIMUM, UpTimerProc);
  } else if (self && Code == HCBT_DESTROYWND) {
    auto window = reinterpret_cast<HWND>(W);
    self->FSeen.erase(window);
    self->FWatchdog.erase(window);
  }
  return CallNextHookEx(nullptr, Code, W, L);
}

void CALLBACK TBoxRecorder::UpTimerProc(HWND Window, UINT, UINT_PTR, DWORD)
{
  if (!t_recorder) {
    KillTimer(Window, kUpTimer);
    return;
  }
  if (!IsWindowVisible(Window))
    return;  // activated before it was shown: wait
  KillTimer(Window, kUpTimer);
  t_recorder->WindowUp(Window);
}

void TBoxRecorder::WindowUp(HWND Window)
{
  if (IsMessageBox(Window))
    BoxUp(Window);
  else
    DialogUp(Window);
}

void TBoxRecorder::BoxUp(HWND Box)
{
  TBoxRecord record = RecordOf(Box);
  TBoxAnswer answer;
  record.Expected = !FAnswers.empty();
  if (record.Expected) {
    answer = FAnswers.front();
    FAnswers.pop_front();
  } else {
    answer = TBoxAnswer::Click(DefaultAnswerOf(Box));
  }
  FBoxes.push_back(record);
  if (OnBox)
    Guarded("OnBox", [&] { OnBox(record); });
  if (!IsWindow(Box))
    return;

  switch (answer.Action) {
    case TBoxAnswer::ClickButton:
      if (std::find(record.Buttons.begin(), record.Buttons.end(), answer.Button) == record.Buttons.end()) {
        ADD_FAILURE() << "the box \"" << record.Text << "\" has no button " << answer.Button;
        answer.Button = DefaultAnswerOf(Box);
      }
      ClickButton(Box, answer.Button);
      break;
    case TBoxAnswer::PressEnter: PostKey(Box, VK_RETURN); break;
    case TBoxAnswer::PressSpace: PostKey(Box, VK_SPACE); break;
    case TBoxAnswer::Leave: break;
  }
  FWatchdog[Box] = 0;
  SetTimer(Box, kWatchdogTimer, WatchdogMs, WatchdogProc);
}

void TBoxRecorder::DialogUp(HWND Window)
{
  bool claimed = false;
  if (OnDialog)
    Guarded("OnDialog", [&] { claimed = OnDialog(Window); });
  if (claimed && IsWindow(Window)) {
    FWatchdog[Window] = 0;
    SetTimer(Window, kWatchdogTimer, WatchdogMs, WatchdogProc);
  }
}

void CALLBACK TBoxRecorder::WatchdogProc(HWND Window, UINT, UINT_PTR, DWORD)
{
  TBoxRecorder* self = t_recorder;
  if (!self || !self->FWatchdog.count(Window)) {
    KillTimer(Window, kWatchdogTimer);
    return;
  }
  const int fired = ++self->FWatchdog[Window];
  if (fired == 1)
    ADD_FAILURE() << "\"" << TextOf(Window) << "\" was still open after " << self->WatchdogMs
                  << " ms; closed by the box recorder";
  if (IsMessageBox(Window)) {
    KillTimer(Window, kWatchdogTimer);
    EndDialog(Window, DefaultAnswerOf(Window));
    return;
  }
  // A dialog of the library: asked to close, then cancelled, then destroyed.
  SetTimer(Window, kWatchdogTimer, 2000, WatchdogProc);
  if (fired == 1)
    PostMessageW(Window, WM_CLOSE, 0, 0);
  else if (fired == 2)
    PostMessageW(Window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  else {
    KillTimer(Window, kWatchdogTimer);
    DestroyWindow(Window);
  }
}
