// SelectScanner as a host calls it, with the real select-scanner dialog worked through its controls
// the way a user works it (keys through the dialog manager, clicks on the buttons), SQLite behind
// ADO as the catalogue and the host's "simple.cfg": what the dialog offers, which scan modes it
// allows, and what OK, No, Cancel and every error leave in the catalogue and the file.
#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "BoxRecorder.h"
#include "DialogDriver.h"
#include "SelectDialog.h"
#include "Screenshot.h"
#include "TestDatabase.h"
#include "TestHost.h"
#include "TestScan.h"

namespace {

const wchar_t kDialogCaption[] = L"选择扫描方式";
const wchar_t kQuestion[] =
    L"如果扫描仪型号选择不正确，将会导致系统停止响应或出现异常！\r\n您确定选择了正确的扫描仪型号吗？";
const wchar_t kEmptyList[] = L"扫描仪列表为空，请确认扫描仪驱动程序安装是否正确！";
const wchar_t kChooseOne[] = L"请选择一种扫描仪！";
const char kSelectedSQL[] = "SELECT FID, FType FROM B_Scanner WHERE FSelect = 1";
const char kEveryScannerSQL[] = "SELECT * FROM B_Scanner WHERE FID NOT LIKE 'X%' ORDER BY FID";

// States of the two scan-mode buttons, as Modes() describes them.
const char kRollOnly[] = "roll checked enabled, flatbed unchecked disabled";
const char kFlatbedOnly[] = "roll unchecked disabled, flatbed checked enabled";
const char kBothRoll[] = "roll checked enabled, flatbed unchecked enabled";
const char kBothFlatbed[] = "roll unchecked enabled, flatbed checked enabled";
const char kNoMode[] = "roll unchecked disabled, flatbed unchecked disabled";

std::string Options(const std::string& Inside) { return "<Root><Options>" + Inside + "</Options></Root>"; }
std::string Filter(const std::string& Text) { return Options("<ScnrList>" + Text + "</ScnrList>"); }

// Lines of a file, each ending in CR LF.
std::string Lines(const std::vector<std::string>& Each)
{
  std::string text;
  for (const std::string& line : Each)
    text += line + "\r\n";
  return text;
}

const std::string kConfig =
    Lines({"[General]", "Version=3", "[Scan]", "ScannerType=1", "ScanWithADF=0", "[Scan105]", "ScannerType=105",
           "ScanWithADF=1", "[Scan201]", "ScannerType=201", "ScanWithADF=0", "[Scan2010]", "ScanWithADF=0"});

class SelectScanner : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(GetACP(), 936u); }

  // A catalogue row; its driver file is installed unless told otherwise.
  TScannerRow Scanner(const std::string& Id, const std::string& Name, const std::string& Mode, int Select = 0,
                      bool Installed = true)
  {
    const std::string driver = "Quillon\\" + Id + ".ds";
    const std::string files = "none\\missing.ds;" + (Installed ? FScan.AddDriverFile(driver) : driver);
    return {Id, 150, Name, "M-" + Id, Mode, Select, files};
  }
  void Catalogue(const std::vector<TScannerRow>& Rows, const TDatabaseOptions& Options = {})
  {
    FDb = std::make_unique<TTestDatabase>(Rows, Options);
  }
  // The whole table, for comparing before and after.
  std::vector<std::vector<std::string>> Table() { return FDb->Query("SELECT * FROM B_Scanner ORDER BY FID"); }
  // "FID=FSelect" of every row.
  std::vector<std::string> Selection()
  {
    std::vector<std::string> rows;
    for (const auto& row : FDb->Query("SELECT FID, FSelect FROM B_Scanner ORDER BY FID"))
      rows.push_back(row[0] + "=" + row[1]);
    return rows;
  }

  void Config(const std::string& Text)
  {
    TTestScan::WriteFileBytes(FScan.ConfigFile(), Text);
  }
  std::string ConfigText() const { return TTestScan::FileBytes(FScan.ConfigFile()); }

  struct TRun {
    int Result = -1;
    std::string Id, Mode;
    bool IdEmpty = false, ModeEmpty = false;
    bool Opened = false;
    THostException Error;
  };
  // One SelectScanner call. Drive works the dialog once it is up and filled, and ends it.
  TRun Run(bool OnlyIfNoneSelected, const std::function<void(TSelectDialog&)>& Drive)
  {
    THostParams hp = FScan.Params(FDb ? FDb->HostConnection() : nullptr);
    hp.OptionsXML = FOptions;
    const TScanDLLParams p = FHost->Record(hp);
    TRun r;
    FBoxes.OnDialog = [&](HWND w) {
      if (TBoxRecorder::IsMessageBox(w) || WindowTextOf(w) != kDialogCaption)
        return false;
      EXPECT_FALSE(r.Opened) << "the dialog opened twice";
      r.Opened = true;
      EXPECT_EQ(GetWindow(w, GW_OWNER), FHost->AppHandle());
      EXPECT_FALSE(IsWindowEnabled(FHost->MainWindow())) << "modal to the host's window";
      TSelectDialog d(w);
      if (Drive)
        Drive(d);
      if (d.Open()) {
        ADD_FAILURE() << "the test left the dialog open";
        Click(d.Cancel);
      }
      return true;
    };
    THostString id, mode;
    r.Error = CallCatchingLibraryError([&] { r.Result = FHost->SelectScanner(p, OnlyIfNoneSelected, &id.S, &mode.S); });
    FBoxes.OnDialog = nullptr;
    EXPECT_FALSE(r.Error.Raised) << r.Error.Message;
    r.IdEmpty = id.S == nullptr;
    r.ModeEmpty = mode.S == nullptr;
    r.Id = id.Text();
    r.Mode = mode.Text();
    return r;
  }
  static void ExpectNothingChosen(const TRun& R)
  {
    EXPECT_EQ(R.Result, 0);
    EXPECT_TRUE(R.IdEmpty);
    EXPECT_TRUE(R.ModeEmpty);
  }

  TBoxRecorder FBoxes;
  std::unique_ptr<TTestHost> FHost = std::make_unique<TTestHost>();
  TTestScan FScan;
  std::unique_ptr<TTestDatabase> FDb;
  std::string FOptions = Filter("*");
};

