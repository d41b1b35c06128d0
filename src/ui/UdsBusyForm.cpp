#include "ui/UdsBusyForm.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/BusyFormIds.h"
#include "ui/UApplication.h"
#include "ui/UDialogTemplate.h"
#include "ui/UFormLayout.h"
#include "util/UStrConv.h"
#include "util/UdsErrors.h"

namespace {

const wchar_t kGaugeClass[] = L"" QRX_GAUGE_CLASS;
const COLORREF kGaugeBar = RGB(0, 0, 255);
const COLORREF kGaugeBackground = RGB(255, 255, 255);
const COLORREF kGaugeBorder = RGB(0, 0, 0);
// The gauge's window extra bytes: its progress, then the font the dialog manager gave it.
const int kGaugeProgressSlot = 0;
const int kGaugeFontSlot = sizeof(LONG_PTR);
int g_gaugeClassUsers = 0;

// A window's device context with a font selected, released at the end of the scope.
class TWindowDC {
public:
  TWindowDC(HWND Window, HFONT Font) : FWindow(Window), FDC(GetDC(Window))
  {
    FOldFont = SelectObject(FDC, Font ? static_cast<HGDIOBJ>(Font) : GetStockObject(SYSTEM_FONT));
  }
  ~TWindowDC()
  {
    SelectObject(FDC, FOldFont);
    ReleaseDC(FWindow, FDC);
  }
  TWindowDC(const TWindowDC&) = delete;
  TWindowDC& operator=(const TWindowDC&) = delete;
  HDC Handle() const { return FDC; }

private:
  HWND FWindow;
  HDC FDC;
  HGDIOBJ FOldFont;
};

// A rectangle of one colour, without a brush to create and free.
void FillSolid(HDC DC, const RECT& Rect, COLORREF Colour)
{
  SetBkColor(DC, Colour);
  ExtTextOutW(DC, 0, 0, ETO_OPAQUE, &Rect, nullptr, 0, nullptr);
}

// A single black border, inside it a white background with the blue bar from the left, and the
// percentage centred: white on the bar, blue beside it. The gauge draws its border itself: the
// dialog manager would turn a WS_BORDER into a sunken edge.
void PaintGauge(HWND Gauge, HDC DC)
{
  RECT client;
  GetClientRect(Gauge, &client);
  FillSolid(DC, client, kGaugeBorder);
  RECT inner = client;
  InflateRect(&inner, -1, -1);
  const int progress = static_cast<int>(GetWindowLongPtrW(Gauge, kGaugeProgressSlot));
  const int split = inner.left + MulDiv(inner.right - inner.left, progress, 100);
  const RECT bar = {inner.left, inner.top, split, inner.bottom};
  const RECT rest = {split, inner.top, inner.right, inner.bottom};
  FillSolid(DC, bar, kGaugeBar);
  FillSolid(DC, rest, kGaugeBackground);

  // "0%" to "100%", written out by hand: painting allocates nothing and cannot fail.
  wchar_t text[4];
  int length = 0;
  if (progress >= 100)
    text[length++] = L'1';
  if (progress >= 10)
    text[length++] = static_cast<wchar_t>(L'0' + progress / 10 % 10);
  text[length++] = static_cast<wchar_t>(L'0' + progress % 10);
  text[length++] = L'%';
  const int saved = SaveDC(DC);
  if (auto font = reinterpret_cast<HFONT>(GetWindowLongPtrW(Gauge, kGaugeFontSlot)))
    SelectObject(DC, font);
  SetBkMode(DC, TRANSPARENT);
  for (const auto& part : {std::make_pair(bar, kGaugeBackground), std::make_pair(rest, kGaugeBar)}) {
    const int inside = SaveDC(DC);
    IntersectClipRect(DC, part.first.left, part.first.top, part.first.right, part.first.bottom);
    SetTextColor(DC, part.second);
    RECT r = inner;
    DrawTextW(DC, text, length, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    RestoreDC(DC, inside);
  }
  RestoreDC(DC, saved);
}

LRESULT CALLBACK GaugeProc(HWND Window, UINT Message, WPARAM W, LPARAM L) noexcept
{
  switch (Message) {
    case WM_SETFONT:
      SetWindowLongPtrW(Window, kGaugeFontSlot, static_cast<LONG_PTR>(W));
      if (LOWORD(L))
        InvalidateRect(Window, nullptr, FALSE);
      return 0;
    case WM_GETFONT: return GetWindowLongPtrW(Window, kGaugeFontSlot);
    case WM_ERASEBKGND: return 1;  // the paint covers every pixel
    case WM_PRINTCLIENT: PaintGauge(Window, reinterpret_cast<HDC>(W)); return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Window, &ps);
      PaintGauge(Window, dc);
      EndPaint(Window, &ps);
      return 0;
    }
    default: return DefWindowProcW(Window, Message, W, L);
  }
}

