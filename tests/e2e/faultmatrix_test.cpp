// The fault matrix: every statement of the catalogue failing in turn (rejected by the database,
// broken off while its rows are read, a connection that drops between two statements), the engine
// ending with each of its statuses, and the file system refusing each write (read-only and locked
// files, missing folders, a full disk). For each row: the user sees the right message, the host the
// right result or exception, the engine is terminated once if it was started, the host's windows are
// enabled again, a second run leaks no string block, handle or window, and "simple.cfg" and the
// result file hold either their old content or the new one, whole. Each row also goes to the
// reliability report (MatrixReport.h).
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BoxRecorder.h"
#include "DialogDriver.h"
#include "FullDisk.h"
#include "MatrixReport.h"
#include "ProcessUsage.h"
#include "SelectDialog.h"
#include "TestDatabase.h"
#include "TestHost.h"
#include "TestScan.h"

namespace {

using TStage = TTestDatabase::TFaultStage;

const char kSelected[] = "SELECT FID, FType FROM B_Scanner WHERE FSelect = 1";
const char kDriverFiles[] = "SELECT FConfigFile FROM B_Scanner WHERE FID";
const char kList[] = "SELECT * FROM B_Scanner WHERE FID NOT LIKE";
const char kMark[] = "UPDATE B_Scanner SET FSelect = 1";
const char kClear[] = "UPDATE B_Scanner SET FSelect = 0";
const char kConfig[] = "[General]\r\nVersion=3\r\n[Scan]\r\nScannerType=1\r\n[Scan201]\r\nScanWithADF=0\r\n";
const char kOldResult[] = "KVRNEWFP.T0009\r\nold\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n";

enum class TExport { ScanInvoice, GetScannerID, SelectScanner, SetScanMode };

// A box the row expects: its icon and a piece of its text.
struct TBox {
  UINT Icon;
  const wchar_t* Text;
};

// What one call did, seen from the host.
struct TRun {
  int Result = -99;
  THostException Error;
  std::vector<TBoxRecord> Boxes;
  size_t Terminations = 0, Pages = 0;
  bool HostEnabled = true;
  bool DialogOpened = false;
};

class FaultMatrix : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_EQ(GetACP(), 936u);
    ClearRegistryTwainSource();
    FDriver = FScan.AddDriverFile("Quillon\\matrix.ds");
    FDb = std::make_unique<TTestDatabase>(std::vector<TScannerRow>{{"105", 7, "平板", "F1", "P", 0, FDriver},
                                                                   {"201", 150, "扫描仪", "M201", "G", 1, FDriver}});
    FParams = FScan.Params(FDb->HostConnection());
    FParams.OptionsXML = "<Root><Options><ScnrList>*</ScnrList></Options></Root>";
    TTestScan::WriteFileBytes(FScan.ConfigFile(), kConfig);
    FScan.Scenario("page\nimage-path " + FScan.EngineFolder + "p.tif\ninfo1 第{n}页\nstatus 2\n");
  }
  void TearDown() override
  {
    EXPECT_TRUE(FScan.EngineCalls("protocol:").empty());
    ClearRegistryTwainSource();
  }

  // One call of Export as the host makes it; Drive works the select-scanner dialog and closes it.
  TRun Call(TExport Export, const std::function<void(TSelectDialog&)>& Drive = nullptr)
  {
    TRun r;
    FBoxes.Clear();
    FScan.ClearEngineLog();
    const int pagesBefore = FHost.PageMessages;
    const TScanDLLParams p = FHost.Record(FParams);
    FBoxes.OnDialog = [&](HWND w) {
      if (TBoxRecorder::IsMessageBox(w) || GetWindow(w, GW_OWNER) != FHost.AppHandle())
        return false;
      r.DialogOpened = true;
      TSelectDialog d(w);
      if (Drive)
        Drive(d);
      if (d.Open())
        Click(d.Cancel);
      return true;
    };
    // Nothing with a destructor inside the guarded call: an exception passes its frame by.
    THostString id, mode, setId("201"), setMode("G");
    r.Error = CallCatchingLibraryError([&] {
      switch (Export) {
        case TExport::ScanInvoice: r.Result = FHost.ScanInvoice(p); break;
        case TExport::GetScannerID: r.Result = FHost.GetScannerID(p, &id.S, true); break;
        case TExport::SelectScanner: r.Result = FHost.SelectScanner(p, false, &id.S, &mode.S); break;
        case TExport::SetScanMode:
          FHost.SetScanMode(p, setId.S, setMode.S);
          r.Result = 0;
          break;
      }
    });
    FBoxes.OnDialog = nullptr;
    r.Boxes = FBoxes.Boxes();
    r.Terminations = FScan.EngineCalls("FpScannerTerminate").size();
    r.Pages = static_cast<size_t>(FHost.PageMessages - pagesBefore);
    for (HWND w : FHost.ChildControls())
      r.HostEnabled = r.HostEnabled && IsWindowEnabled(w);
    r.HostEnabled = r.HostEnabled && IsWindowEnabled(FHost.MainWindow());
    return r;
  }

  // Runs the row twice (Arrange before each: faults strike once): the second run must leave the
  // process as the first did.
  TRun CallTwice(TExport Export, const std::function<void()>& Arrange,
                 const std::function<void(TSelectDialog&)>& Drive, std::string& Leaks)
  {
    Arrange();
    Call(Export, Drive);
    const TProcessUsage before = ProcessUsage();
    Arrange();
    TRun r = Call(Export, Drive);
    const TProcessUsage after = ProcessUsage();
    Leaks.clear();
    if (after.StringBlocks != before.StringBlocks)
      Leaks += " string blocks " + std::to_string(after.StringBlocks - before.StringBlocks);
    if (after.Handles != before.Handles)
      Leaks += " handles " + std::to_string(long(after.Handles) - long(before.Handles));
    if (after.ThreadWindows != before.ThreadWindows)
      Leaks += " windows " + std::to_string(after.ThreadWindows - before.ThreadWindows);
    if (after.GdiObjects != before.GdiObjects)
      Leaks += " GDI " + std::to_string(long(after.GdiObjects) - long(before.GdiObjects));
    return r;
  }

  // Checks a run against the row's expectations and reports the row.
  void Expect(const char* Area, const std::string& Fault, const TRun& R, const std::string& Leaks, int Result,
              const char* ErrorWords, const std::vector<TBox>& Boxes, size_t Terminations,
              const std::string& FilesExpected, const std::string& FilesObserved, bool FilesOk)
  {
    bool ok = true;
    auto check = [&](bool Condition, const std::string& What) {
      EXPECT_TRUE(Condition) << Fault << ": " << What;
      ok = ok && Condition;
    };
    if (ErrorWords) {
      check(R.Error.Raised && R.Error.Code == QRX_EXCEPTION_CODE, "the library's error reaches the host");
      check(R.Error.Message.find(ErrorWords) != std::string::npos, "the error says \"" + std::string(ErrorWords) +
                                                                       "\": " + R.Error.Message);
    } else {
      check(!R.Error.Raised, "no exception: " + R.Error.Message);
      check(R.Result == Result, "result " + std::to_string(R.Result) + ", not " + std::to_string(Result));
    }
    check(R.Boxes.size() == Boxes.size(), "boxes: " + DescribeBoxes(R.Boxes));
    for (size_t i = 0; i < Boxes.size() && i < R.Boxes.size(); ++i)
      check(R.Boxes[i].Icon == Boxes[i].Icon && R.Boxes[i].Text.find(Boxes[i].Text) != std::wstring::npos,
            "box " + std::to_string(i + 1) + ": " + DescribeBoxes({R.Boxes[i]}));
    check(R.Terminations == Terminations, "engine terminated " + std::to_string(R.Terminations) + " times");
    check(R.HostEnabled, "the host's windows are enabled again");
    check(Leaks.empty(), "a second run leaks:" + Leaks);
    check(FilesOk, "files: " + FilesObserved);

    std::string expected = ErrorWords ? "the host catches the library's error" : "result " + std::to_string(Result);
    std::vector<TBoxRecord> boxes;
    for (const TBox& b : Boxes) {
      TBoxRecord record;
      record.Icon = b.Icon;
      record.Text = b.Text;
      boxes.push_back(record);
    }
    expected += "; " + DescribeBoxes(boxes) + "; engine terminated " + std::to_string(Terminations) + "x";
    if (!FilesExpected.empty())
      expected += "; " + FilesExpected;
    std::string observed = DescribeOutcome(R.Error.Raised, R.Error, R.Result) + "; " + DescribeBoxes(R.Boxes) +
                           "; engine terminated " + std::to_string(R.Terminations) + "x; host " +
                           (R.HostEnabled ? "enabled" : "DISABLED") + "; " +
                           (Leaks.empty() ? "no leak" : "leaks:" + Leaks);
    if (!FilesObserved.empty())
      observed += "; " + FilesObserved;
    ReportMatrixRow(Area, Fault, expected, observed, ok);
  }

  std::vector<std::string> Selection()
  {
    std::vector<std::string> rows;
    for (const auto& row : FDb->Query("SELECT FID, FSelect FROM B_Scanner ORDER BY FID"))
      rows.push_back(row[0] + "=" + row[1]);
    return rows;
  }

