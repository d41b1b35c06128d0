// ScanInvoice as a host calls it, with our engine simulator as ScanReco.dll and SQLite behind ADO:
// every delivered page reaches the host as an image in its image folder and a nine-line result
// file, announced by message 32868; every other status ends the scan with its message and result;
// the engine is terminated exactly once whenever it was initialised.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BoxRecorder.h"
#include "Screenshot.h"
#include "TestDatabase.h"
#include "TestHost.h"
#include "TestScan.h"

namespace {

const wchar_t kFinished[] = L"发票扫描结束！";
const wchar_t kNoPaper[] = L"扫描仪没有正确连接或者扫描仪缺纸！";
const wchar_t kReadFailed[] = L"从扫描-识别系统读取新发票数据失败！";

std::string ImageName(size_t Page)
{
  char name[32];
  std::snprintf(name, sizeof name, "T%04u.tif", static_cast<unsigned>(Page));
  return name;
}

// What the host found when it handled a page message.
struct THostPage {
  std::string Result, Image, EngineImage;
  bool ResultExisted = false, ImageExisted = false;
};

class ScanInvoice : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_EQ(GetACP(), 936u);
    ClearRegistryTwainSource();
    // On tmpfs where the machine has it (Z: is the root of the Unix file system under wine):
    // thousands of small files are written and read here.
    FScan = std::make_unique<TTestScan>(GetFileAttributesA("Z:\\dev\\shm") != INVALID_FILE_ATTRIBUTES ? "Z:\\dev\\shm" : "");
    FEngineImage = FScan->EngineFolder + "out\\p.tif";
    FHost.OnPage = [this] {
      if (!FReadFilesAtMessage)
        return;
      THostPage p;
      p.Result = TTestScan::FileBytes(FResultFile, &p.ResultExisted);
      p.Image = TTestScan::FileBytes(FImageFolder + ImageName(FPages.size() + 1), &p.ImageExisted);
      p.EngineImage = TTestScan::FileBytes(FolderOf(FEngineImage) + "temp1.tif");
      FPages.push_back(p);
      if (FOnPage)
        FOnPage();
    };
  }
  void TearDown() override
  {
    EXPECT_TRUE(FScan->EngineCalls("protocol:").empty()) << FScan->EngineCalls("protocol:")[0];
    ClearRegistryTwainSource();
  }

  static std::string FolderOf(const std::string& Path) { return Path.substr(0, Path.rfind('\\') + 1); }

  // The catalogue: scanner Id selected, its driver file installed.
  void Catalogue(const std::string& Id, int Type = 150, const TDatabaseOptions& Options = {})
  {
    FDriver = FScan->AddDriverFile("Quillon\\scanner" + Id + ".ds");
    FDb = std::make_unique<TTestDatabase>(
        std::vector<TScannerRow>{{"105", 7, "其他", "X1", "G", 0, FDriver}, {Id, Type, "扫描仪", "M" + Id, "G", 1, FDriver}},
        Options);
  }
  // A page of the scenario with the engine's image beside FEngineImage.
  std::string Page(const std::string& Fields, int Status = 0) const
  {
    return "page " + std::to_string(Status) + "\nimage-path " + FEngineImage + "\n" + Fields;
  }

  int Scan()
  {
    THostParams hp = FScan->Params(FDb ? FDb->HostConnection() : nullptr);
    if (!FResultFileOverride.empty())
      hp.ResultFile = FResultFileOverride;
    if (!FImageFolderOverride.empty())
      hp.ImageFolder = FImageFolderOverride;
    FResultFile = hp.ResultFile;
    FImageFolder = hp.ImageFolder;
    TScanDLLParams p = FHost.Record(hp);
    int result = -99;
    FError = CallCatchingLibraryError([&] { result = FHost.ScanInvoice(p); });
    return result;
  }

  size_t Terminations() const { return FScan->EngineCalls("FpScannerTerminate").size(); }

  TBoxRecorder FBoxes;
  TTestHost FHost;
  std::unique_ptr<TTestScan> FScan;
  std::unique_ptr<TTestDatabase> FDb;
  std::string FDriver, FEngineImage, FResultFile, FImageFolder, FResultFileOverride, FImageFolderOverride;
  std::vector<THostPage> FPages;
  std::function<void()> FOnPage;
  bool FReadFilesAtMessage = true;  // as a real host does at every page message
  THostException FError;
};