// The cancel button is a speed button: it never keeps the keyboard focus. A click gives it the focus
// for a moment (the button's own handling); it hands it straight back to where it came from, or to
// the busy window. The button's original procedure is kept in its GWLP_USERDATA.
LRESULT CALLBACK CancelButtonProc(HWND Window, UINT Message, WPARAM W, LPARAM L) noexcept
{
  auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(Window, GWLP_USERDATA));
  if (Message == WM_SETFOCUS) {
    auto previous = reinterpret_cast<HWND>(W);
    bool ours = previous && previous != Window && IsWindow(previous) &&
                GetWindowThreadProcessId(previous, nullptr) == GetCurrentThreadId();
    SetFocus(ours ? previous : GetParent(Window));
    return 0;
  }
  return CallWindowProcW(original, Window, Message, W, L);
}

INT_PTR CALLBACK BusyDialogProc(HWND Window, UINT Message, WPARAM W, LPARAM L) noexcept
{
  try {
    switch (Message) {
      case WM_INITDIALOG:
        SetWindowLongPtrW(Window, DWLP_USER, L);
        return FALSE;  // no control takes the focus
      case WM_SETFOCUS: return TRUE;  // the window keeps it itself: nothing in it takes keys
      case WM_SETCURSOR:
        if (!TApplication::ApplyScreenCursor())
          return FALSE;
        SetWindowLongPtrW(Window, DWLP_MSGRESULT, TRUE);
        return TRUE;
      case WM_CTLCOLORSTATIC:
        // The label's text is black on the window's colour, whatever the colour scheme.
        if (reinterpret_cast<HWND>(L) != GetDlgItem(Window, IDC_BUSY_TEXT))
          return FALSE;
        SetTextColor(reinterpret_cast<HDC>(W), RGB(0, 0, 0));
        SetBkColor(reinterpret_cast<HDC>(W), GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      case WM_COMMAND:
        if (LOWORD(W) == IDC_BUSY_CANCEL && HIWORD(W) == BN_CLICKED)
          if (auto* form = reinterpret_cast<TdsBusyForm*>(GetWindowLongPtrW(Window, DWLP_USER)))
            form->SetCancelled(true);
        return TRUE;
      case WM_CLOSE: return TRUE;  // not the user's to close: the code that shows it hides it
      default: return FALSE;
    }
  } catch (...) {
    return FALSE;
  }
}

// Width of Text in the label's font, and the font's height: the label's size for its text.
SIZE TextExtent(HWND Label, const std::wstring& Text)
{
  TWindowDC dc(Label, reinterpret_cast<HFONT>(SendMessageW(Label, WM_GETFONT, 0, 0)));
  SIZE size = {};
  GetTextExtentPoint32W(dc.Handle(), Text.c_str(), static_cast<int>(Text.size()), &size);
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc.Handle(), &metrics);
  size.cy = metrics.tmHeight;
  return size;
}

uint16_t Le16(const uint8_t* P) { return static_cast<uint16_t>(P[0] | (P[1] << 8)); }
uint32_t Le32(const uint8_t* P) { return Le16(P) | (static_cast<uint32_t>(Le16(P + 2)) << 16); }

// The image of Size x Size pixels of the icon file stored as the RCDATA resource Name (see
// resources/BusyForm.rc for why it is not an icon resource); nullptr when there is none.
HICON LoadIconFile(HINSTANCE Module, LPCWSTR Name, int Size)
{
  HRSRC info = FindResourceW(Module, Name, reinterpret_cast<LPCWSTR>(RT_RCDATA));
  HGLOBAL data = info ? LoadResource(Module, info) : nullptr;
  auto file = data ? static_cast<const uint8_t*>(LockResource(data)) : nullptr;
  const DWORD size = file ? SizeofResource(Module, info) : 0;
  if (size < 6 || Le16(file + 2) != 1)
    return nullptr;
  // ICONDIR, then one 16-byte entry per image: width, height, ..., byte count, file offset.
  for (DWORD i = 0, count = Le16(file + 4); i < count && 6 + 16 * (i + 1) <= size; ++i) {
    const uint8_t* entry = file + 6 + 16 * i;
    const DWORD length = Le32(entry + 8), offset = Le32(entry + 12);
    if (entry[0] == Size && entry[1] == Size && offset <= size && length <= size - offset)
      return CreateIconFromResourceEx(const_cast<PBYTE>(file + offset), length, TRUE, 0x00030000, Size, Size,
                                      LR_DEFAULTCOLOR);
  }
  return nullptr;
}

}  // namespace

