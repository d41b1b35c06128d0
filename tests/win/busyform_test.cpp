// The busy window as the user sees it, read from the real window: its place and size, its controls,
// the host's controls while it is up, the cursor, the cancel button, the clips and the gauge.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "Screenshot.h"
#include "TestHost.h"
#include "ui/BusyFormIds.h"
#include "ui/UApplication.h"
#include "ui/UdsBusyForm.h"
#include "util/UdsErrors.h"

namespace {

const wchar_t kGaugeClass[] = L"" QRX_GAUGE_CLASS;

RECT ClientRectOf(HWND Form, HWND Control)
{
  RECT r;
  GetWindowRect(Control, &r);
  MapWindowPoints(nullptr, Form, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::wstring TextOf(HWND Window)
{
  wchar_t buffer[256] = {};
  GetWindowTextW(Window, buffer, 256);
  return buffer;
}

// Pumps this thread's messages until Done holds, for at most a few seconds.
bool PumpUntil(const std::function<bool()>& Done)
{
  for (int i = 0; i < 300; ++i) {
    TApplication::ProcessMessages();
    if (Done())
      return true;
    Sleep(10);
  }
  return Done();
}

// Pixels of a screen rectangle, as the screen shows them (0x00RRGGBB, rows top first).
struct TReleaseScreenDc {
  void operator()(HDC Dc) const { ReleaseDC(nullptr, Dc); }
};
struct TDeleteDc {
  void operator()(HDC Dc) const { DeleteDC(Dc); }
};
struct TDeleteBitmap {
  void operator()(HBITMAP Bitmap) const { DeleteObject(Bitmap); }
};

std::vector<uint32_t> Capture(HDC Source, int X, int Y, int Width, int Height)
{
  std::unique_ptr<std::remove_pointer_t<HDC>, TDeleteDc> memory(CreateCompatibleDC(Source));
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = Width;
  info.bmiHeader.biHeight = -Height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  std::unique_ptr<std::remove_pointer_t<HBITMAP>, TDeleteBitmap> bitmap(
      CreateDIBSection(Source, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
  BitBlt(memory.get(), 0, 0, Width, Height, Source, X, Y, SRCCOPY);
  GdiFlush();
  std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + Width * Height);
  SelectObject(memory.get(), old);
  for (uint32_t& p : pixels)
    p &= 0xFFFFFF;
  return pixels;
}

std::vector<uint32_t> ScreenPixels(const RECT& R)
{
  std::unique_ptr<std::remove_pointer_t<HDC>, TReleaseScreenDc> screen(GetDC(nullptr));
  return Capture(screen.get(), R.left, R.top, R.right - R.left, R.bottom - R.top);
}

uint32_t Rgb(COLORREF C) { return (GetRValue(C) << 16) | (GetGValue(C) << 8) | GetBValue(C); }

class BusyForm : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_EQ(GetACP(), 936u);
    TApplication::SetHandle(host.MainWindow());
  }
  void TearDown() override
  {
    TApplication::SetScreenCursor(TApplication::crDefault);
    TApplication::SetHandle(nullptr);
  }

  HWND Item(const TdsBusyForm& Busy, int Id) const { return GetDlgItem(Busy.Handle(), Id); }

  TTestHost host{nullptr};
};

struct TExpectedRect {
  int Left, Top, Width, Height;
};

// The three arrangements, as the window shows them.
TEST_F(BusyForm, ArrangementsOnTheScreen)
{
  const struct {
    const char* Name;
    std::function<void(TdsBusyForm&, HWND)> Show;
    std::vector<std::pair<int, TExpectedRect>> Shown;  // control id and its rectangle (width -1: the text's)
    std::vector<int> Hidden;
    int Width, Height;
  } cases[] = {
      {"scan",
       [](TdsBusyForm& b, HWND c) { b.ShowBusy(c, bkScan, "正在扫描发票", btPleaseWait); },
       {{IDC_BUSY_TEXT, {16, 16, -1, -1}}, {IDC_BUSY_ANIMATE, {16, 32, 271, 48}}},
       {IDC_BUSY_IMAGE, IDC_BUSY_GAUGE, IDC_BUSY_CANCEL},
       303,
       96},
      {"load data",
       [](TdsBusyForm& b, HWND c) { b.ShowBusy(c, bkLoadData, "正在载入数据", btPleaseWait, false, false); },
       {{IDC_BUSY_ANIMATE, {16, 16, 48, 45}}, {IDC_BUSY_TEXT, {80, 30, -1, -1}}},
       {IDC_BUSY_IMAGE, IDC_BUSY_GAUGE, IDC_BUSY_CANCEL},
       288,
       77},
      {"image with gauge and button",
       [](TdsBusyForm& b, HWND c) { b.ShowBusy(c, bkImage, "正在传输数据", btEllipsis, true, true); },
       {{IDC_BUSY_IMAGE, {16, 16, 48, 48}},
        {IDC_BUSY_TEXT, {80, 31, -1, -1}},
        {IDC_BUSY_GAUGE, {80, 51, 188, 18}},
        {IDC_BUSY_CANCEL, {212, 4, 56, 22}}},
       {IDC_BUSY_ANIMATE},
       288,
       80},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TdsBusyForm busy;
    c.Show(busy, host.HostControl());
    HWND form = busy.Handle();
    ASSERT_TRUE(IsWindowVisible(form));

    RECT outer;
    GetWindowRect(form, &outer);
    EXPECT_EQ(outer.right - outer.left, c.Width);
    EXPECT_EQ(outer.bottom - outer.top, c.Height);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - c.Width) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - c.Height) / 2);
    EXPECT_TRUE(GetWindowLongW(form, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetWindow(form, GW_OWNER), host.MainWindow());

    for (const auto& shown : c.Shown) {
      SCOPED_TRACE("control " + std::to_string(shown.first));
      HWND control = Item(busy, shown.first);
      EXPECT_TRUE(IsWindowVisible(control));
      RECT r = ClientRectOf(form, control);
      EXPECT_EQ(r.left, shown.second.Left);
      EXPECT_EQ(r.top, shown.second.Top);
      if (shown.second.Width >= 0) {
        EXPECT_EQ(r.right - r.left, shown.second.Width);
        EXPECT_EQ(r.bottom - r.top, shown.second.Height);
      }
    }
    for (int id : c.Hidden)
      EXPECT_FALSE(IsWindowVisible(Item(busy, id))) << "control " << id;
    busy.HideBusy();
    EXPECT_FALSE(IsWindowVisible(form));
  }
}

