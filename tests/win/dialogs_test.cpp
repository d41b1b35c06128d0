// Message boxes and yes/no questions as the user sees them: caption, text, icon, buttons, default
// button, owner, and which windows take input while a box is open.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "BoxRecorder.h"
#include "TestHost.h"
#include "ui/UApplication.h"
#include "ui/UdsDialogs.h"

namespace {

const wchar_t kWindowClass[] = L"QrxDialogsTestWindow";

// A plain top-level window of the test thread (a second host window, or a library dialog stand-in
// with two edit fields).
class TTestWindow {
public:
  explicit TTestWindow(HWND Owner, bool Visible = true)
  {
    static bool registered = false;
    if (!registered) {
      WNDCLASSW wc = {};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
      wc.lpszClassName = kWindowClass;
      RegisterClassW(&wc);
      registered = true;
    }
    FWindow = CreateWindowExW(0, kWindowClass, L"窗口", WS_POPUP | WS_CAPTION | (Visible ? WS_VISIBLE : 0), 100,
                              100, 300, 200, Owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    for (int i = 0; i < 2; ++i)
      FEdits[i] = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER, 10, 10 + 40 * i,
                                  200, 24, FWindow, reinterpret_cast<HMENU>(INT_PTR(200 + i)),
                                  GetModuleHandleW(nullptr), nullptr);
  }
  ~TTestWindow() { DestroyWindow(FWindow); }
  TTestWindow(const TTestWindow&) = delete;
  TTestWindow& operator=(const TTestWindow&) = delete;

  HWND Handle() const { return FWindow; }
  HWND Edit(int I) const { return FEdits[I]; }

private:
  HWND FWindow = nullptr;
  HWND FEdits[2] = {};
};

class Dialogs : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_EQ(GetACP(), 936u);
    TApplication::SetHandle(host.MainWindow());
    TApplication::SetActiveForm(nullptr);
  }
  void TearDown() override
  {
    TApplication::SetActiveForm(nullptr);
    TApplication::SetHandle(nullptr);
  }

  TTestHost host{nullptr};
  TBoxRecorder boxes;
};

const uint8_t kKinds[] = {0, 1, 2, 3, 255};

UINT MessageIconOf(uint8_t Kind) { return Kind == 0 ? MB_ICONINFORMATION : Kind == 2 ? MB_ICONERROR : MB_ICONWARNING; }
UINT QuestionIconOf(uint8_t Kind) { return Kind == 0 ? MB_ICONQUESTION : Kind == 2 ? MB_ICONERROR : MB_ICONWARNING; }

struct TOperation {
  const char* Name;
  std::function<int(const std::string& Text, TdsMessageKind Kind, HWND Owner)> Call;
  const wchar_t* Caption;
  bool Question;
  bool KindIgnored;
};

const TOperation kOperations[] = {
    {"ShowMsg(Text, Caption, Kind)",
     [](const std::string& t, TdsMessageKind k, HWND) { return TdsDialogs::ShowMsg(t, "扫描仪设置", k), 0; },
     L"扫描仪设置", false, false},
    {"ShowMsg(Text, Kind)", [](const std::string& t, TdsMessageKind k, HWND) { return TdsDialogs::ShowMsg(t, k), 0; },
     L"提示", false, false},
    {"ShowWarning", [](const std::string& t, TdsMessageKind, HWND) { return TdsDialogs::ShowWarning(t), 0; },
     L"提示", false, true},
    {"AskYesNo(Text, Caption, Kind)",
     [](const std::string& t, TdsMessageKind k, HWND) { return TdsDialogs::AskYesNo(t, "确认扫描仪", k); },
     L"确认扫描仪", true, false},
    {"AskYesNo(Text, Kind)", [](const std::string& t, TdsMessageKind k, HWND) { return TdsDialogs::AskYesNo(t, k); },
     L"提示", true, false},
    {"ShowOwnedMsg",
     [](const std::string& t, TdsMessageKind k, HWND o) { return TdsDialogs::ShowOwnedMsg(o, t, k), 0; }, L"提示",
     false, false},
};

TEST_F(Dialogs, DefaultCaptionIsTheGbkBytes)
{
  EXPECT_EQ(std::string(TdsDialogs::DefaultCaption), "\xCC\xE1\xCA\xBE");
}