SIZE OpenBusyClip(HWND Animation, HINSTANCE Module, const char* Name)
{
  HRSRC info = FindResourceA(Module, Name, "AVI");
  HGLOBAL data = info ? LoadResource(Module, info) : nullptr;
  auto bytes = data ? static_cast<const uint8_t*>(LockResource(data)) : nullptr;
  // The frame width and height sit at offsets 64 and 68 of the main AVI header.
  if (!bytes || SizeofResource(Module, info) < 72 ||
      !SendMessageW(Animation, ACM_OPENA, reinterpret_cast<WPARAM>(Module), reinterpret_cast<LPARAM>(Name)))
    throw EdsError("Cannot open AVI");
  SIZE frame = {static_cast<LONG>(Le32(bytes + 64)), static_cast<LONG>(Le32(bytes + 68))};
  return frame;
}

TdsBusyForm::TGaugeClass::TGaugeClass()
{
  if (g_gaugeClassUsers == 0) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = GaugeProc;
    wc.cbWndExtra = 2 * sizeof(LONG_PTR);
    wc.hInstance = TApplication::Instance();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kGaugeClass;
    if (!RegisterClassExW(&wc))
      throw EdsError("Cannot register the gauge's window class");
  }
  ++g_gaugeClassUsers;
}

TdsBusyForm::TGaugeClass::~TGaugeClass()
{
  if (--g_gaugeClassUsers == 0)
    UnregisterClassW(kGaugeClass, TApplication::Instance());
}

TdsBusyForm::TdsBusyForm()
{
  INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_ANIMATE_CLASS};
  InitCommonControlsEx(&classes);
  const HINSTANCE module = TApplication::Instance();
  size_t size = 0;
  const DLGTEMPLATE* resource = LoadDialogResource(module, L"TDSBUSYFORM", size);
  TDialogTemplate layout;
  if (!ParseDialogTemplate(resource, size, layout))
    throw EdsError("The busy window's layout resource is damaged");
  FWindow.reset(CreateDialogIndirectParamW(module, resource, TApplication::Handle(), BusyDialogProc,
                                           reinterpret_cast<LPARAM>(this)));
  if (!FWindow)
    throw EdsError("Cannot create the busy window");
  ApplyPixelLayout(Handle(), layout);
  FIcon.reset(LoadIconFile(module, L"BUSYICON", 48));
  if (!FIcon)
    throw EdsError("The busy window's icon resource is damaged");

  // The controls and where the layout puts them: the geometry the arrangements start from.
  const struct {
    int Id;
    HWND& Window;
    TBusyRect& Rect;
  } controls[] = {{IDC_BUSY_ANIMATE, FAnimate, FGeometry.Animation},
                  {IDC_BUSY_TEXT, FText, FGeometry.Text},
                  {IDC_BUSY_IMAGE, FImage, FGeometry.Image},
                  {IDC_BUSY_GAUGE, FGauge, FGeometry.Gauge},
                  {IDC_BUSY_CANCEL, FCancel, FGeometry.Button}};
  for (const auto& c : controls) {
    c.Window = GetDlgItem(Handle(), c.Id);
    auto item = std::find_if(layout.Items.begin(), layout.Items.end(),
                             [&](const TDialogItem& i) { return i.Id == static_cast<uint32_t>(c.Id); });
    if (!c.Window || item == layout.Items.end())
      throw EdsError("The busy window's layout resource is damaged");
    c.Rect = {item->X, item->Y, item->Cx, item->Cy};
  }
  RECT outer;
  GetWindowRect(Handle(), &outer);
  FGeometry.WindowWidth = outer.right - outer.left;
  FGeometry.WindowHeight = outer.bottom - outer.top;

  SendMessageW(FImage, STM_SETICON, reinterpret_cast<WPARAM>(FIcon.get()), 0);
  SetWindowLongPtrW(FCancel, GWLP_USERDATA, GetWindowLongPtrW(FCancel, GWLP_WNDPROC));
  SetWindowLongPtrW(FCancel, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CancelButtonProc));
}

TdsBusyForm::~TdsBusyForm()
{
  if (!FBusy)
    return;
  ShowWindow(Handle(), SW_HIDE);
  EnableDisabledChildren();
  TApplication::SetScreenCursor(TApplication::crDefault);
}

void TdsBusyForm::ShowBusy(HWND Control, TdsBusyKind Kind, const std::string& Text, TdsBusyTextStyle TextStyle,
                           bool ShowGauge, bool ShowCancel)
{
  FBusy = true;
  TApplication::SetScreenCursor(TApplication::crHourGlass);
  FShowGauge = ShowGauge;
  FCancelled = false;
  if (Control)
    DisableChildren(Control);
  Prepare(Kind, BusyText(Text, TextStyle), ShowGauge, ShowCancel);

  RECT outer;
  GetWindowRect(Handle(), &outer);
  const TBusyPoint at = CenterOnScreen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                       outer.right - outer.left, outer.bottom - outer.top);
  SetForegroundWindow(Handle());
  SetWindowPos(Handle(), HWND_TOPMOST, at.X, at.Y, 0, 0, SWP_NOSIZE);
  ShowWindow(Handle(), SW_SHOW);
  UpdateWindow(Handle());
  TApplication::ProcessMessages();
  if (!ShowGauge)
    Sleep(200);
}