TEST_F(ScanInvoice, ThreePagesThenNoPaper)
{
  for (const char* id : {"201", "401"}) {
    SCOPED_TRACE(id);
    FPages.clear();
    FBoxes.Clear();
    FScan->ClearEngineLog();
    Catalogue(id);
    FScan->Scenario(Page("repeat 3\ninfo1 发票{n}\ninfo2 0532177{n}\ninfo4 北京市海淀区 中关村大街1号\ninfo8 乙公司") +
                    "\nstatus 1\n");
    EXPECT_EQ(Scan(), -1);
    EXPECT_FALSE(FError.Raised) << FError.Message;
    ASSERT_EQ(FPages.size(), 3u) << "one message per page";
    for (size_t i = 0; i < FPages.size(); ++i) {
      SCOPED_TRACE(i + 1);
      const std::string n = std::to_string(i + 1);
      ASSERT_TRUE(FPages[i].ResultExisted && FPages[i].ImageExisted) << "both files are complete at the message";
      EXPECT_EQ(FPages[i].Result, "KVRNEWFP.T000" + n + "\r\n发票" + n + "\r\n0532177" + n +
                                      "\r\n\r\n北京市海淀区 中关村大街1号\r\n\r\n\r\n\r\n乙公司\r\n");
      EXPECT_EQ(FPages[i].Image.substr(0, 4), std::string("II*\0", 4));
      EXPECT_EQ(FPages[i].Image, FPages[i].EngineImage) << "a copy of the engine's temp1.tif";
    }
    for (int page = 1; page <= 3; ++page)
      EXPECT_TRUE(TTestScan::FileExists(FImageFolder + ImageName(page)));
    EXPECT_FALSE(TTestScan::FileExists(FImageFolder + ImageName(4)));
    EXPECT_EQ(TTestScan::FileBytes(FResultFile), FPages[2].Result) << "the result file holds the third page";
    if (std::string(id) == "401") {
      EXPECT_EQ(FBoxes.Count(), 0u) << "scanner 401 reports no paper silently";
    } else {
      ASSERT_EQ(FBoxes.Count(), 1u);
      EXPECT_EQ(FBoxes.Last().Text, kNoPaper);
      EXPECT_EQ(FBoxes.Last().Icon, UINT(MB_ICONWARNING));
      EXPECT_EQ(FBoxes.Last().Owner, FHost.MainWindow());
    }
    EXPECT_EQ(Terminations(), 1u);
    const std::vector<std::string> log = FScan->EngineLog();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "FpGetVersion 1000 150 -> 1");
    EXPECT_EQ(log[1], "FpScannerInitialize -> 0");
    EXPECT_EQ(log[2], "FpSetScannerMode 3 -> 0");
    EXPECT_EQ(log.back(), "FpScannerTerminate 0 -> 0");
  }
}