public:
  // For the rows' arrangements: the configuration file of the record, and a file to hold open
  // without sharing while the call runs.
  std::string ConfigFile() const { return FParams.ConfigFolder + "simple.cfg"; }
  void LockFile(const std::string& File) { FLockFile = File; }

protected:
  TBoxRecorder FBoxes;
  TTestHost FHost;
  TTestScan FScan;
  std::string FDriver;
  std::unique_ptr<TTestDatabase> FDb;
  THostParams FParams;
  std::string FLockFile;
};

// ---- the catalogue: each statement failing in turn ----

struct TDatabaseCase {
  const char* Fault;
  TExport Export;
  const char* Statement;  // the statement that fails (its beginning); nullptr: the connection drops
  TStage Stage;
  int DropAfter;          // with Statement nullptr: statements that still run before the drop
  int Result;
  const char* ErrorWords;  // the library's error the host catches, or nullptr
  std::vector<TBox> Boxes;
  size_t Terminations;
};

const wchar_t kRejected[] = L"qrx_injected_fault";
const wchar_t kBrokenOff[] = L"Communication link failure";
const wchar_t kNotSupported[] = L"当前扫描仪不受本软件的支持";
const wchar_t kFinished[] = L"发票扫描结束";
const wchar_t kQuestion[] = L"您确定选择了正确的扫描仪型号吗";
const wchar_t kNoScanner[] = L"您尚未选择任何扫描仪";