TEST_F(Dialogs, EveryOperationAndKindShowsItsBox)
{
  for (const TOperation& op : kOperations) {
    for (uint8_t kind : kKinds) {
      SCOPED_TRACE(std::string(op.Name) + " kind " + std::to_string(kind));
      boxes.Clear();
      int result = op.Call("扫描仪未连接，请检查电源！", static_cast<TdsMessageKind>(kind), host.HostControl());
      ASSERT_EQ(boxes.Count(), 1u);
      TBoxRecord b = boxes.Last();
      EXPECT_EQ(b.Caption, op.Caption);
      EXPECT_EQ(b.Text, L"扫描仪未连接，请检查电源！");
      UINT icon = op.KindIgnored ? MB_ICONWARNING : op.Question ? QuestionIconOf(kind) : MessageIconOf(kind);
      EXPECT_EQ(b.Icon, icon);
      EXPECT_EQ(b.Buttons, (op.Question ? std::vector<int>{IDYES, IDNO} : std::vector<int>{IDOK}));
      EXPECT_EQ(b.DefaultButton, op.Question ? IDNO : IDOK);
      EXPECT_EQ(b.FocusedButton, op.Question ? IDNO : IDOK);
      // No library dialog is open: the application window (the host's main window) owns every box;
      // ShowOwnedMsg's control belongs to that window too.
      EXPECT_EQ(b.Owner, host.MainWindow());
      EXPECT_FALSE(b.Enabled(host.MainWindow()));
      if (op.Question) {
        EXPECT_EQ(result, IDNO) << "answered with the default button";
      }
      EXPECT_TRUE(IsWindowEnabled(host.MainWindow()));
    }
  }
}

TEST_F(Dialogs, AskYesNoReturnsThePressedButton)
{
  const struct {
    const char* Name;
    TBoxAnswer Answer;
    int Result;
  } cases[] = {{"Enter", TBoxAnswer::Enter(), IDNO},
               {"Space", TBoxAnswer::Space(), IDNO},
               {"Yes", TBoxAnswer::Click(IDYES), IDYES},
               {"No", TBoxAnswer::Click(IDNO), IDNO}};
  for (const auto& c : cases) {
    for (uint8_t kind : {0, 1, 2}) {
      SCOPED_TRACE(std::string(c.Name) + " kind " + std::to_string(kind));
      boxes.Clear();
      boxes.Answer(c.Answer);
      EXPECT_EQ(TdsDialogs::AskYesNo("确认选择该扫描仪吗？", static_cast<TdsMessageKind>(kind)), c.Result);
      ASSERT_EQ(boxes.Count(), 1u);
      EXPECT_TRUE(boxes.Last().Expected);
    }
  }
  EXPECT_EQ(boxes.PendingAnswers(), 0u);
}

TEST_F(Dialogs, MessagesCloseWithEnterSpaceOrOk)
{
  for (TBoxAnswer a : {TBoxAnswer::Enter(), TBoxAnswer::Space(), TBoxAnswer::Click(IDOK)}) {
    boxes.Answer(a);
    TdsDialogs::ShowMsg("没有可用的扫描仪", mkError);
    boxes.Answer(a);
    TdsDialogs::ShowOwnedMsg(host.HostControl(), "扫描结束", mkInformation);
  }
  EXPECT_EQ(boxes.Count(), 6u);
  EXPECT_EQ(boxes.PendingAnswers(), 0u);
}

TEST_F(Dialogs, EmptyTextStillShowsABox)
{
  TdsDialogs::ShowMsg("", mkInformation);
  TdsDialogs::ShowOwnedMsg(host.HostControl(), "", mkInformation);
  ASSERT_EQ(boxes.Count(), 2u);
  for (const TBoxRecord& b : boxes.Boxes()) {
    EXPECT_EQ(b.Caption, L"提示");
    EXPECT_EQ(b.Text, L"");
    EXPECT_EQ(b.Buttons, std::vector<int>{IDOK});
  }
}

