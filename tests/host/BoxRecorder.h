// Watches the message boxes and dialogs that the code under test opens on the test's thread, records
// what each box shows and answers it the way the test asked, so that no test ever waits for a user.
//
// The library shows its boxes on the calling thread, inside its own calls; the recorder hooks that
// thread (WH_CBT), so it sees boxes from white-box calls and from calls through the exports alike.
//
//   TBoxRecorder boxes;                          // one per thread, for the life of the test
//   boxes.Answer(TBoxAnswer::Click(IDYES));      // answers are used in order, one per box
//   int r = TdsDialogs::AskYesNo("...", mkWarning);
//   ASSERT_EQ(boxes.Count(), 1u);
//   TBoxRecord b = boxes.Last();
//   EXPECT_EQ(b.Text, L"...");                   // texts are UTF-16
//   EXPECT_EQ(b.Icon, UINT(MB_ICONWARNING));
//   EXPECT_EQ(b.DefaultButton, IDNO);
//   EXPECT_FALSE(b.Enabled(host.MainWindow()));  // state of the thread's windows while it was open
//
// A box with no queued answer gets its default button (OK when it has none) and is marked
// Expected == false. A box left open (TBoxAnswer::Leave) or a dialog claimed by OnDialog that is
// still open after WatchdogMs is closed by the recorder and the test fails.
//
// Other windows (the select-scanner dialog...): set OnDialog. It runs once for each top-level window
// of the thread that is activated and is not a message box, from inside the running message loop
// once the window is visible, so a modal dialog is up and filled; the handler can set controls,
// click buttons (ClickButton) and open further boxes. Returning true claims the window: the watchdog
// then closes it if it stays open. The handler also sees the test's own windows when they are first
// activated after the recorder was made (return false for those); a window shown without activation
// is not reported.
//
//   boxes.OnDialog = [&](HWND w) {
//     if (GetWindow(w, GW_OWNER) != host.AppHandle()) return false;
//     ...  // choose a scanner in w
//     PostMessageW(GetDlgItem(w, IDOK), BM_CLICK, 0, 0);  // a click on OK itself (see ClickButton)
//     return true;
//   };
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

// The icon a box showed, as the MB_ICON* flag that asks for it; 0 = no icon.
constexpr UINT kUnknownBoxIcon = 0xFFFFFFFF;  // an icon that is none of the system's four

// What one message box showed, taken when it was up and visible (before it was answered).
struct TBoxRecord {
  HWND Box = nullptr;  // valid only while the box is open (in OnBox)
  std::wstring Caption, Text;
  UINT Icon = 0;              // MB_ICONINFORMATION, MB_ICONWARNING, MB_ICONERROR, MB_ICONQUESTION, 0, kUnknownBoxIcon
  std::vector<int> Buttons;   // IDOK, IDCANCEL, IDYES, IDNO... in the box's order
  int DefaultButton = 0;      // the button with BS_DEFPUSHBUTTON style, 0 when none
  int FocusedButton = 0;      // the control id that had the keyboard focus, 0 when none of the box's
  HWND Owner = nullptr;       // GetWindow(GW_OWNER): the top-level window the box belongs to
  HWND ActiveWindow = nullptr;
  bool Expected = false;      // an answer had been queued for it
  // Every other top-level window of the thread and whether it was enabled while the box was up.
  std::vector<std::pair<HWND, bool>> ThreadWindows;

  // Whether Window (a top-level window of the thread) was enabled while the box was up; fails the
  // test when the window was not one of them.
  bool Enabled(HWND Window) const;
};

// How to answer the next box.
struct TBoxAnswer {
  enum TAction { ClickButton, PressEnter, PressSpace, Leave };
  TAction Action = PressEnter;
  int Button = 0;

  static TBoxAnswer Click(int ButtonId) { return {ClickButton, ButtonId}; }
  // Keys go to the control that has the focus, the way a user presses them without moving the focus.
  static TBoxAnswer Enter() { return {PressEnter, 0}; }
  static TBoxAnswer Space() { return {PressSpace, 0}; }
  // The test closes the box itself (from OnBox or OnDialog, with ClickButton).
  static TBoxAnswer LeaveOpen() { return {Leave, 0}; }
};

class TBoxRecorder {
public:
  TBoxRecorder();  // hooks the calling thread; a second recorder on the same thread throws
  ~TBoxRecorder();
  TBoxRecorder(const TBoxRecorder&) = delete;
  TBoxRecorder& operator=(const TBoxRecorder&) = delete;

  // Queues the answer for the next box that has none yet.
  void Answer(const TBoxAnswer& A) { FAnswers.push_back(A); }
  size_t PendingAnswers() const { return FAnswers.size(); }

  const std::vector<TBoxRecord>& Boxes() const { return FBoxes; }
  size_t Count() const { return FBoxes.size(); }
  TBoxRecord Last() const;  // fails the test when no box was seen
  void Clear() { FBoxes.clear(); }

  // Runs for every box while it is up, before it is answered (Box is valid then).
  std::function<void(const TBoxRecord&)> OnBox;
  // See the header comment. Return true to have the watchdog close the window if it stays open.
  std::function<bool(HWND Window)> OnDialog;

  UINT WatchdogMs = 20000;

  // The command of the button with the given id, posted to a box or dialog as the button sends it
  // (takes effect in its loop). The library's dialogs take OK only from a click on the OK button
  // itself: for that, BM_CLICK to the button (or Click in DialogDriver.h).
  static void ClickButton(HWND Window, int ButtonId);
  // Whether Window is a system message box (#32770 with the text static 0xFFFF and only push buttons).
  static bool IsMessageBox(HWND Window);

private:
  static LRESULT CALLBACK HookProc(int Code, WPARAM W, LPARAM L);
  static void CALLBACK UpTimerProc(HWND Window, UINT, UINT_PTR, DWORD);
  static void CALLBACK WatchdogProc(HWND Window, UINT, UINT_PTR, DWORD);
  void WindowUp(HWND Window);
  void BoxUp(HWND Box);
  void DialogUp(HWND Window);

  HHOOK FHook = nullptr;
  std::deque<TBoxAnswer> FAnswers;
  std::vector<TBoxRecord> FBoxes;
  std::set<HWND> FSeen;           // windows already handled, forgotten when destroyed
  std::map<HWND, int> FWatchdog;  // windows under watch, and how often the watchdog fired for each
};