class FaultMatrixDatabase : public FaultMatrix, public ::testing::WithParamInterface<TDatabaseCase> {};

TEST_P(FaultMatrixDatabase, EachStatementFailing)
{
  const TDatabaseCase& c = GetParam();
  const auto selectionBefore = Selection();
  const std::string configBefore = TTestScan::FileBytes(FScan.ConfigFile());
  auto arrange = [&] {
    if (!c.Statement) {
      // A dropped connection is gone for good: each run gets a database of its own.
      FDb = std::make_unique<TTestDatabase>(std::vector<TScannerRow>{{"105", 7, "平板", "F1", "P", 0, FDriver},
                                                                     {"201", 150, "扫描仪", "M201", "G", 1, FDriver}});
      FParams.Connection = FDb->HostConnection();
    }
    FDb->ClearFaults();
    if (c.Statement)
      FDb->FailStatement(c.Statement, c.Stage);
    else
      FDb->DropConnectionAfter(c.DropAfter);
  };
  // In the dialog: OK on the preselected scanner, Yes to the question, then (the choice not taken)
  // Cancel. An empty list is only cancelled.
  auto drive = [&](TSelectDialog& d) {
    if (d.Items().empty())
      return;
    FBoxes.Answer(TBoxAnswer::Click(IDYES));
    Click(d.Ok);
  };
  std::string leaks;
  const TRun r = CallTwice(c.Export, arrange, drive, leaks);
  const bool catalogueSame = Selection() == selectionBefore;
  const bool configSame = TTestScan::FileBytes(FScan.ConfigFile()) == configBefore;
  const bool filesOk = c.Export == TExport::SelectScanner ? catalogueSame && configSame : true;
  Expect("catalogue", c.Fault, r, leaks, c.Result, c.ErrorWords, c.Boxes, c.Terminations,
         c.Export == TExport::SelectScanner ? "catalogue and simple.cfg unchanged" : "",
         c.Export == TExport::SelectScanner
             ? std::string("catalogue ") + (catalogueSame ? "unchanged" : "CHANGED") + ", simple.cfg " +
                   (configSame ? "unchanged" : "CHANGED")
             : "",
         filesOk);
}