// Without a library dialog every visible, enabled window of the thread is out of input while the box
// is up, and exactly those come back; activation and focus return to where they were.
TEST_F(Dialogs, ServiceDisablesTheThreadsWindowsAndRestoresThem)
{
  TTestWindow second(nullptr), hidden(nullptr, false), disabled(nullptr);
  EnableWindow(disabled.Handle(), FALSE);
  // Where the user was: in the host's window, or in another window than the box's owner, with or
  // without a focused control.
  const std::pair<HWND, HWND> places[] = {{host.MainWindow(), host.ChildControls().at(2)},
                                          {second.Handle(), second.Edit(1)},
                                          {second.Handle(), nullptr}};
  for (const auto& place : places) {
    SetActiveWindow(place.first);
    SetFocus(place.second);
    ASSERT_EQ(GetFocus(), place.second);
    boxes.Clear();

    TdsDialogs::ShowWarning("请选择扫描仪");

    ASSERT_EQ(boxes.Count(), 1u);
    TBoxRecord b = boxes.Last();
    EXPECT_EQ(b.Owner, host.MainWindow());
    EXPECT_FALSE(b.Enabled(host.MainWindow()));
    EXPECT_FALSE(b.Enabled(second.Handle()));
    EXPECT_TRUE(b.Enabled(hidden.Handle())) << "invisible windows are left alone";
    EXPECT_TRUE(IsWindowEnabled(host.MainWindow()));
    EXPECT_TRUE(IsWindowEnabled(second.Handle()));
    EXPECT_TRUE(IsWindowEnabled(hidden.Handle()));
    EXPECT_FALSE(IsWindowEnabled(disabled.Handle())) << "a window disabled before stays disabled";
    EXPECT_EQ(GetActiveWindow(), place.first);
    if (place.second) {
      EXPECT_EQ(GetFocus(), place.second);
    }
  }
}

// A box shown while a library dialog runs belongs to that dialog: the box itself keeps the dialog
// from input, the service keeps every other window from input; afterwards the dialog is active with
// the focus on the same control.
TEST_F(Dialogs, ShowMsgWhileALibraryDialogIsOpenBelongsToIt)
{
  TTestWindow dialog(host.MainWindow());
  TApplication::SetActiveForm(dialog.Handle());
  SetActiveWindow(dialog.Handle());
  SetFocus(dialog.Edit(1));
  ASSERT_EQ(GetFocus(), dialog.Edit(1));
  bool dialogEnabledInBox = true;
  boxes.OnBox = [&](const TBoxRecord&) { dialogEnabledInBox = IsWindowEnabled(dialog.Handle()) != FALSE; };

  for (auto show : {+[] { TdsDialogs::ShowMsg("扫描仪列表为空", mkError); },
                    +[] { TdsDialogs::AskYesNo("确认选择该扫描仪吗？", mkWarning); }}) {
    boxes.Clear();
    dialogEnabledInBox = true;
    show();
    ASSERT_EQ(boxes.Count(), 1u);
    TBoxRecord b = boxes.Last();
    EXPECT_EQ(b.Owner, dialog.Handle());
    EXPECT_FALSE(dialogEnabledInBox) << "the dialog takes no input while its box is open";
    EXPECT_FALSE(b.Enabled(host.MainWindow()));
    EXPECT_TRUE(IsWindowEnabled(dialog.Handle()));
    EXPECT_TRUE(IsWindowEnabled(host.MainWindow()));
    EXPECT_EQ(GetActiveWindow(), dialog.Handle());
    EXPECT_EQ(GetFocus(), dialog.Edit(1));
  }
}

// The owned box stands in front of the host's window: the host's top-level window takes no input
// while it is open, and nothing else is disabled, not even an open library dialog.
TEST_F(Dialogs, ShowOwnedMsgBelongsToTheGivenWindow)
{
  TTestWindow second(nullptr);
  for (HWND activeForm : {HWND(nullptr), second.Handle()}) {
    SCOPED_TRACE(activeForm ? "with a library dialog" : "no library dialog");
    TApplication::SetActiveForm(activeForm);
    boxes.Clear();
    TdsDialogs::ShowOwnedMsg(host.HostControl(), "扫描仪卡纸", mkError);
    ASSERT_EQ(boxes.Count(), 1u);
    TBoxRecord b = boxes.Last();
    EXPECT_EQ(b.Owner, host.MainWindow());
    EXPECT_FALSE(b.Enabled(host.MainWindow()));
    EXPECT_TRUE(b.Enabled(second.Handle()));
    EXPECT_EQ(b.ActiveWindow, b.Box);
    EXPECT_TRUE(IsWindowEnabled(host.MainWindow()));
  }

  boxes.Clear();
  TdsDialogs::ShowOwnedMsg(second.Handle(), "扫描仪卡纸", mkError);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Last().Owner, second.Handle());
  EXPECT_TRUE(boxes.Last().Enabled(host.MainWindow()));
}