TEST_F(SelectScanner, SelectedScannerAndTheDialog)
{
  struct Case {
    const char* Name;
    const char* SelectedId;  // "" none
    int SelectValue;
    bool OnlyIfNoneSelected;
    bool Opens;
    int Index;  // preselected item when it opens
    const char* Modes;
  } cases[] = {
      {"a selected scanner answers at once", "201", 1, true, false, 0, ""},
      {"the dialog even so, with it preselected", "201", 1, false, true, 1, kRollOnly},
      {"nothing selected", "", 0, true, true, -1, kNoMode},
      {"the selected scanner has no driver", "301", 1, false, true, -1, kNoMode},
      // The catalogue's question asks for 1; the preselection takes any other value but 0.
      {"FSelect 2 is no selection for the question", "205", 2, true, true, 2, kBothRoll},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    FBoxes.Clear();
    auto row = [&](const std::string& Id, const std::string& Mode, bool Installed = true) {
      return Scanner(Id, "扫描仪" + Id, Mode, Id == c.SelectedId ? c.SelectValue : 0, Installed);
    };
    Catalogue({row("105", "P"), row("201", "G"), row("205", ""), row("301", "", false)});
    const auto before = Table();
    std::vector<std::wstring> items;
    int index = -2;
    std::string modes;
    TRun r = Run(c.OnlyIfNoneSelected, [&](TSelectDialog& d) {
      items = d.Items();
      index = d.ItemIndex();
      modes = d.Modes();
      Click(d.Cancel);
    });
    EXPECT_EQ(r.Opened, c.Opens);
    EXPECT_TRUE(r.IdEmpty) << "the selected id is not handed out";
    EXPECT_TRUE(r.ModeEmpty);
    if (c.Opens) {
      EXPECT_EQ(r.Result, 0) << "cancelled";
      EXPECT_EQ(items, (std::vector<std::wstring>{L"扫描仪105(M-105)", L"扫描仪201(M-201)", L"扫描仪205(M-205)"}));
      EXPECT_EQ(index, c.Index);
      EXPECT_EQ(modes, c.Modes);
    } else {
      EXPECT_EQ(r.Result, 1);
      EXPECT_EQ(FDb->Statements(), std::vector<std::string>{kSelectedSQL}) << "one question, nothing else";
    }
    EXPECT_EQ(FBoxes.Count(), 0u);
    EXPECT_EQ(Table(), before);
  }
}

TEST_F(SelectScanner, TheOptionsFilterTheCatalogue)
{
  const std::wstring s105 = L"平板(M-105)", s201 = L"滚动(M-201)", s205 = L"双面(M-205)", quote = L"引号(M-O'1)",
                     chinese = L"中文(M-甲)";
  const std::vector<std::wstring> every = {s105, s201, s205, quote, chinese};
  const std::string listed = "SELECT * FROM B_Scanner WHERE FID NOT LIKE 'X%' AND FID IN (";
  const std::string unlisted = "SELECT * FROM B_Scanner WHERE FID NOT LIKE 'X%' AND FID NOT IN (";
  struct Case {
    const char* Name;
    std::string Options;
    std::string Statement;
    std::vector<std::wstring> Items;
  } cases[] = {
      {"*", Filter("*"), kEveryScannerSQL, every},
      {"all but those listed", Filter("-201;205"), unlisted + "'201','205') ORDER BY FID", {s105, quote, chinese}},
      {"only those listed", Filter("+201"), listed + "'201') ORDER BY FID", {s201}},
      {"blanks around", Filter("\r\n\t +201 "), listed + "'201') ORDER BY FID", {s201}},
      {"X is never offered, even when listed", Filter("+X201;205"), listed + "'X201','205') ORDER BY FID", {s205}},
      {"an empty item between two", Filter("+201;;205;"), listed + "'201','','205') ORDER BY FID", {s201, s205}},
      {"quotes",
       Filter("+O'1;201;x') OR ('1'='1"),
       listed + "'O''1','201','x'') OR (''1''=''1') ORDER BY FID",
       {s201, quote}},
      {"no sign: nothing", Filter("201"), "SELECT * FROM B_Scanner WHERE 1 = 0 ORDER BY FID", {}},
      // A list of no item is still a statement every database takes.
      {"all but none", Filter("-;"), unlisted + "'') ORDER BY FID", every},
      {"only none", Filter("+;"), listed + "'') ORDER BY FID", {}},
      {"CDATA", Options("<ScnrList><![CDATA[+105]]></ScnrList>"), listed + "'105') ORDER BY FID", {s105}},
      {"element name in other letter case",
       Options("<scnrlist>-105</scnrlist>"),
       unlisted + "'105') ORDER BY FID",
       {s201, s205, quote, chinese}},
      {"the first of two lists",
       Options("<ScnrList>+205</ScnrList><ScnrList>*</ScnrList>"),
       listed + "'205') ORDER BY FID",
       {s205}},
      {"GBK declared as GB2312",
       "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<设置><Options><说明>只列出甲和201</说明>"
       "<ScnrList>+201;甲</ScnrList></Options></设置>",
       listed + "'201','甲') ORDER BY FID",
       {s201, chinese}},
      {"no ScnrList", Options("<Other>+201</Other>"), kEveryScannerSQL, every},
      {"an empty ScnrList", Options("<ScnrList/>"), kEveryScannerSQL, every},
      {"a ScnrList of blanks", Options("<ScnrList>   </ScnrList>"), kEveryScannerSQL, every},
      {"no Options", "<Root><ScnrList>+201</ScnrList></Root>", kEveryScannerSQL, every},
  };
  Catalogue({Scanner("105", "平板", "P"), Scanner("201", "滚动", "G"), Scanner("205", "双面", ""),
             Scanner("301", "未安装", "", 0, false), Scanner("X201", "隐藏", "G"), Scanner("O'1", "引号", ""),
             Scanner("甲", "中文", "")});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    FOptions = c.Options;
    FDb->ClearLog();
    std::vector<std::wstring> items;
    TRun r = Run(false, [&](TSelectDialog& d) {
      items = d.Items();
      Click(d.Cancel);
    });
    EXPECT_TRUE(r.Opened);
    ExpectNothingChosen(r);
    const std::vector<std::string> log = FDb->Statements();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], c.Statement);
    EXPECT_EQ(items, c.Items);
    EXPECT_EQ(FBoxes.Count(), 0u) << "the options parse";
    if (std::find(items.begin(), items.end(), quote) != items.end()) {
      EXPECT_NE(std::find(log.begin(), log.end(), "SELECT FConfigFile FROM B_Scanner WHERE FID = 'O''1'"), log.end());
    }
  }
}