const TDatabaseCase kDatabaseCases[] = {
    {"GetScannerID: the selection query is rejected", TExport::GetScannerID, kSelected, TStage::Execute, 0, 0, nullptr,
     {{MB_ICONERROR, kRejected}, {MB_ICONWARNING, kNoScanner}}, 0},
    {"GetScannerID: the selection query breaks off while read", TExport::GetScannerID, kSelected, TStage::Read, 0, 0,
     nullptr, {{MB_ICONERROR, kBrokenOff}, {MB_ICONWARNING, kNoScanner}}, 0},
    {"GetScannerID: the connection drops before the query", TExport::GetScannerID, nullptr, TStage::Execute, 0, 0,
     nullptr, {{MB_ICONERROR, L""}, {MB_ICONWARNING, kNoScanner}}, 0},
    {"ScanInvoice: the selection query is rejected", TExport::ScanInvoice, kSelected, TStage::Execute, 0, -1, nullptr,
     {{MB_ICONERROR, kRejected}, {MB_ICONERROR, kNotSupported}}, 0},
    {"ScanInvoice: the driver-file query is rejected", TExport::ScanInvoice, kDriverFiles, TStage::Execute, 0, 0, "",
     {{MB_ICONERROR, kRejected}}, 0},
    {"ScanInvoice: the driver-file query breaks off while read", TExport::ScanInvoice, kDriverFiles, TStage::Read, 0, 0,
     "", {{MB_ICONERROR, kBrokenOff}}, 0},
    {"ScanInvoice: the connection drops after the selection query", TExport::ScanInvoice, nullptr, TStage::Execute, 1,
     0, "", {{MB_ICONERROR, L""}}, 0},
    {"SelectScanner: the list query is rejected", TExport::SelectScanner, kList, TStage::Execute, 0, 0, nullptr,
     {{MB_ICONERROR, kRejected}}, 0},
    {"SelectScanner: marking the chosen scanner is rejected", TExport::SelectScanner, kMark, TStage::Execute, 0, 0,
     nullptr, {{MB_ICONWARNING, kQuestion}, {MB_ICONWARNING, kRejected}}, 0},
    {"SelectScanner: clearing the other scanners is rejected", TExport::SelectScanner, kClear, TStage::Execute, 0, 0,
     nullptr, {{MB_ICONWARNING, kQuestion}, {MB_ICONWARNING, kRejected}}, 0},
    // The dialog's list query and a driver-file query for each of the two rows run first.
    {"SelectScanner: the connection drops between the two updates", TExport::SelectScanner, nullptr, TStage::Execute,
     4, 0, nullptr, {{MB_ICONWARNING, kQuestion}, {MB_ICONWARNING, L""}}, 0},
};

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrixDatabase, ::testing::ValuesIn(kDatabaseCases),
                         [](const ::testing::TestParamInfo<TDatabaseCase>& i) {
                           return "Row" + std::to_string(i.index);
                         });

// ---- the engine's statuses ----

struct TStatusCase {
  const char* Fault;
  const char* Scenario;  // after one delivered page
  int Result;
  std::vector<TBox> Boxes;
};

class FaultMatrixEngine : public FaultMatrix, public ::testing::WithParamInterface<TStatusCase> {};