TEST_F(ScanInvoice, EveryStatusThatIsNoPageEndsTheScan)
{
  struct Case {
    int Status;
    const wchar_t* Message;
    UINT Icon;
    int Result;
  } cases[] = {
      {2, kFinished, MB_ICONINFORMATION, 0},
      {1, kNoPaper, MB_ICONWARNING, -1},
      {4, L"扫描仪卡纸！", MB_ICONERROR, 2},
      {16, L"无法识别的发票！", MB_ICONERROR, 2},
      {3, kReadFailed, MB_ICONERROR, 2},
      {7, kReadFailed, MB_ICONERROR, 2},
      {15, kReadFailed, MB_ICONERROR, 2},
      {17, kReadFailed, MB_ICONERROR, 2},
      {-1, kReadFailed, MB_ICONERROR, 2},
      {2147483647, kReadFailed, MB_ICONERROR, 2},
  };
  Catalogue("201");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Status);
    for (bool afterAPage : {false, true}) {
      FPages.clear();
      FBoxes.Clear();
      FScan->ClearEngineLog();
      FScan->Scenario((afterAPage ? Page("info1 1") : "") + "\nstatus " + std::to_string(c.Status) + "\n");
      // The box comes while the engine is still initialised.
      std::vector<std::string> logWhileBoxUp;
      FBoxes.OnBox = [&](const TBoxRecord&) { logWhileBoxUp = FScan->EngineCalls("FpScannerTerminate"); };
      const int result = Scan();
      // A page before does not change the result, except that the end of scanning answers 0 either way.
      EXPECT_EQ(result, c.Result) << afterAPage;
      ASSERT_EQ(FBoxes.Count(), 1u);
      EXPECT_EQ(FBoxes.Last().Text, c.Message);
      EXPECT_EQ(FBoxes.Last().Icon, c.Icon);
      EXPECT_TRUE(logWhileBoxUp.empty()) << "terminated only after the box was closed";
      EXPECT_EQ(Terminations(), 1u);
      EXPECT_EQ(FPages.size(), afterAPage ? 1u : 0u);
      EXPECT_EQ(TTestScan::FileExists(FScan->ResultFile), afterAPage) << "the old result file is gone at the start";
      EXPECT_EQ(TTestScan::FileExists(FImageFolder + ImageName(1)), afterAPage);
      FBoxes.OnBox = nullptr;
      DeleteFileA((FImageFolder + ImageName(1)).c_str());
    }
  }
}

TEST_F(ScanInvoice, AHostControlThatIsNoWindowStopsTheScanBeforeAnythingIsDone)
{
  Catalogue("201");
  FScan->Scenario(Page("info1 1"));
  THostParams hp = FScan->Params(FDb->HostConnection());
  TScanDLLParams p = FHost.Record(hp);
  std::vector<void*> notAControl(16, nullptr);
  p.HostControl = notAControl.data();
  THostException e = CallCatchingLibraryError([&] { FHost.ScanInvoice(p); });
  ASSERT_TRUE(e.Raised);
  EXPECT_NE(Wide(e.Message).find(L"HostControl"), std::wstring::npos) << e.Message;
  EXPECT_TRUE(FScan->EngineLog().empty());
  EXPECT_EQ(FBoxes.Count(), 0u);
  EXPECT_EQ(RegistryTwainSource("Default Source"), "") << "the default source is not touched";
}

TEST_F(ScanInvoice, StatusesFiveAndSixArePagesLikeZero)
{
  Catalogue("201");
  FScan->Scenario(Page("info1 A", 5) + "\n" + Page("info1 B", 6) + "\n" + Page("info1 C", 0) + "\nstatus 2\n");
  EXPECT_EQ(Scan(), 0);
  ASSERT_EQ(FPages.size(), 3u);
  EXPECT_EQ(FPages[0].Result.substr(0, 19), "KVRNEWFP.T0001\r\nA\r\n");
  EXPECT_EQ(FPages[1].Result.substr(0, 19), "KVRNEWFP.T0002\r\nB\r\n");
  EXPECT_EQ(FPages[2].Result.substr(0, 19), "KVRNEWFP.T0003\r\nC\r\n");
  EXPECT_EQ(FBoxes.Last().Text, kFinished);
}