void TdsBusyForm::ShowBusy(HWND Control, TdsBusyKind Kind, const std::string& Text, TdsBusyTextStyle TextStyle,
                           bool ShowCancel)
{
  ShowBusy(Control, Kind, Text, TextStyle, false, ShowCancel);
}

void TdsBusyForm::ShowBusy(HWND Control, TdsBusyKind Kind, const std::string& Text, TdsBusyTextStyle TextStyle)
{
  ShowBusy(Control, Kind, Text, TextStyle, false, false);
}

void TdsBusyForm::HideBusy()
{
  if (FShowGauge)
    Sleep(200);
  ShowWindow(Handle(), SW_HIDE);
  EnableDisabledChildren();
  TApplication::SetScreenCursor(TApplication::crDefault);
  FBusy = false;
  TApplication::ProcessMessages();
}

void TdsBusyForm::SetCancelled(bool Value)
{
  FCancelled = Value;
  EnableWindow(FCancel, !Value);
}

void TdsBusyForm::SetProgress(int Value)
{
  SetWindowLongPtrW(FGauge, kGaugeProgressSlot, std::min(100, std::max(0, Value)));
  InvalidateRect(FGauge, nullptr, FALSE);
}

int TdsBusyForm::Progress() const { return static_cast<int>(GetWindowLongPtrW(FGauge, kGaugeProgressSlot)); }

void TdsBusyForm::Prepare(uint8_t Kind, const std::string& Text, bool ShowGauge, bool ShowCancel)
{
  Animate_Stop(FAnimate);
  FGeometry.AnimationVisible = false;
  FGeometry.ImageVisible = false;
  FGeometry.GaugeVisible = ShowGauge;
  FGeometry.ButtonVisible = ShowCancel;
  const std::wstring text = AnsiToWide(Text);
  SetWindowTextW(FText, text.c_str());
  const SIZE extent = TextExtent(FText, text);
  FGeometry.Text.Width = extent.cx;
  FGeometry.Text.Height = extent.cy;
  if (ShowGauge)
    SetProgress(0);
  // Shown as far as it goes: if the clip cannot be opened, the picture and the clip stay hidden.
  ApplyGeometry();

  TBusyKindInfo kind;
  if (!BusyKindInfo(Kind, kind))
    return;  // the last arrangement stays, without picture or clip
  if (kind.Clip) {
    const SIZE frame = OpenBusyClip(FAnimate, TApplication::Instance(), kind.Clip);
    FGeometry.Animation.Width = frame.cx;
    FGeometry.Animation.Height = frame.cy;
  }
  FGeometry = Arrange(kind.Layout, FGeometry);
  ApplyGeometry();
  if (FGeometry.AnimationVisible)
    Animate_Play(FAnimate, 0, -1, -1);  // every frame, looping until stopped
}

void TdsBusyForm::ApplyGeometry()
{
  const struct {
    HWND Window;
    const TBusyRect& Rect;
    bool Visible;
  } controls[] = {{FAnimate, FGeometry.Animation, FGeometry.AnimationVisible},
                  {FText, FGeometry.Text, true},
                  {FImage, FGeometry.Image, FGeometry.ImageVisible},
                  {FGauge, FGeometry.Gauge, FGeometry.GaugeVisible},
                  {FCancel, FGeometry.Button, FGeometry.ButtonVisible}};
  for (const auto& c : controls)
    SetWindowPos(c.Window, nullptr, c.Rect.Left, c.Rect.Top, c.Rect.Width, c.Rect.Height,
                 SWP_NOZORDER | SWP_NOACTIVATE | (c.Visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
  SetWindowPos(Handle(), nullptr, 0, 0, FGeometry.WindowWidth, FGeometry.WindowHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TdsBusyForm::DisableChildren(HWND Control)
{
  // Only the enabled ones: a child the host disabled itself is the host's to enable.
  for (HWND child = GetWindow(Control, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsWindowEnabled(child)) {
      FDisabledChildren.push_back(child);
      EnableWindow(child, FALSE);
    }
  }
}

void TdsBusyForm::EnableDisabledChildren() noexcept
{
  for (HWND child : FDisabledChildren)
    if (IsWindow(child))
      EnableWindow(child, TRUE);
  FDisabledChildren.clear();
}
