// A host program for tests: a top-level window with child controls, Quillon.RX.dll loaded with
// LoadLibrary, its exports called with a record of real string blocks, and a handler for the page
// message that checks every one it gets against the contract.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "HostSeh.h"
#include "HostStrings.h"
#include "QuillonRX.h"

// The page message as the host knows it from the library's documentation, not from its header:
// WM_APP + 100, both parameters 0, sent to the host's control after every page.
constexpr UINT kHostPageMessage = 32868;

// Where the host's application window (the record's AppHandle) stands. A plain Win32 host uses its
// main window; a host built with Delphi's VCL has a hidden top-level window of its own that owns the
// main window (the VCL's TApplication window).
enum class TAppWindow { MainWindow, Hidden };

// Whether the host proves that each page message is sent, not posted: a WH_CALLWNDPROC hook of the
// thread counts the sent ones. Wine (as 64-bit Windows) calls a window procedure through its kernel
// path when a hook is set, and there swallows an exception the procedure raises: a host whose page
// handler raises must do without the hook.
enum class TPageWatch { Sent, None };

// The record's strings as the host holds them; released with the object.
struct THostParams {
  std::string Reserved24, Reserved28, ConfigFolder, ImageFolder, ResultFile, OptionsXML;
  void* Connection = nullptr;
  UINT_PTR Reserved8 = 0, Reserved12 = 0, Reserved20 = 0;
};

class TTestHost {
public:
  // Creates the host window (with HostControl, its child controls), the application window App asks
  // for, and loads the library from LibraryPath (default: Quillon.RX.dll beside the test program;
  // nullptr: none).
  explicit TTestHost(const char* LibraryPath = "Quillon.RX.dll", TAppWindow App = TAppWindow::MainWindow,
                     TPageWatch Watch = TPageWatch::Sent);
  ~TTestHost();
  TTestHost(const TTestHost&) = delete;
  TTestHost& operator=(const TTestHost&) = delete;

  HWND MainWindow() const { return FMain; }
  // What Record() passes as AppHandle: the main window, or the hidden application window.
  HWND AppHandle() const { return FApp ? FApp : FMain; }
  HWND HostControl() const { return FControl; }
  // The host's window controls as a host built with Delphi's VCL passes them: the address of the
  // control object, which the VCL ties to its window by two window properties (global atoms
  // "ControlOfs" + module and thread in hex, "Delphi" + process in hex; value: the object).
  void* HostControlObject() { return FControlObject; }
  void* MainWindowObject() { return FMainObject; }
  const std::vector<HWND>& ChildControls() const { return FChildren; }
  HMODULE Library() const { return FLibrary; }
  void Unload();
  // Whether any host of this program loaded the library, and how many hosts exist now.
  static bool LibraryWasLoaded();
  static int LiveHosts();

  // Builds a record: the host's windows, and fresh string blocks for Params' texts (held by the
  // host until the next Record() or the end of the host).
  TScanDLLParams Record(const THostParams& Params);

  // The exports, through GetProcAddress.
  int ScanInvoice(const TScanDLLParams& P);
  void SetScanMode(const TScanDLLParams& P, QRX_String ScannerID, QRX_String ScanMode);
  int SelectScanner(const TScanDLLParams& P, bool OnlyIfNoneSelected, QRX_String* ScannerID, QRX_String* ScanMode);
  int GetScannerID(const TScanDLLParams& P, QRX_String* ScannerID, bool ShowPrompt);
  FARPROC Export(const char* Name) const;

  // Page messages received by HostControl, and an optional handler run for each. A page message that
  // breaks the contract (posted instead of sent, a parameter other than 0, or received by another
  // window of the host) fails the running test.
  int PageMessages = 0;
  std::function<void()> OnPage;
  // WM_COMMAND from HostControl's children (a click on one of its buttons): the control's id.
  std::function<void(int Id)> OnCommand;

  static LRESULT CALLBACK ControlProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);

private:
  static LRESULT CALLBACK SendHookProc(int Code, WPARAM W, LPARAM L);
  void ReleaseRecordStrings();

  HWND FApp = nullptr;
  HWND FMain = nullptr;
  HWND FControl = nullptr;
  std::vector<HWND> FChildren;
  HMODULE FLibrary = nullptr;
  std::vector<QRX_String> FRecordStrings;
  void* FControlObject[16] = {};
  void* FMainObject[16] = {};
  ATOM FControlAtom = 0, FWindowAtom = 0;
  int FSentPageMessages = 0;  // page messages to HostControl seen by SendHookProc, not yet handled
  bool FWatchSends = true;
};

// UTF-16 of GBK bytes (the tests compare texts as UTF-16), and back.
std::wstring Wide(const std::string& Gbk);
std::string Gbk(const std::wstring& Wide);