TEST_F(ScanInvoice, FieldsAsTheEngineDeliversThem)
{
  Catalogue("201");
  // Info2 filled to its width (20 bytes, no terminator) right before Info3; Info5 empty; Info4 with
  // blanks and control bytes around it; Info6 with a line break inside.
  FScan->Scenario(Page("info1 \ninfo2 hex:3132333435363738393031323334353637383930\ninfo3 NEXT\n"
                       "info4 hex:2009204142204344200D0A\ninfo6 hex:41420D0A43\ninfo7 增值税\ninfo8 hex:00414243") +
                  "\nstatus 2\n");
  EXPECT_EQ(Scan(), 0);
  ASSERT_EQ(FPages.size(), 1u);
  EXPECT_EQ(FPages[0].Result,
            "KVRNEWFP.T0001\r\n\r\n12345678901234567890\r\nNEXT\r\nAB CD\r\n\r\nAB  C\r\n增值税\r\n\r\n");
}

TEST_F(ScanInvoice, NoScannerSelectedAsksNothingOfTheEngine)
{
  FDb = std::make_unique<TTestDatabase>(std::vector<TScannerRow>{{"201", 1, "甲", "A", "G", 0, "a.ds"}});
  FScan->Scenario(Page("info1 1"));
  EXPECT_EQ(Scan(), -1);
  ASSERT_EQ(FBoxes.Count(), 1u);
  EXPECT_EQ(FBoxes.Last().Text, L"当前扫描仪不受本软件的支持，请联系软件供应商获取升级程序！");
  EXPECT_EQ(FBoxes.Last().Icon, UINT(MB_ICONERROR));
  EXPECT_TRUE(FScan->EngineLog().empty());
}

TEST_F(ScanInvoice, DriverCheckAndTwainDefaultSource)
{
  const std::string installed = FScan->AddDriverFile("Quillon\\second.ds");
  const std::string twain = TTestScan::TwainFolder();
  const std::wstring notInstalled = L"扫描仪驱动程序安装不正确！";
  const std::wstring notInstalledFujitsu = L"扫描仪驱动程序安装不正确或者扫描仪未正确连接！";
  struct Case {
    std::string ConfigFile;
    const wchar_t* Message;  // nullptr: the scan runs, and the source is the installed file
  } cases[] = {
      {"Quillon\\first.ds;" + installed, nullptr},
      {" Quillon\\first.ds ; " + installed + " ", nullptr},
      {"Fjtw\\fjtw.ds;Fjtw\\fjtw2.ds", notInstalledFujitsu.c_str()},
      {"fjtw\\fjtw.ds", notInstalled.c_str()},
      {"a.ds;Fjtw\\fjtw.ds", notInstalled.c_str()},
      {"", L"当前扫描仪不受本软件的支持，请联系软件供应商获取升级程序！"},
      {"  ", L"当前扫描仪不受本软件的支持，请联系软件供应商获取升级程序！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ConfigFile);
    ClearRegistryTwainSource();
    FBoxes.Clear();
    FScan->ClearEngineLog();
    FDb = std::make_unique<TTestDatabase>(std::vector<TScannerRow>{{"201", 1, "甲", "A", "G", 1, c.ConfigFile}});
    FScan->Scenario("status 2\n");
    const int result = Scan();
    if (!c.Message) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(RegistryTwainSource("默认资源"), twain + installed);
      EXPECT_EQ(RegistryTwainSource("Default Source"), twain + installed);
      char windows[MAX_PATH] = {}, winIni[512] = {};
      GetWindowsDirectoryA(windows, MAX_PATH);
      GetPrivateProfileStringA("Twain", "Default Source", "", winIni, sizeof winIni, (std::string(windows) + "\\Win.ini").c_str());
      EXPECT_STREQ(winIni, "") << "Win.ini is for Windows before 2000";
    } else {
      EXPECT_EQ(result, -1);
      ASSERT_EQ(FBoxes.Count(), 1u);
      EXPECT_EQ(FBoxes.Last().Text, c.Message);
      EXPECT_EQ(FBoxes.Last().Icon, UINT(MB_ICONERROR));
      EXPECT_TRUE(FScan->EngineLog().empty()) << "the check asks nothing of the engine";
      EXPECT_EQ(RegistryTwainSource("Default Source"), "") << "the default source is left as it was";
    }
  }
}