TEST_P(FaultMatrixEngine, EachEndOfTheScan)
{
  const TStatusCase& c = GetParam();
  FScan.Scenario("page\nimage-path " + FScan.EngineFolder + "p.tif\ninfo1 1\n" + c.Scenario);
  std::string leaks;
  const TRun r = CallTwice(TExport::ScanInvoice, [] {}, nullptr, leaks);
  const std::string result = TTestScan::FileBytes(FParams.ResultFile);
  const bool whole = result.rfind("KVRNEWFP.T0001\r\n1\r\n", 0) == 0;
  Expect("engine", c.Fault, r, leaks, c.Result, nullptr, c.Boxes, 1, "the first page's result file",
         whole ? "the first page's result file" : "result file: " + result, whole && r.Pages == 1);
}

const TStatusCase kStatusCases[] = {
    {"status 2: end of the stack", "status 2\n", 0, {{MB_ICONINFORMATION, kFinished}}},
    {"status 1: not connected or out of paper", "status 1\n", -1, {{MB_ICONWARNING, L"扫描仪没有正确连接或者扫描仪缺纸"}}},
    {"status 4: paper jam", "status 4\n", 2, {{MB_ICONERROR, L"扫描仪卡纸"}}},
    {"status 16: unrecognised invoice", "status 16\n", 2, {{MB_ICONERROR, L"无法识别的发票"}}},
    {"status 3: reading the page failed", "status 3\n", 2, {{MB_ICONERROR, L"从扫描-识别系统读取新发票数据失败"}}},
    {"status -1: reading the page failed", "status -1\n", 2, {{MB_ICONERROR, L"从扫描-识别系统读取新发票数据失败"}}},
};

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrixEngine, ::testing::ValuesIn(kStatusCases),
                         [](const ::testing::TestParamInfo<TStatusCase>& i) { return "Row" + std::to_string(i.index); });

TEST_F(FaultMatrix, TheEngineFailsToStart)
{
  FScan.Scenario("init 7\n");
  std::string leaks;
  const TRun r = CallTwice(TExport::ScanInvoice, [] {}, nullptr, leaks);
  Expect("engine", "FpScannerInitialize answers 7", r, leaks, -1, nullptr,
         {{MB_ICONERROR, L"扫描仪未正确连接或者扫描仪型号选择不正确"}}, 1, "", "", true);
}

// ---- the file system refusing a write ----

// A file held open without sharing, as another program may hold it, for the scope.
class TLock {
public:
  explicit TLock(const std::string& File)
      : FHandle(CreateFileA(File.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr))
  {
    EXPECT_NE(FHandle, INVALID_HANDLE_VALUE) << "cannot lock " << File;
  }
  ~TLock() { CloseHandle(FHandle); }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;

private:
  HANDLE FHandle;
};

struct TFileCase {
  const char* Fault;
  TExport Export;
  std::function<void(FaultMatrix&, THostParams&)> Arrange;  // before each run
  int Result;
  const char* ErrorWords;
  std::vector<TBox> Boxes;
  size_t Terminations;
  bool ConfigChanges, ResultChanges;  // whether the call leaves the new content
};

class FaultMatrixFiles : public FaultMatrix, public ::testing::WithParamInterface<TFileCase> {};

std::string ReadOnly(const std::string& File)
{
  SetFileAttributesA(File.c_str(), FILE_ATTRIBUTE_READONLY);
  return File;
}