// When the system cannot show the box, nothing stays disabled and a question counts as not agreed.
TEST_F(Dialogs, ABoxThatCannotBeShownLeavesEverythingUsable)
{
  TTestWindow second(nullptr);
  HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(gone);
  TApplication::SetHandle(gone);

  EXPECT_NE(TdsDialogs::AskYesNo("确认选择该扫描仪吗？", mkWarning), IDYES);
  TdsDialogs::ShowMsg("扫描仪未连接", mkError);
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_TRUE(IsWindowEnabled(host.MainWindow()));
  EXPECT_TRUE(IsWindowEnabled(second.Handle()));
}

// A library dialog that is gone without being unset cannot swallow the message: the application window
// takes the box.
TEST_F(Dialogs, AFormThatIsGoneDoesNotOwnTheBox)
{
  HWND gone = TTestWindow(host.MainWindow()).Handle();
  TApplication::SetActiveForm(gone);
  TdsDialogs::ShowMsg("扫描仪列表为空", mkError);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Last().Owner, host.MainWindow());
  EXPECT_TRUE(IsWindowEnabled(host.MainWindow()));
}

// The recorder itself: a box nobody closes, or an answer the box cannot take, fails the test and the
// box is closed, so that a test never hangs.
TEST_F(Dialogs, RecorderClosesWhatATestLeavesOpen)
{
  boxes.WatchdogMs = 200;
  EXPECT_NONFATAL_FAILURE(
      {
        boxes.Answer(TBoxAnswer::LeaveOpen());
        TdsDialogs::ShowMsg("没有人关闭这个框", mkInformation);
      },
      "closed by the box recorder");
  EXPECT_NONFATAL_FAILURE(
      {
        boxes.Answer(TBoxAnswer::Click(IDCANCEL));
        EXPECT_EQ(TdsDialogs::AskYesNo("确认？", mkWarning), IDNO);
      },
      "has no button 2");
  EXPECT_EQ(boxes.Count(), 2u);
}

// Other dialogs reach OnDialog once they are up; a box they open is recorded like any other.

// A dialog that ends at its OK.
INT_PTR CALLBACK OkOnlyDialogProc(HWND Dialog, UINT Message, WPARAM W, LPARAM) noexcept
{
  if (Message == WM_COMMAND && LOWORD(W) == IDOK)
    return EndDialog(Dialog, IDOK);
  return Message == WM_INITDIALOG;
}

TEST_F(Dialogs, RecorderHandsOtherDialogsToTheTest)
{
  // A modal dialog with an edit field and an OK button, from an in-memory template.
  struct alignas(4) {
    DLGTEMPLATE Dialog;
    WORD Menu, Class, Title;
    alignas(4) DLGITEMTEMPLATE Edit;
    WORD EditClass[2], EditTitle, EditData;
    alignas(4) DLGITEMTEMPLATE Ok;
    WORD OkClass[2], OkTitle, OkData;
  } t = {};
  t.Dialog = {WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME, 0, 2, 10, 10, 200, 100};
  t.Edit = {WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER, 0, 10, 10, 100, 14, 300};
  t.EditClass[0] = 0xFFFF;
  t.EditClass[1] = 0x0081;
  t.Ok = {WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 10, 40, 50, 14, IDOK};
  t.OkClass[0] = 0xFFFF;
  t.OkClass[1] = 0x0080;

  HWND seen = nullptr;
  boxes.OnDialog = [&](HWND window) {
    if (IsWindowVisible(window) == FALSE || GetWindow(window, GW_OWNER) != host.MainWindow())
      return false;
    seen = window;
    TApplication::SetActiveForm(window);
    TdsDialogs::ShowMsg("请选择扫描仪", mkWarning);
    TApplication::SetActiveForm(nullptr);
    TBoxRecorder::ClickButton(window, IDOK);
    return true;
  };
  EXPECT_EQ(DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &t.Dialog, host.MainWindow(), OkOnlyDialogProc, 0), IDOK);
  EXPECT_NE(seen, nullptr);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Last().Owner, seen);
}

}  // namespace