TEST_F(ScanInvoice, EngineThatCannotStart)
{
  Catalogue("201");
  FScan->Scenario("init 7\n");
  EXPECT_EQ(Scan(), -1);
  ASSERT_EQ(FBoxes.Count(), 1u);
  EXPECT_EQ(FBoxes.Last().Text, L"扫描仪未正确连接或者扫描仪型号选择不正确！");
  EXPECT_EQ(FBoxes.Last().Icon, UINT(MB_ICONERROR));
  EXPECT_EQ(FScan->EngineLog(), (std::vector<std::string>{"FpGetVersion 1000 150 -> 1", "FpScannerInitialize -> 7",
                                                          "FpScannerTerminate 0 -> 0"}));
}

TEST_F(ScanInvoice, AResultFileThatCannotBeWrittenEndsTheScanWithAnError)
{
  Catalogue("201");
  FResultFileOverride = FScan->Root + "no such folder\\result.txt";
  FScan->Scenario(Page("info1 1") + "\n" + Page("info1 2"));
  Scan();
  ASSERT_TRUE(FError.Raised);
  EXPECT_NE(FError.Message.find("no such folder\\result.txt"), std::string::npos) << FError.Message;
  EXPECT_EQ(FHost.PageMessages, 0) << "no message for a page whose files are not complete";
  EXPECT_EQ(Terminations(), 1u);
  EXPECT_EQ(FScan->EngineCalls("FpGetNewPage").size(), 1u);
  EXPECT_EQ(FBoxes.Count(), 0u);
}

TEST_F(ScanInvoice, AnImageThatCannotBeCopiedIsNoReasonToStop)
{
  Catalogue("201");
  FImageFolderOverride = FScan->Root + "no such folder\\";
  FScan->Scenario(Page("info1 1") + "\n" + Page("info1 2") + "\nstatus 2\n");
  EXPECT_EQ(Scan(), 0);
  ASSERT_EQ(FPages.size(), 2u);
  EXPECT_TRUE(FPages[1].ResultExisted);
  EXPECT_FALSE(FPages[1].ImageExisted);
  EXPECT_EQ(FPages[1].Result.substr(0, 19), "KVRNEWFP.T0002\r\n2\r\n");
}

