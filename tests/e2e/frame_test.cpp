// The boundary as a host sees it: string blocks held and released across calls and unloading, errors
// as structured exceptions, bad records survived.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "BoxRecorder.h"
#include "TestDatabase.h"
#include "TestHost.h"

namespace {

// Every call here is made the way a host's try/except makes it.
THostException Call(const std::function<void()>& call) { return CallCatchingLibraryError(call); }

// Answers the select-scanner dialog, as a user would who does not want to choose now.
void CancelEveryDialog(TBoxRecorder& Boxes)
{
  Boxes.OnDialog = [](HWND Window) {
    if (TBoxRecorder::IsMessageBox(Window))
      return false;
    TBoxRecorder::ClickButton(Window, IDCANCEL);
    return true;
  };
}

TEST(Frame, OperationErrorReachesHostAsStructuredException)
{
  const int before = THostStrings::LiveBlocks();
  {
    TTestHost host;
    THostParams hp;
    hp.ImageFolder = "C:\\images\\";
    TScanDLLParams p = host.Record(hp);
    THostString id("4O1"), mode("G");  // not a number: converting it raises
    THostException e = Call([&] { host.SetScanMode(p, id.S, mode.S); });
    EXPECT_TRUE(e.Raised);
    EXPECT_EQ(e.Code, QRX_EXCEPTION_CODE);
    EXPECT_EQ(e.Flags & EXCEPTION_NONCONTINUABLE, static_cast<DWORD>(EXCEPTION_NONCONTINUABLE));
    EXPECT_EQ(e.Message, "'4O1' is not a valid integer value");
    EXPECT_EQ(THostStrings::RefCount(p.ImageFolder), 2) << "DLLParams holds the record after the call";
  }
  EXPECT_EQ(THostStrings::LiveBlocks(), before);
}

TEST(Frame, EachCallWorksWithItsOwnRecordOnly)
{
  TTestDatabase first({{"201", 1, "甲", "A", "G", 1, "a.ds"}});
  TTestDatabase second({{"305", 1, "乙", "B", "P", 1, "b.ds"}});
  TTestHost host;
  THostString image1("C:\\first\\"), image2("D:\\second\\");
  TScanDLLParams p1 = host.Record(THostParams());
  p1.Connection = first.HostConnection();
  p1.ImageFolder = image1.S;
  TScanDLLParams p2 = p1;
  p2.Connection = second.HostConnection();
  p2.ImageFolder = image2.S;

  THostString id1, id2;
  ASSERT_EQ(host.GetScannerID(p1, &id1.S, false), 1);
  EXPECT_EQ(id1.Text(), "201");
  EXPECT_EQ(THostStrings::RefCount(image1.S), 2);

  ASSERT_EQ(host.GetScannerID(p2, &id2.S, false), 1);
  EXPECT_EQ(id2.Text(), "305") << "the second call reads only the second record";
  EXPECT_EQ(THostStrings::RefCount(image1.S), 1) << "the first record's strings released exactly once";
  EXPECT_EQ(THostStrings::RefCount(image2.S), 2);
  host.Unload();
  EXPECT_EQ(THostStrings::RefCount(image2.S), 1);
}

TEST(Frame, UnloadReleasesWhatDLLParamsHolds)
{
  TTestHost host;
  THostParams hp;
  hp.ConfigFolder = "C:\\cfg\\";
  hp.OptionsXML = "<Options/>";
  TScanDLLParams p = host.Record(hp);
  THostString id("x"), mode("G");
  Call([&] { host.SetScanMode(p, id.S, mode.S); });
  EXPECT_EQ(THostStrings::RefCount(p.ConfigFolder), 2);
  host.Unload();
  EXPECT_EQ(THostStrings::RefCount(p.ConfigFolder), 1);
  EXPECT_EQ(THostStrings::RefCount(p.OptionsXML), 1);
}

TEST(Frame, UnloadWithoutCallsReleasesNothing)
{
  const int before = THostStrings::LiveBlocks();
  TTestHost host;
  host.Unload();
  EXPECT_EQ(THostStrings::LiveBlocks(), before);
}

TEST(Frame, ConstantRecordComesOutByteIdentical)
{
  const char* texts[] = {"r24", "r28", "C:\\配置\\", "C:\\图像\\", "C:\\结果.txt", "<Options/>"};
  TScanDLLParams p = {};
  QRX_String* slots = &p.Reserved24;
  std::vector<std::string> before;
  for (int i = 0; i < 6; ++i) {
    slots[i] = THostStrings::Constant(texts[i]);
    before.emplace_back(slots[i] - 8, slots[i] + std::strlen(texts[i]) + 1);
  }
  QRX_String id = THostStrings::Constant("401"), mode = THostStrings::Constant("G");
  std::string idBefore(id - 8, id + 4);
  {
    TTestHost host;
    TBoxRecorder boxes;  // the scans without connection report the failed query
    p.AppHandle = host.MainWindow();
    p.HostControl = host.HostControl();
    for (int i = 0; i < 3; ++i) {
      Call([&] { host.ScanInvoice(p); });
      Call([&] { host.SetScanMode(p, id, mode); });
    }
  }  // unloads
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(std::string(slots[i] - 8, slots[i] + std::strlen(texts[i]) + 1), before[i]) << texts[i];
  EXPECT_EQ(std::string(id - 8, id + 4), idBefore);
}

TEST(Frame, InStringsAreReleasedAfterTheCall)
{
  TTestHost host;
  TScanDLLParams p = host.Record(THostParams());
  THostString id("401"), mode("P");
  Call([&] { host.SetScanMode(p, id.S, mode.S); });
  EXPECT_EQ(THostStrings::RefCount(id.S), 1);
  EXPECT_EQ(THostStrings::RefCount(mode.S), 1);
}

TEST(Frame, OutStringsAreClearedWithoutReleasingWhatTheyHeld)
{
  TTestHost host;
  TBoxRecorder boxes;
  CancelEveryDialog(boxes);
  TScanDLLParams p = host.Record(THostParams());
  THostString stale("stale");
  QRX_String id = stale.S, mode = stale.S;
  Call([&] { host.SelectScanner(p, false, &id, &mode); });
  EXPECT_EQ(id, nullptr);
  EXPECT_EQ(mode, nullptr);
  EXPECT_EQ(THostStrings::RefCount(stale.S), 1) << "the library does not release what the variable held";
}

// Records no host sends on purpose but a host may: the library must answer with an error or a
// result, never crash.
struct TBadRecord {
  const char* Name;
  std::function<void(TScanDLLParams&, TTestHost&)> Spoil;
};

TEST(Frame, BadRecordsAreSurvived)
{
  const std::string longPath = "C:\\" + std::string(70000, 'x') + "\\";
  const std::string gbkPath = "C:\\发票\\扫描图像\\";
  const TBadRecord cases[] = {
      {"all strings empty", [](TScanDLLParams& p, TTestHost&) { std::fill_n(&p.Reserved24, 6, nullptr); }},
      {"no windows", [](TScanDLLParams& p, TTestHost&) { p.AppHandle = nullptr; p.HostControl = nullptr; }},
      {"stale window handles", [](TScanDLLParams& p, TTestHost&) { p.AppHandle = reinterpret_cast<HWND>(0xDEAD0); p.HostControl = p.AppHandle; }},
      {"over-long paths", [&](TScanDLLParams& p, TTestHost&) { p.ConfigFolder = p.ImageFolder = p.ResultFile = THostStrings::Constant(longPath); }},
      {"non-ASCII paths", [&](TScanDLLParams& p, TTestHost&) { p.ConfigFolder = p.ImageFolder = p.ResultFile = THostStrings::Constant(gbkPath); }},
      {"garbage reserved slots", [](TScanDLLParams& p, TTestHost&) { p.Reserved8 = p.Reserved12 = p.Reserved20 = ~UINT_PTR(0); }},
  };
  const int before = THostStrings::LiveBlocks();
  for (const TBadRecord& c : cases) {
    SCOPED_TRACE(c.Name);
    TTestHost host;
    TBoxRecorder boxes;  // a record without connection makes GetScannerID report the failed query
    CancelEveryDialog(boxes);
    THostParams hp;
    hp.ConfigFolder = "C:\\cfg\\";
    TScanDLLParams p = host.Record(hp);
    c.Spoil(p, host);
    THostString id("401"), mode("G");
    QRX_String outId = nullptr, outMode = nullptr;
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { host.ScanInvoice(p); }, [&] { host.SetScanMode(p, id.S, mode.S); },
             [&] { host.SelectScanner(p, true, &outId, &outMode); },
             [&] { EXPECT_EQ(host.GetScannerID(p, &outId, true), 0); }}) {
      THostException e = Call(call);
      if (e.Raised) {
        EXPECT_FALSE(e.Message.empty());
      }
    }
    THostStrings::Release(outId);
    THostStrings::Release(outMode);
  }
  EXPECT_EQ(THostStrings::LiveBlocks(), before);
}