TEST_F(BusyForm, PopUpWithADialogFrameOwnedByTheApplicationWindow)
{
  TdsBusyForm busy;
  HWND form = busy.Handle();
  EXPECT_FALSE(IsWindowVisible(form)) << "created hidden";
  EXPECT_EQ(GetWindow(form, GW_OWNER), host.MainWindow()) << "owned: no task-bar button, above the host";
  const LONG style = GetWindowLongW(form, GWL_STYLE);
  const LONG exStyle = GetWindowLongW(form, GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CHILD | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_EQ(exStyle & (WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE), WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE);
  EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
  EXPECT_FALSE(exStyle & WS_EX_TOPMOST) << "top-most from the first show on";

  // The controls: the clip centred and transparent, the gauge of the library's own class, a button
  // without tab stop.
  EXPECT_EQ(GetWindowLongW(Item(busy, IDC_BUSY_ANIMATE), GWL_STYLE) & (ACS_CENTER | ACS_TRANSPARENT),
            ACS_CENTER | ACS_TRANSPARENT);
  wchar_t className[64] = {};
  GetClassNameW(Item(busy, IDC_BUSY_GAUGE), className, 64);
  EXPECT_STREQ(className, kGaugeClass);
  EXPECT_EQ(TextOf(Item(busy, IDC_BUSY_CANCEL)), L"取消");
  EXPECT_FALSE(GetWindowLongW(Item(busy, IDC_BUSY_CANCEL), GWL_STYLE) & WS_TABSTOP);
  // The picture: the library's 48 x 48 icon with its alpha channel.
  auto icon = reinterpret_cast<HICON>(SendMessageW(Item(busy, IDC_BUSY_IMAGE), STM_GETICON, 0, 0));
  ASSERT_NE(icon, nullptr);
  ICONINFO parts = {};
  ASSERT_TRUE(GetIconInfo(icon, &parts));
  BITMAP colour = {};
  GetObjectW(parts.hbmColor, sizeof(colour), &colour);
  EXPECT_EQ(colour.bmWidth, 48);
  EXPECT_EQ(colour.bmHeight, 48);
  EXPECT_EQ(colour.bmBitsPixel, 32);
  DeleteObject(parts.hbmColor);
  DeleteObject(parts.hbmMask);

  busy.ShowBusy(nullptr, bkScan, "正在扫描发票", btPleaseWait);
  busy.HideBusy();
  EXPECT_TRUE(GetWindowLongW(form, GWL_EXSTYLE) & WS_EX_TOPMOST) << "stays top-most once shown";
}

// The host's children are out of input while the window is up; afterwards exactly those that were
// enabled before are enabled again.
TEST_F(BusyForm, HostControlsAreDisabledWhileShownAndRestoredExactly)
{
  const std::vector<HWND>& children = host.ChildControls();
  ASSERT_EQ(children.size(), 3u);
  EnableWindow(children[1], FALSE);  // the host's own choice
  TdsBusyForm busy;

  const std::function<void()> shows[] = {
      [&] { busy.ShowBusy(host.HostControl(), bkScan, "正在扫描发票", btPleaseWait); },
      // Shown again before it was hidden: still only the host's own choice stays disabled.
      [&] {
        busy.ShowBusy(host.HostControl(), bkScan, "正在扫描发票", btPleaseWait);
        busy.ShowBusy(host.HostControl(), bkLoadData, "正在载入数据", btPlain, true, false);
      },
  };
  for (const auto& show : shows) {
    show();
    for (HWND child : children)
      EXPECT_FALSE(IsWindowEnabled(child));
    EXPECT_TRUE(IsWindowEnabled(host.HostControl())) << "only the direct children";
    busy.HideBusy();
    EXPECT_TRUE(IsWindowEnabled(children[0]));
    EXPECT_FALSE(IsWindowEnabled(children[1])) << "disabled by the host before the show";
    EXPECT_TRUE(IsWindowEnabled(children[2]));
  }

  // Without a control nothing of the host's changes.
  busy.ShowBusy(nullptr, bkImage, "正在处理", btPlain, true, false);
  EXPECT_TRUE(IsWindowEnabled(children[0]));
  busy.HideBusy();
  EnableWindow(children[1], TRUE);
}

TEST_F(BusyForm, HourglassWhileShownDefaultAfter)
{
  TdsBusyForm busy;
  const HCURSOR wait = LoadCursor(nullptr, IDC_WAIT);
  const HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
  auto setCursorOver = [&](HWND Window) {
    SendMessageW(Window, WM_SETCURSOR, reinterpret_cast<WPARAM>(Window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  };

  busy.ShowBusy(host.HostControl(), bkScan, "正在扫描发票", btPleaseWait);
  EXPECT_EQ(TApplication::ScreenCursor(), TApplication::crHourGlass);
  // Over the window and over its controls the hourglass stays.
  for (HWND over : {busy.Handle(), Item(busy, IDC_BUSY_TEXT), Item(busy, IDC_BUSY_ANIMATE)}) {
    SetCursor(arrow);
    setCursorOver(over);
    EXPECT_EQ(GetCursor(), wait);
  }

  busy.HideBusy();
  EXPECT_EQ(TApplication::ScreenCursor(), TApplication::crDefault);
  setCursorOver(busy.Handle());
  EXPECT_EQ(GetCursor(), arrow);

  // Hiding a window that is not shown sets the default cursor all the same.
  TApplication::SetScreenCursor(TApplication::crHourGlass);
  busy.HideBusy();
  EXPECT_EQ(TApplication::ScreenCursor(), TApplication::crDefault);
  EXPECT_FALSE(IsWindowVisible(busy.Handle()));
}

// A click on the real button, as the user makes it.
TEST_F(BusyForm, CancelButtonSetsCancelledAndNeverTakesTheFocus)
{
  TdsBusyForm busy;
  busy.ShowBusy(host.HostControl(), bkImage, "正在传输数据", btEllipsis, true, true);
  HWND button = Item(busy, IDC_BUSY_CANCEL);
  ASSERT_TRUE(IsWindowVisible(button));
  ASSERT_TRUE(IsWindowEnabled(button));
  EXPECT_FALSE(busy.Cancelled());

  RECT r;
  GetWindowRect(button, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  INPUT clicks[2] = {};
  clicks[0].type = clicks[1].type = INPUT_MOUSE;
  clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ASSERT_EQ(SendInput(2, clicks, sizeof(INPUT)), 2u);
  ASSERT_TRUE(PumpUntil([&] { return busy.Cancelled(); })) << "the click did not reach the button";

  EXPECT_TRUE(busy.Cancelled());
  EXPECT_FALSE(IsWindowEnabled(button));
  EXPECT_NE(GetFocus(), button);

  // The next show clears Cancelled and leaves the button as it is.
  busy.HideBusy();
  busy.ShowBusy(host.HostControl(), bkImage, "正在传输数据", btEllipsis, true, true);
  EXPECT_FALSE(busy.Cancelled());
  EXPECT_FALSE(IsWindowEnabled(button));
  busy.SetCancelled(false);
  EXPECT_TRUE(IsWindowEnabled(button));
  busy.SetCancelled(true);
  EXPECT_TRUE(busy.Cancelled());
  EXPECT_FALSE(IsWindowEnabled(button));

  // Given the focus directly, the button hands it back.
  busy.SetCancelled(false);
  SetFocus(button);
  EXPECT_NE(GetFocus(), button);
  busy.HideBusy();
}

TEST_F(BusyForm, TextIsTheCallersWithItsSuffixSizedToItself)
{
  TdsBusyForm busy;
  busy.ShowBusy(nullptr, bkScan, "正在扫描发票", btPleaseWait);
  HWND label = Item(busy, IDC_BUSY_TEXT);
  EXPECT_EQ(TextOf(label), L"正在扫描发票, 请稍候...");
  const RECT shortText = ClientRectOf(busy.Handle(), label);
  busy.HideBusy();

  // A text wider than the window: the label takes its width, the window does not follow.
  const std::string longText(30, 'W');
  busy.ShowBusy(nullptr, bkLoadData, longText + "正在载入数据正在载入数据正在载入数据", btEllipsis, true, false);
  EXPECT_EQ(TextOf(label), Wide(longText) + L"正在载入数据正在载入数据正在载入数据 ...");
  const RECT longRect = ClientRectOf(busy.Handle(), label);
  RECT client;
  GetClientRect(busy.Handle(), &client);
  EXPECT_GT(longRect.right, client.right) << "cut off at the window's edge";
  RECT outer;
  GetWindowRect(busy.Handle(), &outer);
  EXPECT_EQ(outer.right - outer.left, 288);
  EXPECT_GT(longRect.right - longRect.left, shortText.right - shortText.left);
  EXPECT_EQ(longRect.bottom - longRect.top, shortText.bottom - shortText.top) << "one line";
  busy.HideBusy();
}

// What a kind outside 0..7 shows: the text in the last arrangement, no picture, no clip.
TEST_F(BusyForm, UnknownKindKeepsTheLastArrangement)
{
  TdsBusyForm busy;
  busy.ShowBusy(nullptr, bkLoadData, "正在载入数据", btPlain, true, false);
  busy.HideBusy();
  RECT before;
  GetWindowRect(busy.Handle(), &before);
  const RECT textBefore = ClientRectOf(busy.Handle(), Item(busy, IDC_BUSY_TEXT));

  busy.ShowBusy(nullptr, static_cast<TdsBusyKind>(200), "其他", btPlain, true, false);
  RECT after;
  GetWindowRect(busy.Handle(), &after);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
  EXPECT_EQ(ClientRectOf(busy.Handle(), Item(busy, IDC_BUSY_TEXT)).left, textBefore.left);
  EXPECT_EQ(ClientRectOf(busy.Handle(), Item(busy, IDC_BUSY_TEXT)).top, textBefore.top);
  EXPECT_EQ(TextOf(Item(busy, IDC_BUSY_TEXT)), L"其他");
  EXPECT_FALSE(IsWindowVisible(Item(busy, IDC_BUSY_ANIMATE)));
  EXPECT_FALSE(IsWindowVisible(Item(busy, IDC_BUSY_IMAGE)));
  EXPECT_TRUE(IsWindowVisible(Item(busy, IDC_BUSY_GAUGE)));
  busy.HideBusy();

  // The scan clip with the gauge asked for: the wide layout shows neither gauge nor button.
  busy.ShowBusy(nullptr, bkScan, "正在扫描发票", btPleaseWait, true, true);
  EXPECT_FALSE(IsWindowVisible(Item(busy, IDC_BUSY_GAUGE)));
  EXPECT_FALSE(IsWindowVisible(Item(busy, IDC_BUSY_CANCEL)));
  busy.HideBusy();
}

// Every clip opens from the library's resources, takes its frame size and plays on the window's
// colour: the clip's background is transparent.
TEST_F(BusyForm, EveryClipPlaysTransparently)
{
  const struct {
    TdsBusyKind Kind;
    int Width, Height;
  } clips[] = {{bkLoadData, 48, 45}, {bkCommunicate, 324, 72}, {bkTransfer, 100, 70}, {bkCopyFile, 260, 40},
               {bkDownload, 272, 60}, {bkUpload, 272, 60},    {bkScan, 271, 48}};
  const uint32_t face = Rgb(GetSysColor(COLOR_BTNFACE));
  const uint32_t clipBackground = 0xD4D0C8;  // the clips' own background colour
  ASSERT_NE(face, clipBackground) << "transparency would not show";
  TdsBusyForm busy;
  for (const auto& c : clips) {
    SCOPED_TRACE("kind " + std::to_string(c.Kind));
    busy.ShowBusy(nullptr, c.Kind, "正在处理", btPlain, true, false);
    HWND animate = Item(busy, IDC_BUSY_ANIMATE);
    ASSERT_TRUE(IsWindowVisible(animate));
    RECT r;
    GetWindowRect(animate, &r);
    EXPECT_EQ(r.right - r.left, c.Width);
    EXPECT_EQ(r.bottom - r.top, c.Height);

    std::vector<uint32_t> pixels;
    auto drawn = [&] {
      pixels = ScreenPixels(r);
      for (uint32_t p : pixels)
        if (p != face)
          return true;
      return false;
    };
    EXPECT_TRUE(PumpUntil(drawn)) << "the clip shows nothing";
    EXPECT_EQ(pixels.front(), face) << "the top-left pixel is the background, drawn in the window's colour";
    size_t background = 0;
    for (uint32_t p : pixels)
      background += p == clipBackground;
    EXPECT_EQ(background, 0u) << "pixels of the clip's background were not made transparent";
    busy.HideBusy();
  }
}

TEST_F(BusyForm, AClipThatCannotBeOpenedRaises)
{
  TdsBusyForm busy;
  HWND animate = Item(busy, IDC_BUSY_ANIMATE);
  const HINSTANCE library = TApplication::Instance();
  SIZE frame = OpenBusyClip(animate, library, "sCaN_aVi");  // names compare without regard to case
  EXPECT_EQ(frame.cx, 271);
  EXPECT_EQ(frame.cy, 48);
  const struct {
    HINSTANCE Module;
    const char* Name;
  } missing[] = {{library, "Missing_avi"}, {library, "TDSBUSYFORM"}, {GetModuleHandleW(L"kernel32.dll"), "Scan_avi"}};
  for (const auto& m : missing) {
    try {
      OpenBusyClip(animate, m.Module, m.Name);
      ADD_FAILURE() << m.Name << " opened";
    } catch (const EdsError& e) {
      EXPECT_STREQ(e.what(), "Cannot open AVI") << m.Name;
    }
  }

  // In ShowBusy: the error comes out before the window is placed and shown; the hourglass and the
  // disabled children stay until HideBusy.
  DestroyWindow(animate);  // an animation control that cannot open anything
  try {
    busy.ShowBusy(host.HostControl(), bkScan, "正在扫描发票", btPleaseWait);
    ADD_FAILURE() << "no error";
  } catch (const EdsError& e) {
    EXPECT_STREQ(e.what(), "Cannot open AVI");
  }
  EXPECT_FALSE(IsWindowVisible(busy.Handle()));
  EXPECT_EQ(TApplication::ScreenCursor(), TApplication::crHourGlass);
  for (HWND child : host.ChildControls())
    EXPECT_FALSE(IsWindowEnabled(child));
  busy.HideBusy();
  EXPECT_EQ(TApplication::ScreenCursor(), TApplication::crDefault);
  for (HWND child : host.ChildControls())
    EXPECT_TRUE(IsWindowEnabled(child));

  // A scan that fails here frees the window without hiding it: the window gives back all the same
  // what ShowBusy took, exactly (a child the host had disabled stays so).
  const std::vector<HWND>& children = host.ChildControls();
  EnableWindow(children[1], FALSE);
  {
    TdsBusyForm failing;
    DestroyWindow(Item(failing, IDC_BUSY_ANIMATE));
    EXPECT_THROW(failing.ShowBusy(host.HostControl(), bkScan, "正在扫描发票", btPleaseWait), EdsError);
    EXPECT_FALSE(IsWindowEnabled(children[0]));
  }
  EXPECT_EQ(TApplication::ScreenCursor(), TApplication::crDefault);
  EXPECT_TRUE(IsWindowEnabled(children[0]));
  EXPECT_FALSE(IsWindowEnabled(children[1]));
  EXPECT_TRUE(IsWindowEnabled(children[2]));
  EnableWindow(children[1], TRUE);
}

// The gauge: blue bar on white, the percentage, the value clamped; 0 whenever shown with the gauge.
TEST_F(BusyForm, GaugeShowsItsProgress)
{
  TdsBusyForm busy;
  busy.SetProgress(40);
  busy.ShowBusy(nullptr, bkImage, "正在传输数据", btPlain, true, false);
  EXPECT_EQ(busy.Progress(), 0);
  const struct {
    int Value, Shown;
  } values[] = {{70, 70}, {100, 100}, {150, 100}, {-5, 0}, {0, 0}};
  for (const auto& v : values) {
    busy.SetProgress(v.Value);
    EXPECT_EQ(busy.Progress(), v.Shown) << v.Value;
  }

  HWND gauge = Item(busy, IDC_BUSY_GAUGE);
  RECT client;
  GetClientRect(gauge, &client);
  std::unique_ptr<std::remove_pointer_t<HDC>, TReleaseScreenDc> screen(GetDC(nullptr));
  auto paint = [&](int Progress) {
    busy.SetProgress(Progress);
    std::unique_ptr<std::remove_pointer_t<HDC>, TDeleteDc> dc(CreateCompatibleDC(screen.get()));
    std::unique_ptr<std::remove_pointer_t<HBITMAP>, TDeleteBitmap> bitmap(
        CreateCompatibleBitmap(screen.get(), client.right, client.bottom));
    HGDIOBJ old = SelectObject(dc.get(), bitmap.get());
    SendMessageW(gauge, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    std::vector<uint32_t> pixels = Capture(dc.get(), 0, 0, client.right, client.bottom);
    SelectObject(dc.get(), old);
    return pixels;
  };
  const int w = client.right, h = client.bottom;
  auto at = [&](const std::vector<uint32_t>& Pixels, int X, int Y) { return Pixels[Y * w + X]; };
  // Pixels inside the border and left of X (or from X on) that are not of the given colour.
  auto others = [&](const std::vector<uint32_t>& Pixels, int From, int To, uint32_t Colour) {
    int n = 0;
    for (int y = 1; y < h - 1; ++y)
      for (int x = From; x < To; ++x)
        n += at(Pixels, x, y) != Colour;
    return n;
  };
  const uint32_t blue = 0x0000FF, white = 0xFFFFFF, black = 0x000000;
  const std::vector<uint32_t> at70 = paint(70);
  for (int x = 0; x < w; ++x) {
    EXPECT_EQ(at(at70, x, 0), black);
    EXPECT_EQ(at(at70, x, h - 1), black);
  }
  for (int y = 0; y < h; ++y) {
    EXPECT_EQ(at(at70, 0, y), black);
    EXPECT_EQ(at(at70, w - 1, y), black);
  }
  const int split = 1 + (w - 2) * 70 / 100;
  EXPECT_EQ(at(at70, 1, 1), blue) << "the bar from the left";
  EXPECT_EQ(at(at70, split - 2, 1), blue);
  EXPECT_EQ(at(at70, split + 2, 1), white) << "white beyond it";
  EXPECT_EQ(others(at70, split + 2, w - 1, white), 0) << "\"70%\" stands in the bar";
  EXPECT_GT(others(at70, 1, split - 2, blue), 0) << "the text in white on the bar";
  const std::vector<uint32_t> empty = paint(0);
  EXPECT_EQ(at(empty, 1, 1), white);
  EXPECT_GT(others(empty, 1, w - 1, white), 0) << "\"0%\" in blue";
  const std::vector<uint32_t> full = paint(100);
  EXPECT_EQ(at(full, w - 2, 1), blue);
  EXPECT_GT(others(full, 1, w - 1, blue), 0) << "\"100%\" in white";
  busy.HideBusy();
}

// The gauge's class lives as long as a busy window does, so a library loaded again registers it
// afresh.
TEST_F(BusyForm, GaugeClassGoesWithTheLastWindow)
{
  WNDCLASSEXW info = {};
  info.cbSize = sizeof(info);
  const HINSTANCE library = TApplication::Instance();
  ASSERT_FALSE(GetClassInfoExW(library, kGaugeClass, &info));
  HWND first = nullptr;
  {
    TdsBusyForm one;
    first = one.Handle();
    EXPECT_TRUE(GetClassInfoExW(library, kGaugeClass, &info));
    {
      TdsBusyForm two;
      EXPECT_NE(two.Handle(), one.Handle());
    }
    EXPECT_TRUE(GetClassInfoExW(library, kGaugeClass, &info)) << "still in use";
  }
  EXPECT_FALSE(IsWindow(first)) << "the window goes with the object";
  EXPECT_FALSE(GetClassInfoExW(library, kGaugeClass, &info));
  TdsBusyForm again;
  EXPECT_TRUE(GetClassInfoExW(library, kGaugeClass, &info));
}

// For people: the window as the invoice scan shows it, and with picture, gauge and button.
TEST_F(BusyForm, Screenshots)
{
  TdsBusyForm busy;
  busy.ShowBusy(host.HostControl(), bkScan, "正在扫描发票", btPleaseWait);
  RECT clip;
  GetWindowRect(Item(busy, IDC_BUSY_ANIMATE), &clip);
  PumpUntil([&] {
    for (uint32_t p : ScreenPixels(clip))
      if (p != Rgb(GetSysColor(COLOR_BTNFACE)))
        return true;
    return false;
  });
  EXPECT_TRUE(SaveWindowPng(busy.Handle(), TestOutputPath(L"busy-scan.png")));
  busy.HideBusy();
  busy.ShowBusy(host.HostControl(), bkImage, "正在传输数据", btPleaseWait, true, true);
  busy.SetProgress(70);
  UpdateWindow(Item(busy, IDC_BUSY_GAUGE));
  EXPECT_TRUE(SaveWindowPng(busy.Handle(), TestOutputPath(L"busy-image-gauge-cancel.png")));
  busy.HideBusy();
}

}  // namespace