TEST_F(ScanInvoice, ImagePaths)
{
  Catalogue("201");
  struct Case {
    const char* Name;
    std::string EngineImage, ImageFolder;
  } cases[] = {
      {"GBK folders whose trail byte is 0x5C", FScan->EngineFolder + "扫描淺\\p.tif", FScan->Root + "图像淺\\"},
      {"an image path without any backslash: the current folder", "p.tif", FScan->ImageFolder},
      {"an image folder without a trailing backslash", FScan->EngineFolder + "x\\p.tif", FScan->Root + "img"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    FPages.clear();
    FEngineImage = c.EngineImage;
    FImageFolderOverride = c.ImageFolder;
    CreateDirectoryA(c.ImageFolder.c_str(), nullptr);
    FScan->Scenario(Page("info1 1") + "\nstatus 2\n");
    EXPECT_EQ(Scan(), 0);
    ASSERT_EQ(FPages.size(), 1u);
    EXPECT_TRUE(FPages[0].ImageExisted);
    EXPECT_EQ(FPages[0].Image, TTestScan::FileBytes(FolderOf(c.EngineImage) + "temp1.tif"));
    EXPECT_EQ(FPages[0].Image.substr(0, 4), std::string("II*\0", 4));
    DeleteFileA((c.ImageFolder + ImageName(1)).c_str());
  }
  DeleteFileA("temp1.tif");
}

TEST_F(ScanInvoice, TenThousandPagesAreNumberedOn)
{
  Catalogue("201");
  // The engine writes images only for the last two pages: the others are ballast for the count.
  FScan->Scenario(Page("repeat 9998\nimage none\ninfo1 {n}") + "\n" + Page("repeat 2\ninfo1 {n}") + "\nstatus 2\n");
  FReadFilesAtMessage = false;
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(FHost.PageMessages, 10000);
  EXPECT_FALSE(TTestScan::FileExists(FImageFolder + "T9998.tif"));
  EXPECT_TRUE(TTestScan::FileExists(FImageFolder + "T9999.tif"));
  EXPECT_TRUE(TTestScan::FileExists(FImageFolder + "T10000.tif"));
  EXPECT_EQ(TTestScan::FileBytes(FScan->ResultFile), "KVRNEWFP.T10000\r\n10000\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
  EXPECT_EQ(Terminations(), 1u);
}

// A host whose B_Scanner declares FID char(10): PostgreSQL hands the id out padded with blanks, and
// the scan must still be the selected scanner's: its section in simple.cfg, the shared section for
// 200 and above, scanner 401's silent end of paper, its driver files.
TEST_F(ScanInvoice, AFixedWidthCatalogueIdIsStillTheScanner)
{
  TDatabaseOptions fixed;
  fixed.FixedWidthIds = true;
  for (const char* id : {"201", "401"}) {
    SCOPED_TRACE(id);
    FPages.clear();
    FBoxes.Clear();
    FScan->ClearEngineLog();
    TTestScan::WriteFileBytes(FScan->ConfigFile(), "");
    Catalogue(id, 150, fixed);
    FScan->Scenario(Page("info1 1") + "\nstatus 1\n");
    EXPECT_EQ(Scan(), -1);
    EXPECT_FALSE(FError.Raised) << FError.Message;
    EXPECT_EQ(FPages.size(), 1u);
    EXPECT_EQ(FBoxes.Count(), std::string(id) == "401" ? 0u : 1u) << "401 reports no paper silently";
    EXPECT_EQ(Terminations(), 1u);
    const std::string config = TTestScan::FileBytes(FScan->ConfigFile());
    EXPECT_NE(config.find("[Scan" + std::string(id) + "]\r\nScannerType=2"), std::string::npos) << config;
    EXPECT_NE(config.find("[Scan]\r\nScannerType=2"), std::string::npos) << config;
    const std::vector<std::string> log = FDb->Statements();
    EXPECT_NE(std::find(log.begin(), log.end(), "SELECT FConfigFile FROM B_Scanner WHERE FID = '" + std::string(id) + "'"),
              log.end());
  }
}

// Both an old result file (even a read-only one) and the images of an earlier scan: the old result
// is gone when the scan starts; the images are overwritten from T0001 on.
TEST_F(ScanInvoice, EachScanStartsAfresh)
{
  Catalogue("201");
  TTestScan::WriteFileBytes(FScan->ResultFile, "old");
  SetFileAttributesA(FScan->ResultFile.c_str(), FILE_ATTRIBUTE_READONLY);
  FScan->Scenario("status 2\n");
  EXPECT_EQ(Scan(), 0);
  EXPECT_FALSE(TTestScan::FileExists(FScan->ResultFile));
  FScan->Scenario(Page("info1 first") + "\nstatus 2\n");
  Scan();
  FScan->Scenario(Page("info1 second") + "\nstatus 2\n");
  Scan();
  EXPECT_EQ(TTestScan::FileBytes(FScan->ResultFile).substr(0, 24), "KVRNEWFP.T0001\r\nsecond\r\n");
}

// A host whose handler of the page message calls the library again: the running scan goes on with
// the record of that call.
TEST_F(ScanInvoice, AHostThatCallsBackFromItsPageHandler)
{
  Catalogue("201");
  FScan->Scenario(Page("repeat 2\ninfo1 {n}") + "\nstatus 2\n");
  THostString second(FScan->Root + "second.txt");
  FOnPage = [&] {
    if (FPages.size() != 1)
      return;
    THostParams hp = FScan->Params(FDb->HostConnection());
    hp.ResultFile = second.Text();
    THostString id;
    EXPECT_EQ(FHost.GetScannerID(FHost.Record(hp), &id.S, false), 1);
  };
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(FPages.size(), 2u);
  EXPECT_EQ(TTestScan::FileBytes(second.Text()).substr(0, 19), "KVRNEWFP.T0002\r\n2\r\n");
}

}  // namespace

namespace {

// What a second thread saw of the busy window while the scan's thread waited in the engine.
struct TBusySighting {
  bool Seen = false;
  RECT Outer = {}, Clip = {}, Text = {};
  std::wstring Caption;
  bool TopMost = false;
  HWND Owner = nullptr;
  std::vector<bool> HostChildrenEnabled;
  bool Screenshot = false;
  HWND Window = nullptr;
};

struct TFindBusy {
  HWND Owner, Found;
};

BOOL CALLBACK FindBusyWindow(HWND Window, LPARAM Find) noexcept
{
  auto* f = reinterpret_cast<TFindBusy*>(Find);
  if (IsWindowVisible(Window) && GetWindow(Window, GW_OWNER) == f->Owner &&
      FindWindowExW(Window, nullptr, L"SysAnimate32", nullptr)) {
    f->Found = Window;
    return FALSE;
  }
  return TRUE;
}

// Watches for the busy window of the thread Thread (owned by Owner) and reads it from outside,
// as the user sees it, while that thread is blocked.
TBusySighting WatchForBusyWindow(DWORD Thread, HWND Owner, const std::vector<HWND>& HostChildren, const std::wstring& Png)
{
  TBusySighting s;
  for (int tries = 0; tries < 400 && !s.Seen; ++tries) {
    Sleep(10);
    TFindBusy find = {Owner, nullptr};
    EnumThreadWindows(Thread, FindBusyWindow, reinterpret_cast<LPARAM>(&find));
    if (!find.Found)
      continue;
    HWND w = find.Found;
    s.Seen = true;
    GetWindowRect(w, &s.Outer);
    auto childRect = [&](HWND c, RECT& r) {
      GetWindowRect(c, &r);
      MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
    };
    HWND clip = FindWindowExW(w, nullptr, L"SysAnimate32", nullptr);
    childRect(clip, s.Clip);
    for (HWND c = FindWindowExW(w, nullptr, L"Static", nullptr); c; c = FindWindowExW(w, c, L"Static", nullptr)) {
      // Not GetWindowText: that would send the blocked thread a message and wait for it.
      wchar_t text[128] = {};
      if (!IsWindowVisible(c) || InternalGetWindowText(c, text, 128) == 0)
        continue;
      childRect(c, s.Text);
      s.Caption = text;
    }
    s.TopMost = (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    s.Owner = GetWindow(w, GW_OWNER);
    for (HWND c : HostChildren)
      s.HostChildrenEnabled.push_back(IsWindowEnabled(c) != 0);
    s.Window = w;
    // Once it has painted itself and the clip has run a little.
    Sleep(500);
    s.Screenshot = !Png.empty() && SaveWindowPng(w, Png);
  }
  return s;
}

TEST_F(ScanInvoice, TheBusyWindowOfScanner601)
{
  Catalogue("601");
  FScan->Scenario(Page("delay 1500\ninfo1 1") + "\nstatus 2 delay 1500\n");
  HWND disabledByHost = FHost.ChildControls()[2];
  EnableWindow(disabledByHost, FALSE);
  TBusySighting first;
  const DWORD thread = GetCurrentThreadId();
  const std::wstring png = TestOutputPath(L"busy-window-scan.png");
  std::thread watcher([&] { first = WatchForBusyWindow(thread, FHost.MainWindow(), FHost.ChildControls(), png); });
  const int result = Scan();
  watcher.join();
  EXPECT_EQ(result, 0);
  ASSERT_TRUE(first.Seen) << "the busy window was up while the engine waited";
  EXPECT_EQ(first.Outer.right - first.Outer.left, 303);
  EXPECT_EQ(first.Outer.bottom - first.Outer.top, 96);
  EXPECT_EQ(first.Outer.left, (GetSystemMetrics(SM_CXSCREEN) - 303) / 2) << "centred on the primary screen";
  EXPECT_EQ(first.Outer.top, (GetSystemMetrics(SM_CYSCREEN) - 96) / 2);
  const RECT clip = {16, 32, 16 + 271, 32 + 48};
  EXPECT_TRUE(EqualRect(&first.Clip, &clip)) << first.Clip.left << "," << first.Clip.top << " " << first.Clip.right << "," << first.Clip.bottom;
  EXPECT_EQ(first.Text.left, 16);
  EXPECT_EQ(first.Text.top, 16);
  EXPECT_EQ(first.Caption, L"正在扫描发票, 请稍候...");
  EXPECT_TRUE(first.TopMost);
  EXPECT_EQ(first.Owner, FHost.MainWindow());
  EXPECT_EQ(first.HostChildrenEnabled, (std::vector<bool>{false, false, false})) << "the host control's children";
  EXPECT_TRUE(first.Screenshot);
  // Afterwards the children are as the host had them.
  EXPECT_TRUE(IsWindowEnabled(FHost.ChildControls()[0]));
  EXPECT_TRUE(IsWindowEnabled(FHost.ChildControls()[1]));
  EXPECT_FALSE(IsWindowEnabled(disabledByHost)) << "a child the host had disabled stays so";
  EnableWindow(disabledByHost, TRUE);
  ASSERT_EQ(FPages.size(), 1u);
  EXPECT_EQ(FBoxes.Last().Text, kFinished);
}

// A host whose application window is not the window of its control (a host built with Delphi's VCL
// passes its hidden application window): the page message goes to the control (the host fails the
// test if another of its windows gets it), the busy window belongs to AppHandle, and the box at the
// end of the scan stands in front of the control's window.
TEST_F(ScanInvoice, AppHandleAndHostControlAreToldApart)
{
  TTestHost host("Quillon.RX.dll", TAppWindow::Hidden);
  ASSERT_NE(host.AppHandle(), GetAncestor(host.HostControl(), GA_ROOT));
  Catalogue("601");
  FScan->Scenario(Page("delay 800\ninfo1 1") + "\nstatus 2\n");
  const TScanDLLParams p = host.Record(FScan->Params(FDb->HostConnection()));
  TBusySighting busy;
  const DWORD thread = GetCurrentThreadId();
  std::thread watcher([&] { busy = WatchForBusyWindow(thread, host.AppHandle(), host.ChildControls(), L""); });
  int result = -99;
  const THostException e = CallCatchingLibraryError([&] { result = host.ScanInvoice(p); });
  watcher.join();
  EXPECT_FALSE(e.Raised) << e.Message;
  EXPECT_EQ(result, 0);
  EXPECT_EQ(host.PageMessages, 1) << "the page message, at the host's control";
  EXPECT_TRUE(busy.Seen) << "a busy window owned by AppHandle";
  EXPECT_EQ(busy.HostChildrenEnabled, (std::vector<bool>{false, false, false})) << "the host control's children";
  ASSERT_EQ(FBoxes.Count(), 1u);
  EXPECT_EQ(FBoxes.Last().Text, kFinished);
  EXPECT_EQ(FBoxes.Last().Owner, host.MainWindow()) << "in front of the window of the host's control";
}

TEST_F(ScanInvoice, OtherScannersShowNoBusyWindow)
{
  Catalogue("201");
  FScan->Scenario(Page("delay 800\ninfo1 1") + "\nstatus 2\n");
  TBusySighting seen;
  const DWORD thread = GetCurrentThreadId();
  std::thread watcher([&] { seen = WatchForBusyWindow(thread, FHost.MainWindow(), FHost.ChildControls(), L""); });
  EXPECT_EQ(Scan(), 0);
  watcher.join();
  EXPECT_FALSE(seen.Seen);
}

}  // namespace