TEST_P(FaultMatrixFiles, EachWriteRefused)
{
  const TFileCase& c = GetParam();
  std::unique_ptr<TLock> lock;
  const THostParams plain = FParams;
  auto arrange = [&] {
    lock.reset();
    FParams = plain;
    FLockFile.clear();
    SetFileAttributesA(FScan.ConfigFile().c_str(), FILE_ATTRIBUTE_NORMAL);
    TTestScan::WriteFileBytes(FScan.ConfigFile(), kConfig);
    SetFileAttributesA(FParams.ResultFile.c_str(), FILE_ATTRIBUTE_NORMAL);
    TTestScan::WriteFileBytes(FParams.ResultFile, kOldResult);
    c.Arrange(*this, FParams);
    if (!FLockFile.empty())
      lock = std::make_unique<TLock>(FLockFile);
  };
  std::string leaks;
  const TRun r = CallTwice(c.Export, arrange, nullptr, leaks);
  lock.reset();
  const std::string config = TTestScan::FileBytes(FScan.ConfigFile());
  const std::string result = TTestScan::FileBytes(FParams.ResultFile);
  const bool configOld = config == kConfig;
  const bool configNew = !configOld && config.find("[Scan201]") != std::string::npos &&
                         config.find("[General]\r\nVersion=3") != std::string::npos;
  const bool resultOld = result == kOldResult;
  const bool resultNew = result.rfind("KVRNEWFP.T0001\r\n", 0) == 0;
  const bool filesOk = (c.ConfigChanges ? configNew : configOld) &&
                       (c.Export != TExport::ScanInvoice || (c.ResultChanges ? resultNew : resultOld || result.empty()));
  Expect("files", c.Fault, r, leaks, c.Result, c.ErrorWords, c.Boxes, c.Terminations,
         std::string("simple.cfg ") + (c.ConfigChanges ? "new" : "old") + ", result file " +
             (c.ResultChanges ? "new" : "old or none"),
         std::string("simple.cfg ") + (configOld ? "old" : configNew ? "new" : "MIXED") + ", result file " +
             (resultOld ? "old" : resultNew ? "new" : result.empty() ? "none" : "MIXED"),
         filesOk);
  SetFileAttributesA(FScan.ConfigFile().c_str(), FILE_ATTRIBUTE_NORMAL);
}

const TFileCase kFileCases[] = {
    {"simple.cfg read-only", TExport::ScanInvoice,
     [](FaultMatrix& m, THostParams&) { ReadOnly(m.ConfigFile()); }, 0, nullptr, {{MB_ICONINFORMATION, kFinished}}, 1,
     true, true},
    {"simple.cfg held open by another program", TExport::ScanInvoice,
     [](FaultMatrix& m, THostParams&) { m.LockFile(m.ConfigFile()); }, 0, "simple.cfg", {}, 0, false, false},
    {"the result file read-only", TExport::ScanInvoice,
     [](FaultMatrix&, THostParams& p) { ReadOnly(p.ResultFile); }, 0, nullptr, {{MB_ICONINFORMATION, kFinished}}, 1,
     true, true},
    {"the result file held open by another program", TExport::ScanInvoice,
     [](FaultMatrix& m, THostParams& p) { m.LockFile(p.ResultFile); }, 0, "result", {}, 1, true, false},
    {"the configuration folder missing", TExport::ScanInvoice,
     [](FaultMatrix&, THostParams& p) { p.ConfigFolder = p.ImageFolder + "missing\\"; }, 0, "simple.cfg", {}, 0,
     false, false},
    {"the result file's folder missing", TExport::ScanInvoice,
     [](FaultMatrix&, THostParams& p) { p.ResultFile = p.ImageFolder + "missing\\result.txt"; }, 0, "result", {}, 1,
     true, false},
    {"SetScanMode: simple.cfg held open by another program", TExport::SetScanMode,
     [](FaultMatrix& m, THostParams&) { m.LockFile(m.ConfigFile()); }, 0, "simple.cfg", {}, 0, false, false},
};

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrixFiles, ::testing::ValuesIn(kFileCases),
                         [](const ::testing::TestParamInfo<TFileCase>& i) { return "Row" + std::to_string(i.index); });

// ---- a full disk ----

// A configuration just short of a page of the disk (4,090 bytes): the entry a scan adds needs a
// second page, which a file rewritten in place on a full disk does not get.
std::string PageLongConfig()
{
  const std::string tail = "[Scan105]\r\nScanWithADF=1\r\n";
  std::string text = kConfig;
  while (text.size() + 50 + tail.size() < 4090)
    text += "Comment" + std::to_string(text.size()) + "=" + std::string(30, 'x') + "\r\n";
  text += "Pad=" + std::string(4090 - tail.size() - text.size() - 6, 'p') + "\r\n";
  return text + tail;
}