TEST(Frame, RecordWithoutConnectionIsReportedNotCrashedOn)
{
  ASSERT_EQ(GetACP(), 936u);
  TTestHost host;
  TBoxRecorder boxes;
  TScanDLLParams p = host.Record(THostParams());  // Connection 0
  QRX_String id = nullptr;
  int selected = -1;
  THostException e = Call([&] { selected = host.GetScannerID(p, &id, true); });
  EXPECT_FALSE(e.Raised) << e.Message;
  EXPECT_EQ(selected, 0);
  EXPECT_EQ(id, nullptr);
  ASSERT_EQ(boxes.Count(), 2u) << "the failed query, then the prompt";
  EXPECT_EQ(boxes.Boxes()[0].Icon, UINT(MB_ICONERROR));
  EXPECT_FALSE(boxes.Boxes()[0].Text.empty());
  EXPECT_EQ(boxes.Boxes()[1].Text, L"您尚未选择任何扫描仪，系统无法确定扫描仪的型号！");
}

TEST(Frame, ThousandCallsOfEachExportLeaveNoBlockBehind)
{
  TTestDatabase db({{"401", 150, "松下", "KV-S2025C", "G", 1, "a.ds"}});
  const int before = THostStrings::LiveBlocks();
  {
    TTestHost host;
    TBoxRecorder boxes;  // each scan ends at the driver check, whose file a.ds is not installed
    THostParams hp;
    hp.Connection = db.HostConnection();
    hp.ConfigFolder = "C:\\cfg\\";
    hp.ImageFolder = "C:\\img\\";
    hp.ResultFile = "C:\\img\\result.txt";
    hp.OptionsXML = "<Options><ScnrList>201;205</ScnrList></Options>";
    for (int i = 0; i < 1000; ++i) {
      TScanDLLParams p = host.Record(hp);  // fresh blocks every call, as a host building its record does
      THostString id("401"), mode("G");
      QRX_String outId = nullptr, outMode = nullptr;
      Call([&] { host.ScanInvoice(p); });
      Call([&] { host.SetScanMode(p, id.S, mode.S); });
      Call([&] { host.SelectScanner(p, true, &outId, &outMode); });
      THostStrings::Release(outId);
      THostStrings::Release(outMode);
      QRX_String selected = nullptr;
      ASSERT_EQ(host.GetScannerID(p, &selected, true), 1);
      THostStrings::Release(selected);
    }
  }
  EXPECT_EQ(THostStrings::LiveBlocks(), before);
}

}  // namespace