TEST_F(SelectScanner, ScanModeButtonsFollowTheChosenScanner)
{
  struct Case {
    const char* Id;
    const char* ScanMode;  // FScanMode
    const char* Section;   // the scanner's section in simple.cfg, nullptr for none
    const char* Modes;
  } cases[] = {
      {"0209", "", "[Scan209]\r\nScanWithADF=0\r\n", kBothFlatbed},  // the section of the number
      {"201", "G", "[Scan201]\r\nScanWithADF=0\r\n", kRollOnly},
      {"202", "P", "[Scan202]\r\nScanWithADF=1\r\n", kFlatbedOnly},
      {"203", "", "[Scan203]\r\nScanWithADF=0\r\n", kBothFlatbed},
      {"204", "", "[Scan204]\r\nScannerType=204\r\n", kBothRoll},
      {"205", "", "[Scan205]\r\nScanWithADF=10\r\n", kBothRoll},
      {"206", "", "[Scan206]\r\nScanWithADF=\r\n", kBothFlatbed},
      {"207", "g", nullptr, kBothRoll},
  };
  const int count = static_cast<int>(std::size(cases));
  const int preselected = 3;
  std::vector<TScannerRow> rows;
  std::string config = "[Scan]\r\nScanWithADF=1\r\n";
  for (int i = 0; i < count; ++i) {
    rows.push_back(Scanner(cases[i].Id, "扫描仪", cases[i].ScanMode, i == preselected ? 1 : 0));
    config += cases[i].Section ? cases[i].Section : "";
  }
  Catalogue(rows);
  Config(config);
  TRun r = Run(false, [&](TSelectDialog& d) {
    ASSERT_EQ(d.Items().size(), size_t(count));
    EXPECT_EQ(d.ItemIndex(), preselected);
    EXPECT_EQ(d.Modes(), cases[preselected].Modes) << "preselected " << cases[preselected].Id;
    // Up to the first item, then down to the last: every scanner after one of each other kind.
    for (int i = preselected - 1; i >= 0; --i) {
      d.Pick(i);
      EXPECT_EQ(d.Modes(), cases[i].Modes) << "picked " << cases[i].Id;
    }
    for (int i = 1; i < count; ++i) {
      d.Pick(i);
      EXPECT_EQ(d.Modes(), cases[i].Modes) << "picked " << cases[i].Id;
    }
    // From the dropped list: down with F4, up one, closed with Enter.
    // The dropped list follows the mouse pointer: it is moved out of the way first.
    SetCursorPos(0, 0);
    PressKey(d.Window, VK_F4);
    EXPECT_TRUE(SendMessageW(d.Scanner, CB_GETDROPPEDSTATE, 0, 0)) << "the list dropped down";
    EXPECT_EQ(d.ItemIndex(), count - 1);
    PressKey(d.Window, VK_UP);
    PressKey(d.Window, VK_RETURN);
    EXPECT_FALSE(SendMessageW(d.Scanner, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(GetFocus(), d.Flatbed) << "Enter closes the list and moves on, as it does in the closed list";
    EXPECT_EQ(d.ItemIndex(), count - 2);
    EXPECT_EQ(d.Modes(), cases[count - 2].Modes);
    EXPECT_TRUE(d.Open());
    Click(d.Cancel);
  });
  ExpectNothingChosen(r);
  EXPECT_EQ(FBoxes.Count(), 0u) << "closing a list that has items says nothing";
  EXPECT_EQ(ConfigText(), config) << "reading changes nothing";
}

// Another top-level window of the host (a tool window, a second form), visible, destroyed with the
// object.
class THostWindow {
public:
  explicit THostWindow(HWND Owner)
      : FWindow(CreateWindowExW(0, L"Static", L"工具", WS_POPUP | WS_CAPTION | WS_VISIBLE, 60, 60, 200, 100, Owner,
                                nullptr, GetModuleHandleW(nullptr), nullptr))
  {
  }
  ~THostWindow() { DestroyWindow(FWindow); }
  THostWindow(const THostWindow&) = delete;
  THostWindow& operator=(const THostWindow&) = delete;
  HWND Handle() const { return FWindow; }

private:
  HWND FWindow;
};

// The dialog is modal over the whole host, not only over the window the record names: no window of
// the host takes input while it is up, so that no second call can start under it. A host built with
// Delphi's VCL passes its hidden application window, which owns its main window.
TEST_F(SelectScanner, ModalOverEveryWindowOfTheHost)
{
  for (TAppWindow app : {TAppWindow::MainWindow, TAppWindow::Hidden}) {
    SCOPED_TRACE(app == TAppWindow::Hidden ? "a hidden application window" : "the main window as AppHandle");
    FHost = std::make_unique<TTestHost>("Quillon.RX.dll", app);
    THostWindow tool(FHost->MainWindow()), other(nullptr), disabledByHost(nullptr);
    EnableWindow(disabledByHost.Handle(), FALSE);
    SetActiveWindow(FHost->MainWindow());
    Catalogue({Scanner("105", "平板", "P", 1), Scanner("201", "滚动", "G")});
    struct TSeen {
      const char* Name;
      HWND Window;
      bool While, After;  // enabled while the dialog is up, afterwards
    } seen[] = {
        {"AppHandle", FHost->AppHandle(), true, false},
        {"the main window", FHost->MainWindow(), true, false},
        {"a tool window of the main window", tool.Handle(), true, false},
        {"another window of the host", other.Handle(), true, false},
        {"a window the host had disabled", disabledByHost.Handle(), true, false},
    };
    bool dialogEnabled = false;
    TRun r = Run(false, [&](TSelectDialog& d) {
      EXPECT_EQ(GetWindow(d.Window, GW_OWNER), FHost->AppHandle());
      dialogEnabled = IsWindowEnabled(d.Window) != FALSE;
      for (TSeen& s : seen)
        s.While = IsWindowEnabled(s.Window) != FALSE;
      Click(d.Cancel);
    });
    EXPECT_TRUE(r.Opened);
    EXPECT_TRUE(dialogEnabled);
    for (TSeen& s : seen) {
      s.After = IsWindowEnabled(s.Window) != FALSE;
      EXPECT_FALSE(s.While) << s.Name << " took input while the dialog was up";
      EXPECT_EQ(s.After, s.Window != disabledByHost.Handle()) << s.Name << " afterwards";
    }
    EXPECT_EQ(GetActiveWindow(), FHost->MainWindow()) << "the host's window is active again";
  }
}

// Enter runs OK only on the OK button. Elsewhere the dialog manager makes of it a command for OK
// (the dialog has no default button); with a single scanner that would commit the choice at once.
TEST_F(SelectScanner, EnterPressesOkOnlyOnTheOkButton)
{
  struct Case {
    const char* Name;
    std::function<HWND(const TSelectDialog&)> Focus;  // the control that has the focus; nullptr: none
    bool Closes;
    int Result;
  } cases[] = {
      {"Cancel", [](const TSelectDialog& d) { return d.Cancel; }, true, 0},
      {"the scanner list", [](const TSelectDialog& d) { return d.Scanner; }, false, 0},
      {"roll scanning, unchecked", [](const TSelectDialog& d) { return d.Roll; }, false, 0},
      {"flatbed scanning, checked", [](const TSelectDialog& d) { return d.Flatbed; }, false, 0},
      {"no control", [](const TSelectDialog&) { return HWND(nullptr); }, false, 0},
      {"OK", [](const TSelectDialog& d) { return d.Ok; }, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    FBoxes.Clear();
    // One scanner, preselected, both modes allowed: OK asks nothing.
    Catalogue({Scanner("201", "滚动", "", 1)});
    Config(kConfig);
    const auto table = Table();
    FDb->ClearLog();
    bool open = false;
    TRun r = Run(false, [&](TSelectDialog& d) {
      ASSERT_EQ(d.ItemIndex(), 0);
      ASSERT_EQ(d.Modes(), kBothFlatbed);
      const HWND target = c.Focus(d);
      if (target)
        SendMessageW(d.Window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
      else
        SetFocus(nullptr);
      ASSERT_EQ(GetFocus(), target);
      PressKey(d.Window, VK_RETURN);
      open = d.Open();
      if (open && target == d.Scanner) {
        EXPECT_NE(GetFocus(), d.Scanner) << "Enter in the list moves the focus on";
      }
      if (open)
        Click(d.Cancel);
    });
    EXPECT_TRUE(r.Opened);
    EXPECT_EQ(!open, c.Closes);
    EXPECT_EQ(r.Result, c.Result);
    EXPECT_EQ(FBoxes.Count(), 0u);
    if (c.Result == 1) {
      EXPECT_EQ(r.Id, "201");
      EXPECT_EQ(r.Mode, "P");
    } else {
      ExpectNothingChosen(r);
      EXPECT_EQ(Table(), table) << "the catalogue as it was";
      EXPECT_EQ(ConfigText(), kConfig) << "simple.cfg as it was";
      for (const std::string& s : FDb->Statements())
        EXPECT_EQ(s.find("UPDATE"), std::string::npos) << s;
    }
  }
}

// OK with two or more scanners, answered Yes: the chosen row is the only selected one, its mode is
// in its section of simple.cfg, and scanners from 200 on have that section copied into [Scan].
TEST_F(SelectScanner, OkRecordsTheChoice)
{
  struct Case {
    const char* Name;
    std::string Id;
    bool ClickFlatbed;  // the user changes the mode before OK
    const char* Mode;
    std::string Config;
  } cases[] = {
      {"a roll scanner", "201", false, "G",
       Lines({"[General]", "Version=3", "[Scan]", "ScannerType=201", "ScanWithADF=1", "[Scan105]", "ScannerType=105",
              "ScanWithADF=1", "[Scan201]", "ScannerType=201", "ScanWithADF=1", "[Scan2010]", "ScanWithADF=0"})},
      {"a flatbed scanner below 200", "105", false, "P",
       Lines({"[General]", "Version=3", "[Scan]", "ScannerType=1", "ScanWithADF=0", "[Scan105]", "ScannerType=105",
              "ScanWithADF=0", "[Scan201]", "ScannerType=201", "ScanWithADF=0", "[Scan2010]", "ScanWithADF=0"})},
      {"flatbed chosen for a scanner of both modes", "305", true, "P",
       Lines({"[General]", "Version=3", "[Scan]", "ScanWithADF=0", "[Scan105]", "ScannerType=105", "ScanWithADF=1",
              "[Scan201]", "ScannerType=201", "ScanWithADF=0", "[Scan2010]", "ScanWithADF=0", "[Scan305]",
              "ScanWithADF=0"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    FBoxes.Clear();
    // Two rows selected before: afterwards only the chosen one.
    Catalogue({Scanner("105", "平板", "P", 1), Scanner("201", "滚动", "G"), Scanner("305", "双面", "", 1),
               Scanner("401", "未安装", "", 0, false)});
    Config(kConfig);
    TRun r = Run(false, [&](TSelectDialog& d) {
      const std::vector<std::wstring> items = d.Items();
      const int index = c.Id == "105" ? 0 : c.Id == "201" ? 1 : 2;
      ASSERT_EQ(items.size(), 3u);
      d.Pick(index);
      if (c.ClickFlatbed) {
        EXPECT_EQ(d.Modes(), kBothRoll) << "no ScanWithADF yet: roll";
        Click(d.Flatbed);
        EXPECT_EQ(d.Modes(), kBothFlatbed);
      }
      FDb->ClearLog();
      FBoxes.Answer(TBoxAnswer::Click(IDYES));
      Click(d.Ok);
      EXPECT_FALSE(d.Open()) << "OK closes the dialog";
    });
    EXPECT_EQ(r.Result, 1);
    EXPECT_EQ(r.Id, c.Id);
    EXPECT_EQ(r.Mode, c.Mode);
    std::vector<std::string> selection = {"105=0", "201=0", "305=0", "401=0"};
    for (std::string& row : selection)
      if (row.compare(0, c.Id.size() + 1, c.Id + "=") == 0)
        row = c.Id + "=1";
    EXPECT_EQ(Selection(), selection);
    EXPECT_EQ(FDb->Statements(),
              (std::vector<std::string>{"UPDATE B_Scanner SET FSelect = 1 WHERE FID = '" + c.Id + "'",
                                        "UPDATE B_Scanner SET FSelect = 0 WHERE FID <> '" + c.Id + "'"}));
    EXPECT_EQ(ConfigText(), c.Config);
    ASSERT_EQ(FBoxes.Count(), 1u);
    EXPECT_EQ(FBoxes.Last().Text, kQuestion);
  }
}

// A host whose B_Scanner declares FID char(10): PostgreSQL hands the ids out padded with blanks. The
// dialog still shows the stored mode of the scanner's section, OK records the choice of that row and
// answers its id without the pad, and the section written and copied is the scanner's own.
TEST_F(SelectScanner, OkRecordsTheChoiceOfAFixedWidthId)
{
  TDatabaseOptions fixed;
  fixed.FixedWidthIds = true;
  Catalogue({Scanner("105", "平板", "P", 1), Scanner("201", "滚动", "")}, fixed);
  const std::string stored = FDb->Query("SELECT FID FROM B_Scanner WHERE FName = '滚动'")[0][0];
  Config(kConfig);
  TRun r = Run(false, [&](TSelectDialog& d) {
    ASSERT_EQ(d.Items().size(), 2u);
    EXPECT_EQ(d.ItemIndex(), 0) << "105 is selected";
    d.Pick(1);
    EXPECT_EQ(d.Modes(), kBothFlatbed) << "ScanWithADF=0 in the section of 201";
    Click(d.Roll);
    FDb->ClearLog();
    FBoxes.Answer(TBoxAnswer::Click(IDYES));
    Click(d.Ok);
    EXPECT_FALSE(d.Open()) << "OK closes the dialog";
  });
  EXPECT_EQ(r.Result, 1);
  EXPECT_EQ(r.Id, "201");
  EXPECT_EQ(r.Mode, "G");
  EXPECT_EQ(FDb->Query("SELECT FID FROM B_Scanner WHERE FSelect = 1"), (std::vector<std::vector<std::string>>{{stored}}));
  EXPECT_EQ(FDb->Statements(), (std::vector<std::string>{"UPDATE B_Scanner SET FSelect = 1 WHERE FID = '201'",
                                                         "UPDATE B_Scanner SET FSelect = 0 WHERE FID <> '201'"}));
  EXPECT_EQ(ConfigText(),
            Lines({"[General]", "Version=3", "[Scan]", "ScannerType=201", "ScanWithADF=1", "[Scan105]", "ScannerType=105",
                   "ScanWithADF=1", "[Scan201]", "ScannerType=201", "ScanWithADF=1", "[Scan2010]", "ScanWithADF=0"}));
  ASSERT_EQ(FBoxes.Count(), 1u);
  EXPECT_EQ(FBoxes.Last().Text, kQuestion);
}

TEST_F(SelectScanner, OneScannerAsksNoQuestion)
{
  Catalogue({Scanner("201", "滚动", "G"), Scanner("105", "平板", "P", 1, false)});
  Config(kConfig);
  TRun r = Run(false, [&](TSelectDialog& d) {
    ASSERT_EQ(d.Items().size(), 1u);
    d.Pick(0);
    Click(d.Ok);
  });
  EXPECT_EQ(r.Result, 1);
  EXPECT_EQ(r.Id, "201");
  EXPECT_EQ(r.Mode, "G");
  EXPECT_EQ(FBoxes.Count(), 0u);
  EXPECT_EQ(Selection(), (std::vector<std::string>{"105=0", "201=1"}));
}

TEST_F(SelectScanner, NoToTheQuestionChangesNothing)
{
  Catalogue({Scanner("105", "平板", "P", 1), Scanner("201", "滚动", "G")});
  Config(kConfig);
  const auto table = Table();
  TRun r = Run(false, [&](TSelectDialog& d) {
    d.Pick(1);
    FDb->ClearLog();
    FBoxes.Answer(TBoxAnswer::Click(IDNO));
    Click(d.Ok);
    ASSERT_EQ(FBoxes.Count(), 1u);
    const TBoxRecord b = FBoxes.Last();
    EXPECT_EQ(b.Caption, L"提示");
    EXPECT_EQ(b.Text, kQuestion);
    EXPECT_EQ(b.Icon, UINT(MB_ICONWARNING));
    EXPECT_EQ(b.Buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(b.DefaultButton, IDNO);
    EXPECT_EQ(b.Owner, d.Window);
    EXPECT_FALSE(b.Enabled(d.Window));
    EXPECT_TRUE(d.Open());
    EXPECT_TRUE(IsWindowEnabled(d.Window));
    EXPECT_TRUE(FDb->Statements().empty());
    EXPECT_EQ(Table(), table);
    EXPECT_EQ(ConfigText(), kConfig);
    // Still usable: asked again, and Yes goes through.
    FBoxes.Answer(TBoxAnswer::Click(IDYES));
    Click(d.Ok);
  });
  EXPECT_EQ(r.Result, 1);
  EXPECT_EQ(r.Id, "201");
  EXPECT_EQ(FBoxes.Count(), 2u);
  EXPECT_EQ(Selection(), (std::vector<std::string>{"105=0", "201=1"}));
}

TEST_F(SelectScanner, CancelEscAndTheCloseBoxChangeNothing)
{
  struct Case {
    const char* Name;
    std::function<void(TSelectDialog&)> Close;
  } cases[] = {
      {"Cancel", [](TSelectDialog& d) { Click(d.Cancel); }},
      {"Esc", [](TSelectDialog& d) { PressKey(d.Window, VK_ESCAPE); }},
      {"the close box", [](TSelectDialog& d) { ClickCloseBox(d.Window); }},
  };
  Catalogue({Scanner("105", "平板", "P", 1), Scanner("205", "双面", "")});
  Config(kConfig);
  const auto table = Table();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    FDb->ClearLog();
    TRun r = Run(false, [&](TSelectDialog& d) {
      d.Pick(1);
      Click(d.Flatbed);
      c.Close(d);
      EXPECT_FALSE(d.Open());
    });
    ExpectNothingChosen(r);
    EXPECT_EQ(Table(), table);
    EXPECT_EQ(ConfigText(), kConfig);
    for (const std::string& s : FDb->Statements())
      EXPECT_EQ(s.find("UPDATE"), std::string::npos) << s;
  }
  EXPECT_EQ(FBoxes.Count(), 0u);
}

TEST_F(SelectScanner, LayoutCaptionsAndKeyboard)
{
  Catalogue({Scanner("105", "平板扫描仪", "P"), Scanner("205", "双面扫描仪", "", 1)});
  HFONT font = nullptr;
  TRun r = Run(false, [&](TSelectDialog& d) {
    RECT client;
    GetClientRect(d.Window, &client);
    EXPECT_EQ(client.right, 317);
    EXPECT_EQ(client.bottom, 161);
    const LONG style = GetWindowLongW(d.Window, GWL_STYLE);
    EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU)) << "caption and close box";
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)) << "a dialog's fixed frame";
    EXPECT_EQ(WindowTextOf(d.Window), kDialogCaption);

    HWND image = nullptr;
    for (HWND c = GetWindow(d.Window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      wchar_t name[16] = {};
      GetClassNameW(c, name, 16);
      if (_wcsicmp(name, L"Static") == 0 && (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        image = c;
    }
    HWND label = FindChild(d.Window, L"Static", L"扫描仪:");
    ASSERT_TRUE(image && label);
    EXPECT_NE(SendMessageW(image, STM_GETICON, 0, 0), 0) << "the scanner icon";
    struct Control {
      const char* Name;
      HWND Window, RelativeTo;
      RECT Rect;  // left, top, right, bottom
      const wchar_t* Text;
    } controls[] = {
        {"Image1", image, d.Window, {8, 8, 40, 40}, nullptr},
        {"Label1", label, d.Window, {56, 18, 98, 30}, L"扫描仪:"},
        {"cbxScanner", d.Scanner, d.Window, {104, 14, 305, 34}, L"双面扫描仪(M-205)"},
        {"gbScanMode", d.Group, d.Window, {56, 47, 305, 120}, L"扫描方式"},
        {"rbtnG", d.Roll, d.Group, {24, 32, 114, 49}, L"滚动扫描"},
        {"rbtnP", d.Flatbed, d.Group, {144, 32, 234, 49}, L"平板扫描"},
        {"btnOk", d.Ok, d.Window, {145, 127, 220, 152}, L"确定"},
        {"btnCancel", d.Cancel, d.Window, {230, 127, 305, 152}, L"取消"},
    };
    for (const Control& c : controls) {
      SCOPED_TRACE(c.Name);
      RECT at = RectIn(c.Window, d.Window);
      if (c.RelativeTo != d.Window) {
        const RECT parent = RectIn(c.RelativeTo, d.Window);
        OffsetRect(&at, -parent.left, -parent.top);
      }
      EXPECT_EQ(at.left, c.Rect.left);
      EXPECT_EQ(at.top, c.Rect.top);
      EXPECT_EQ(at.right - at.left, c.Rect.right - c.Rect.left) << "width";
      EXPECT_EQ(at.bottom - at.top, c.Rect.bottom - c.Rect.top) << "height";
      if (c.Text) {
        EXPECT_EQ(WindowTextOf(c.Window), c.Text);
      }
      EXPECT_TRUE(IsWindowVisible(c.Window));
      if (!c.Text)
        continue;  // the icon shows no text
      // The form's font, 9-point 宋体 in the GB2312 character set, one for all controls: a font of
      // another character set may be mapped to a face without Chinese glyphs.
      const auto controlFont = reinterpret_cast<HFONT>(SendMessageW(c.Window, WM_GETFONT, 0, 0));
      LOGFONTW f = {};
      EXPECT_EQ(GetObjectW(controlFont, sizeof f, &f), int(sizeof f)) << "the control has a font";
      EXPECT_EQ(f.lfCharSet, GB2312_CHARSET);
      EXPECT_EQ(std::wstring(f.lfFaceName), L"宋体");
      EXPECT_EQ(f.lfHeight, -12);
      EXPECT_EQ(f.lfWeight, FW_NORMAL);
      EXPECT_FALSE(f.lfItalic);
      if (!font)
        font = controlFont;
      EXPECT_EQ(controlFont, font) << "the same font as the other controls";
    }
    RECT dropped = {};
    SendMessageW(d.Scanner, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
    EXPECT_GE(dropped.bottom - dropped.top, 20 * SendMessageW(d.Scanner, CB_GETITEMHEIGHT, 0, 0)) << "20 scanners";
    EXPECT_EQ(GetFocus(), d.Cancel) << "Cancel has the focus when the dialog opens";
    EXPECT_EQ(TabOrderFromFocus(d.Window), (std::vector<HWND>{d.Cancel, d.Scanner, d.Roll, d.Ok}))
        << "the checked scan mode is the group's tab stop";
    RedrawWindow(d.Window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    EXPECT_TRUE(SaveWindowPng(d.Window, TestOutputPath(L"select-scanner.png")));

    PressKey(d.Window, VK_TAB);
    ASSERT_EQ(GetFocus(), d.Scanner);
    PressKey(d.Window, VK_RETURN);
    EXPECT_EQ(GetFocus(), d.Roll) << "Enter in the list moves on to the next control";
    EXPECT_TRUE(d.Open()) << "and presses no button";
    EXPECT_EQ(d.ItemIndex(), 1);
    PressKey(d.Window, VK_TAB);
    EXPECT_EQ(GetFocus(), d.Ok);
    PressKey(d.Window, VK_ESCAPE);
    EXPECT_FALSE(d.Open());
  });
  EXPECT_TRUE(r.Opened);
  ExpectNothingChosen(r);
  EXPECT_EQ(FBoxes.Count(), 0u);
  EXPECT_EQ(GetObjectType(font), 0u) << "the font is gone with the dialog";
}

// What the system's XML parser itself says of Text: its reason and the line it names (0: none).
struct TParserReport {
  std::wstring Reason;
  long Line = 0;
};
TParserReport ParserReport(const std::string& Text)
{
  TParserReport report;
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    const CLSID domDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
    Microsoft::WRL::ComPtr<IXMLDOMDocument> document;
    if (SUCCEEDED(CoCreateInstance(domDocument60, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                   reinterpret_cast<void**>(document.GetAddressOf())))) {
      document->put_async(VARIANT_FALSE);
      const std::wstring wide = Wide(Text);
      BSTR text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
      VARIANT_BOOL loaded = VARIANT_FALSE;
      document->loadXML(text, &loaded);
      SysFreeString(text);
      Microsoft::WRL::ComPtr<IXMLDOMParseError> error;
      BSTR reason = nullptr;
      if (SUCCEEDED(document->get_parseError(error.GetAddressOf())) && error && SUCCEEDED(error->get_reason(&reason))) {
        report.Reason = reason ? std::wstring(reason, SysStringLen(reason)) : L"";
        SysFreeString(reason);
        error->get_line(&report.Line);
      }
    }
  }
  if (SUCCEEDED(init))
    CoUninitialize();
  while (!report.Reason.empty() && iswspace(report.Reason.back()))
    report.Reason.pop_back();
  return report;
}

TEST_F(SelectScanner, OptionsThatDoNotParse)
{
  struct Case {
    std::string Options;
    std::wstring Words;  // what the message says; empty: the XML parser's own reason, and its line
  } cases[] = {
      {"", L""},
      {"<Root><Options><ScnrList>*</ScnrList></Options>", L""},
      {"<Root>\r\n<Options><ScnrList>*</scnrlist></Options></Root>", L""},
      {"<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><Root/>", L"Unknown XML encoding \"no-such-encoding\""},
  };
  Catalogue({Scanner("105", "平板", "P", 1), Scanner("201", "滚动", "G")});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Options);
    FBoxes.Clear();
    FDb->ClearLog();
    FOptions = c.Options;
    std::vector<std::wstring> items = {L"not read"};
    std::string modes;
    size_t boxesAtOpening = 0;
    TRun r = Run(false, [&](TSelectDialog& d) {
      boxesAtOpening = FBoxes.Count();
      items = d.Items();
      modes = d.Modes();
      Click(d.Cancel);
    });
    EXPECT_TRUE(r.Opened);
    ExpectNothingChosen(r);
    ASSERT_EQ(boxesAtOpening, 1u) << "the error is shown as the dialog opens";
    const TBoxRecord& b = FBoxes.Boxes()[0];
    EXPECT_EQ(b.Caption, L"Quillon.RX");
    EXPECT_EQ(b.Icon, UINT(MB_ICONERROR));
    if (!c.Words.empty()) {
      EXPECT_EQ(b.Text, c.Words);
    } else {
      const TParserReport parser = ParserReport(c.Options);
      ASSERT_FALSE(parser.Reason.empty()) << "the parser refuses the text";
      EXPECT_EQ(b.Text.substr(0, parser.Reason.size()), parser.Reason) << "the parser's reason: " << Gbk(b.Text);
      if (parser.Line > 0) {
        EXPECT_NE(b.Text.find(L"Line: " + std::to_wstring(parser.Line)), std::wstring::npos) << Gbk(b.Text);
      }
    }
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(modes, kBothRoll) << "the buttons as designed";
    EXPECT_TRUE(FDb->Statements().empty()) << "no list query without a filter";
  }
}

TEST_F(SelectScanner, AnEmptyListExplainsItself)
{
  struct Case {
    const char* Name;
    std::string Options;
    bool Installed;
  } cases[] = {
      {"no driver installed", Filter("*"), false},
      {"the options offer none", Filter("+999"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    FBoxes.Clear();
    FOptions = c.Options;
    Catalogue({Scanner("105", "平板", "P", 1, c.Installed), Scanner("201", "滚动", "G", 0, c.Installed)});
    Config(kConfig);
    TRun r = Run(false, [&](TSelectDialog& d) {
      EXPECT_TRUE(d.Items().empty());
      EXPECT_EQ(d.Modes(), kNoMode);
      // Down and up again, as a user looks into the list.
      SendMessageW(d.Window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(d.Scanner), TRUE);
      PressKey(d.Window, VK_F4);
      PressKey(d.Window, VK_F4);
      ASSERT_EQ(FBoxes.Count(), 1u) << "closing the list";
      EXPECT_EQ(FBoxes.Last().Text, kEmptyList);
      EXPECT_EQ(FBoxes.Last().Caption, L"提示");
      EXPECT_EQ(FBoxes.Last().Icon, UINT(MB_ICONERROR));
      Click(d.Ok);
      ASSERT_EQ(FBoxes.Count(), 2u) << "OK";
      EXPECT_EQ(FBoxes.Last().Text, kChooseOne);
      EXPECT_EQ(FBoxes.Last().Caption, L"提示");
      EXPECT_EQ(FBoxes.Last().Icon, UINT(MB_ICONWARNING));
      EXPECT_EQ(FBoxes.Last().Owner, d.Window);
      EXPECT_TRUE(d.Open());
      Click(d.Cancel);
    });
    ExpectNothingChosen(r);
    EXPECT_EQ(Selection(), (std::vector<std::string>{"105=1", "201=0"}));
    EXPECT_EQ(ConfigText(), kConfig);
  }
}

// An error in OK's work is shown by the dialog, which stays open for another try or Cancel.
TEST_F(SelectScanner, ErrorsOnOkKeepTheDialogOpen)
{
  struct Case {
    const char* Name;
    std::string Id;
    bool LockConfig;        // simple.cfg held open without sharing by another program
    std::string Error;      // part of the message
    bool CatalogueUpdated;  // the error comes after the catalogue's update
  } cases[] = {
      {"an id that is no number", "A1", false, "'A1' is not a valid integer value", false},
      {"a configuration file in use", "201", true, FScan.ConfigFile(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    FBoxes.Clear();
    Catalogue({Scanner(c.Id, "扫描仪", "G"), Scanner("105", "平板", "P", 1, false)});
    Config(kConfig);
    const auto table = Table();
    TRun r = Run(false, [&](TSelectDialog& d) {
      d.Pick(0);
      FDb->ClearLog();
      HANDLE lock = INVALID_HANDLE_VALUE;
      if (c.LockConfig)
        lock = CreateFileA(FScan.ConfigFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      Click(d.Ok);
      if (lock != INVALID_HANDLE_VALUE)
        CloseHandle(lock);
      ASSERT_EQ(FBoxes.Count(), 1u);
      const TBoxRecord b = FBoxes.Last();
      EXPECT_EQ(b.Caption, L"Quillon.RX");
      EXPECT_EQ(b.Icon, UINT(MB_ICONERROR));
      EXPECT_NE(b.Text.find(Wide(c.Error)), std::wstring::npos) << Gbk(b.Text);
      EXPECT_EQ(b.Owner, d.Window);
      EXPECT_TRUE(d.Open());
      EXPECT_EQ(FDb->Statements().size(), c.CatalogueUpdated ? 2u : 0u);
      Click(d.Cancel);
    });
    ExpectNothingChosen(r);
    EXPECT_EQ(ConfigText(), kConfig);
    if (c.CatalogueUpdated) {
      EXPECT_EQ(Selection(), (std::vector<std::string>{"105=0", c.Id + "=1"}));
    } else {
      EXPECT_EQ(Table(), table);
    }
  }
}

}  // namespace
