#include "TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace {
int g_liveHosts = 0;
bool g_libraryWasLoaded = false;
const wchar_t kMainClass[] = L"QrxTestHostMain";
const wchar_t kControlClass[] = L"QrxTestHostControl";

// The hosts of this thread, and the one hook through which they see which messages are sent to them.
struct TThreadHosts {
  HHOOK Hook = nullptr;
  std::vector<TTestHost*> Hosts;
};
thread_local TThreadHosts t_hosts;

void RegisterClasses()
{
  static bool done = false;
  if (done)
    return;
  WNDCLASSW wc = {};
  wc.lpfnWndProc = TTestHost::WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMainClass;
  RegisterClassW(&wc);
  wc.lpszClassName = kControlClass;
  wc.lpfnWndProc = TTestHost::ControlProc;
  RegisterClassW(&wc);
  done = true;
}
}  // namespace

std::wstring Wide(const std::string& Gbk)
{
  if (Gbk.empty())
    return {};
  int n = MultiByteToWideChar(936, 0, Gbk.data(), static_cast<int>(Gbk.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(936, 0, Gbk.data(), static_cast<int>(Gbk.size()), w.data(), n);
  return w;
}

std::string Gbk(const std::wstring& Wide)
{
  if (Wide.empty())
    return {};
  int n = WideCharToMultiByte(936, 0, Wide.data(), static_cast<int>(Wide.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(936, 0, Wide.data(), static_cast<int>(Wide.size()), s.data(), n, nullptr, nullptr);
  return s;
}

bool TTestHost::LibraryWasLoaded() { return g_libraryWasLoaded; }
int TTestHost::LiveHosts() { return g_liveHosts; }

TTestHost::TTestHost(const char* LibraryPath, TAppWindow App, TPageWatch Watch)
    : FWatchSends(Watch == TPageWatch::Sent)
{
  ++g_liveHosts;
  RegisterClasses();
  if (App == TAppWindow::Hidden)
    FApp = CreateWindowExW(0, kMainClass, L"Quillon test host application", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                           GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
  // Owned by the application window where there is one, as a VCL host's main form is.
  FMain = CreateWindowExW(0, kMainClass, L"Quillon test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 640, 480,
                          FApp, nullptr, GetModuleHandleW(nullptr), nullptr);
  FControl = CreateWindowExW(0, kControlClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 620, 440, FMain, nullptr,
                             GetModuleHandleW(nullptr), this);
  SetWindowLongPtrW(FControl, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  const wchar_t* captions[] = {L"扫描", L"选择扫描仪", L"发票号码"};
  const wchar_t* classes[] = {L"BUTTON", L"BUTTON", L"EDIT"};
  for (int i = 0; i < 3; ++i)
    FChildren.push_back(CreateWindowExW(0, classes[i], captions[i], WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10,
                                        10 + 40 * i, 160, 28, FControl, reinterpret_cast<HMENU>(INT_PTR(100 + i)),
                                        GetModuleHandleW(nullptr), nullptr));
  // What the VCL does for every window it creates.
  static const void* const fakeControlClass[8] = {};
  FControlObject[0] = FMainObject[0] = const_cast<void**>(fakeControlClass);
  FControlObject[1] = FControl;
  FMainObject[1] = FMain;
  char name[64];
  wsprintfA(name, "ControlOfs%08X%08X", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(GetModuleHandleW(nullptr))),
            static_cast<unsigned>(GetCurrentThreadId()));
  FControlAtom = GlobalAddAtomA(name);
  wsprintfA(name, "Delphi%08X", static_cast<unsigned>(GetCurrentProcessId()));
  FWindowAtom = GlobalAddAtomA(name);
  for (ATOM atom : {FControlAtom, FWindowAtom}) {
    SetPropA(FMain, MAKEINTATOM(atom), FMainObject);
    SetPropA(FControl, MAKEINTATOM(atom), FControlObject);
  }
  if (FWatchSends) {
    if (t_hosts.Hosts.empty())
      t_hosts.Hook = SetWindowsHookExW(WH_CALLWNDPROC, SendHookProc, nullptr, GetCurrentThreadId());
    t_hosts.Hosts.push_back(this);
  }
  SetForegroundWindow(FMain);
  if (LibraryPath) {
    FLibrary = LoadLibraryA(LibraryPath);
    g_libraryWasLoaded = g_libraryWasLoaded || FLibrary;
    if (!FLibrary)
      throw std::runtime_error(std::string("cannot load ") + LibraryPath);
  }
}

TTestHost::~TTestHost()
{
  Unload();
  ReleaseRecordStrings();
  for (ATOM atom : {FControlAtom, FWindowAtom}) {
    RemovePropA(FMain, MAKEINTATOM(atom));
    RemovePropA(FControl, MAKEINTATOM(atom));
    GlobalDeleteAtom(atom);
  }
  DestroyWindow(FMain);
  if (FApp)
    DestroyWindow(FApp);
  auto& hosts = t_hosts.Hosts;
  hosts.erase(std::remove(hosts.begin(), hosts.end(), this), hosts.end());
  if (hosts.empty() && t_hosts.Hook) {
    UnhookWindowsHookEx(t_hosts.Hook);
    t_hosts.Hook = nullptr;
  }
  --g_liveHosts;
}

void TTestHost::Unload()
{
  if (FLibrary)
    FreeLibrary(FLibrary);
  FLibrary = nullptr;
}

void TTestHost::ReleaseRecordStrings()
{
  for (QRX_String s : FRecordStrings)
    THostStrings::Release(s);
  FRecordStrings.clear();
}

TScanDLLParams TTestHost::Record(const THostParams& Params)
{
  ReleaseRecordStrings();
  auto make = [&](const std::string& text) {
    QRX_String s = THostStrings::New(text);
    FRecordStrings.push_back(s);
    return s;
  };
  TScanDLLParams p = {};
  p.AppHandle = AppHandle();
  p.HostControl = FControl;
  p.Reserved8 = Params.Reserved8;
  p.Reserved12 = Params.Reserved12;
  p.Connection = Params.Connection;
  p.Reserved20 = Params.Reserved20;
  p.Reserved24 = make(Params.Reserved24);
  p.Reserved28 = make(Params.Reserved28);
  p.ConfigFolder = make(Params.ConfigFolder);
  p.ImageFolder = make(Params.ImageFolder);
  p.ResultFile = make(Params.ResultFile);
  p.OptionsXML = make(Params.OptionsXML);
  return p;
}

FARPROC TTestHost::Export(const char* Name) const
{
  FARPROC f = FLibrary ? GetProcAddress(FLibrary, Name) : nullptr;
  if (!f)
    throw std::runtime_error(std::string("no export ") + Name);
  return f;
}

int TTestHost::ScanInvoice(const TScanDLLParams& P)
{
  return reinterpret_cast<QRX_ScanInvoice>(Export("ScanInvoice"))(P);
}

void TTestHost::SetScanMode(const TScanDLLParams& P, QRX_String ScannerID, QRX_String ScanMode)
{
  reinterpret_cast<QRX_SetScanMode>(Export("SetScanMode"))(P, ScannerID, ScanMode);
}

int TTestHost::SelectScanner(const TScanDLLParams& P, bool OnlyIfNoneSelected, QRX_String* ScannerID,
                             QRX_String* ScanMode)
{
  return reinterpret_cast<QRX_SelectScanner>(Export("SelectScanner"))(P, OnlyIfNoneSelected, ScannerID, ScanMode);
}

int TTestHost::GetScannerID(const TScanDLLParams& P, QRX_String* ScannerID, bool ShowPrompt)
{
  return reinterpret_cast<QRX_GetScannerID>(Export("GetScannerID"))(P, ScannerID, ShowPrompt);
}

// Runs right before a window procedure of the thread gets a message sent to it (SendMessage, also from
// this thread), never for a message posted to the queue and dispatched from there.
LRESULT CALLBACK TTestHost::SendHookProc(int Code, WPARAM W, LPARAM L)
{
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(L);
  if (Code == HC_ACTION && sent && sent->message == kHostPageMessage)
    for (TTestHost* host : t_hosts.Hosts)
      if (host->FControl == sent->hwnd)
        ++host->FSentPageMessages;
  return CallNextHookEx(nullptr, Code, W, L);
}

LRESULT CALLBACK TTestHost::WindowProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L)
{
  if (Msg == kHostPageMessage) {
    ADD_FAILURE() << "the page message went to a top-level window of the host, not to its control";
    return 0;
  }
  return DefWindowProcW(Wnd, Msg, W, L);
}

LRESULT CALLBACK TTestHost::ControlProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L)
{
  if (Msg == kHostPageMessage) {
    auto* host = reinterpret_cast<TTestHost*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
    if (host) {
      const bool sent = !host->FWatchSends || host->FSentPageMessages > 0;
      if (host->FSentPageMessages > 0)
        --host->FSentPageMessages;
      EXPECT_TRUE(sent) << "the page message was posted: the host must handle it before the next page";
      EXPECT_EQ(W, WPARAM(0)) << "the page message's wParam";
      EXPECT_EQ(L, LPARAM(0)) << "the page message's lParam";
      ++host->PageMessages;
      if (host->OnPage)
        host->OnPage();
    }
    return 0;
  }
  if (Msg == WM_COMMAND && HIWORD(W) == BN_CLICKED) {
    auto* host = reinterpret_cast<TTestHost*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
    if (host && host->OnCommand)
      host->OnCommand(LOWORD(W));
    return 0;
  }
  return DefWindowProcW(Wnd, Msg, W, L);
}