TEST_F(FaultMatrix, AFullDisk)
{
  const std::string disk = FullDiskFolder();
  if (disk.empty())
    GTEST_SKIP() << "no small disk is mounted for this run (QRX_FULL_DISK; mounting a tmpfs needs root)";
  const std::string config = PageLongConfig();
  struct TRow {
    const char* Fault;
    TExport Export;
    bool ConfigOnDisk, ResultOnDisk;
    const char* ErrorWords;
    size_t Terminations;
  } rows[] = {
      {"a full disk: the result file", TExport::ScanInvoice, false, true, "result", 1},
      {"a full disk: simple.cfg", TExport::ScanInvoice, true, false, "simple.cfg", 0},
      {"SetScanMode, a full disk: simple.cfg", TExport::SetScanMode, true, false, "simple.cfg", 0},
  };
  const THostParams plain = FParams;
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Fault);
    FParams = plain;
    if (row.ConfigOnDisk)
      FParams.ConfigFolder = disk;
    if (row.ResultOnDisk)
      FParams.ResultFile = disk + "result.txt";
    std::unique_ptr<TFillDisk> full;
    auto arrange = [&] {
      full.reset();
      DeleteFileA((disk + "result.txt").c_str());
      TTestScan::WriteFileBytes(ConfigFile(), config);
      full = std::make_unique<TFillDisk>(disk);
    };
    std::string leaks;
    const TRun r = CallTwice(row.Export, arrange, nullptr, leaks);
    full.reset();
    const std::string configAfter = TTestScan::FileBytes(ConfigFile());
    bool resultExists = false;
    const std::string result = TTestScan::FileBytes(disk + "result.txt", &resultExists);
    const bool configWhole = configAfter == config || !row.ConfigOnDisk;
    const bool resultWhole = !row.ResultOnDisk || !resultExists;
    Expect("files", row.Fault, r, leaks, 0, row.ErrorWords, {}, row.Terminations,
           row.ConfigOnDisk ? "simple.cfg old and whole" : "no result file (none was left from before)",
           row.ConfigOnDisk ? std::string("simple.cfg ") + (configAfter == config ? "old and whole" : "CUT OR MIXED")
                            : std::string("result file ") + (resultExists ? "LEFT: " + std::to_string(result.size()) + " bytes" : "none"),
           configWhole && resultWhole);
    DeleteFileA((disk + "simple.cfg").c_str());
    DeleteFileA((disk + "result.txt").c_str());
  }
}

// The disk fills up in the host's handler of the first page. The result file is rewritten in the
// room the first page took, so the whole stack still arrives and the file holds the last page.
TEST_F(FaultMatrix, ADiskThatFillsUpDuringTheScan)
{
  const std::string disk = FullDiskFolder();
  if (disk.empty())
    GTEST_SKIP() << "no small disk is mounted for this run (QRX_FULL_DISK; mounting a tmpfs needs root)";
  FParams.ResultFile = disk + "result.txt";
  FScan.Scenario("page\nrepeat 3\nimage-path " + FScan.EngineFolder + "p.tif\ninfo1 第{n}页\nstatus 2\n");
  std::unique_ptr<TFillDisk> full;
  FHost.OnPage = [&] {
    if (!full)
      full = std::make_unique<TFillDisk>(disk);
  };
  auto arrange = [&] {
    full.reset();
    DeleteFileA(FParams.ResultFile.c_str());
  };
  std::string leaks;
  const TRun r = CallTwice(TExport::ScanInvoice, arrange, nullptr, leaks);
  FHost.OnPage = nullptr;
  const bool filled = full != nullptr;
  full.reset();
  const std::string result = TTestScan::FileBytes(FParams.ResultFile);
  const std::string third = "KVRNEWFP.T0003\r\n第3页\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n";
  Expect("files", "a disk that fills up after the first page: the result file", r, leaks, 0, nullptr,
         {{MB_ICONINFORMATION, kFinished}}, 1, "3 pages; the result file holds the third page, whole",
         std::to_string(r.Pages) + " pages; the result file " +
             (result == third ? "holds the third page, whole" : "IS NOT THE THIRD PAGE: " + result),
         filled && r.Pages == 3 && result == third);
  DeleteFileA(FParams.ResultFile.c_str());
}

}  // namespace
