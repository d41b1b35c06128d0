// The record as an unchanged host fills it: its own window-control and connection objects, or the
// raw window handle and ADO interface. Both forms give the same results; anything else is an error
// naming the slot, raised to the host, never a crash.
#include <windows.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BoxRecorder.h"
#include "TestDatabase.h"
#include "TestHost.h"
#include "TestScan.h"
#include "UAdo.h"

namespace {

TScannerRow Row(const std::string& Id, int Select) { return {Id, 150, "扫描仪", "M" + Id, "G", Select, "a.ds"}; }

struct TKind {
  const char* Name;
  bool ControlObject, ConnectionObject;
};
const TKind kKinds[] = {
    {"raw handle, raw interface", false, false},
    {"raw handle, host connection object", false, true},
    {"host control object, raw interface", true, false},
    {"host control object, host connection object", true, true},
};

class HostObjects : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(GetACP(), 936u); }

  TScanDLLParams Record(TTestDatabase& Db, const TKind& Kind)
  {
    THostParams hp;
    hp.ConfigFolder = "C:\\cfg\\";
    TScanDLLParams p = FHost.Record(hp);
    p.HostControl = Kind.ControlObject ? FHost.HostControlObject() : FHost.HostControl();
    p.Connection = Kind.ConnectionObject ? Db.HostConnectionObject() : Db.HostConnection();
    return p;
  }

  struct TAnswer {
    int Result = -1;
    std::string Id;
    THostException Error;
  };
  TAnswer GetScannerID(const TScanDLLParams& P, bool ShowPrompt)
  {
    TAnswer a;
    THostString id;
    a.Error = CallCatchingLibraryError([&] { a.Result = FHost.GetScannerID(P, &id.S, ShowPrompt); });
    a.Id = id.Text();
    return a;
  }

  TBoxRecorder FBoxes;
  TTestHost FHost;
};

TEST_F(HostObjects, EveryFormOfTheRecordGivesTheSameResults)
{
  TTestDatabase db({Row("105", 0), Row("201", 1)});
  for (const TKind& kind : kKinds) {
    SCOPED_TRACE(kind.Name);
    db.Exec("UPDATE B_Scanner SET FSelect = CASE WHEN FID = '201' THEN 1 ELSE 0 END");
    TScanDLLParams p = Record(db, kind);
    TAnswer selected = GetScannerID(p, true);
    EXPECT_FALSE(selected.Error.Raised) << selected.Error.Message;
    EXPECT_EQ(selected.Result, 1);
    EXPECT_EQ(selected.Id, "201");

    db.Exec("UPDATE B_Scanner SET FSelect = 0");
    FBoxes.Clear();
    TAnswer none = GetScannerID(p, true);
    EXPECT_FALSE(none.Error.Raised) << none.Error.Message;
    EXPECT_EQ(none.Result, 0);
    ASSERT_EQ(FBoxes.Count(), 1u);
    EXPECT_EQ(FBoxes.Last().Text, L"您尚未选择任何扫描仪，系统无法确定扫描仪的型号！");
    EXPECT_EQ(FBoxes.Last().Owner, FHost.MainWindow()) << "owned by the window behind the control";
  }
}

// A scan through every form: the pages reach the host's control, the boxes stand over its window.
TEST_F(HostObjects, EveryFormOfTheRecordScansAlike)
{
  TTestScan scan;
  TTestDatabase db({{"201", 150, "扫描仪", "M201", "G", 1, scan.AddDriverFile("Quillon\\hostobjects.ds")}});
  for (const TKind& kind : kKinds) {
    SCOPED_TRACE(kind.Name);
    scan.Scenario("page\nimage-path " + scan.EngineFolder + "p.tif\ninfo1 甲\npage\nimage-path " + scan.EngineFolder +
                  "p.tif\ninfo1 乙\nstatus 2\n");
    TScanDLLParams p = FHost.Record(scan.Params(nullptr));
    p.HostControl = kind.ControlObject ? FHost.HostControlObject() : FHost.HostControl();
    p.Connection = kind.ConnectionObject ? db.HostConnectionObject() : db.HostConnection();
    FHost.PageMessages = 0;
    FBoxes.Clear();
    int result = -99;
    THostException e = CallCatchingLibraryError([&] { result = FHost.ScanInvoice(p); });
    EXPECT_FALSE(e.Raised) << e.Message;
    EXPECT_EQ(result, 0);
    EXPECT_EQ(FHost.PageMessages, 2);
    EXPECT_EQ(TTestScan::FileBytes(scan.ResultFile).substr(0, 20), "KVRNEWFP.T0002\r\n乙\r\n");
    ASSERT_EQ(FBoxes.Count(), 1u);
    EXPECT_EQ(FBoxes.Last().Text, L"发票扫描结束！");
    EXPECT_EQ(FBoxes.Last().Owner, FHost.MainWindow());
  }
  ClearRegistryTwainSource();
}

TEST_F(HostObjects, TheHostsConnectionKeepsItsReferences)
{
  TTestDatabase db({Row("201", 1)});
  db.Connection()->AddRef();
  const ULONG before = db.Connection()->Release();
  for (const TKind& kind : kKinds) {
    TScanDLLParams p = Record(db, kind);
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(GetScannerID(p, false).Result, 1) << kind.Name;
  }
  db.Connection()->AddRef();
  EXPECT_EQ(db.Connection()->Release(), before);
}

// Memory that looks like nothing a host would pass: two pages, the second one unreadable.
class TEdgeOfReadableMemory {
public:
  TEdgeOfReadableMemory()
  {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    FPage = info.dwPageSize;
    FBase = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * FPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(FBase + FPage, FPage, PAGE_NOACCESS, &old);
  }
  ~TEdgeOfReadableMemory() { VirtualFree(FBase, 0, MEM_RELEASE); }
  // An object of Fields pointer-sized fields whose last one ends where the readable page does.
  void** ObjectEndingAtTheEdge(size_t Fields) { return reinterpret_cast<void**>(FBase + FPage) - Fields; }

private:
  BYTE* FBase = nullptr;
  size_t FPage = 0;
};

// A released block: its address is neither readable nor an object any more.
void* ReleasedBlock()
{
  void* p = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  VirtualFree(p, 0, MEM_RELEASE);
  return p;
}

TEST_F(HostObjects, AConnectionThatIsNeitherFormIsAnErrorNamingTheSlot)
{
  TTestDatabase db({Row("201", 1)});
  // Objects are as large as the part of a host object that is looked at, and more: what lies
  // beyond an object is some other object's, and may well hold a live connection.
  const size_t size = 512;
  static const void* const fakeClass[4] = {};
  std::vector<void*> zeros(size, nullptr);
  void** heapBlock = static_cast<void**>(HeapAlloc(GetProcessHeap(), 0, size * sizeof(void*)));
  for (size_t i = 0; i < size; ++i)
    heapBlock[i] = reinterpret_cast<void*>(static_cast<INT_PTR>(0x1000 * i + 1));
  HeapFree(GetProcessHeap(), 0, heapBlock);
  Microsoft::WRL::ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  Microsoft::WRL::ComPtr<_Recordset> recordset;
  ASSERT_EQ(CoCreateInstance(CLSID_AdoRecordset, nullptr, CLSCTX_INPROC_SERVER, __uuidof(_Recordset),
                             reinterpret_cast<void**>(recordset.GetAddressOf())),
            S_OK);
  TEdgeOfReadableMemory edge;
  void** atEdge = edge.ObjectEndingAtTheEdge(6);
  atEdge[0] = const_cast<void**>(fakeClass);
  atEdge[5] = stream.Get();
  // A host object that holds an ADO object other than a connection.
  std::vector<void*> holdsRecordset(size, nullptr);
  holdsRecordset[0] = const_cast<void**>(fakeClass);
  holdsRecordset[2] = recordset.Get();

  const struct {
    const char* Name;
    void* Value;
  } cases[] = {
      {"a pointer to zeros", zeros.data()},
      {"a non-ADO COM object", stream.Get()},
      {"an ADO recordset", recordset.Get()},
      {"a freed heap block", heapBlock},
      {"a released block", ReleasedBlock()},
      {"an object whose fields end at an unreadable page", atEdge},
      {"an object holding a recordset", holdsRecordset.data()},
      {"a small number", reinterpret_cast<void*>(static_cast<INT_PTR>(17))},
      {"a misaligned pointer", reinterpret_cast<BYTE*>(db.HostConnectionObject()) + 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TScanDLLParams p = Record(db, kKinds[0]);
    p.Connection = c.Value;
    FBoxes.Clear();
    TAnswer a = GetScannerID(p, false);
    ASSERT_TRUE(a.Error.Raised);
    EXPECT_NE(Wide(a.Error.Message).find(L"Connection"), std::wstring::npos) << a.Error.Message;
    EXPECT_EQ(FBoxes.Count(), 0u) << "nothing was asked of the database";
    EXPECT_TRUE(a.Id.empty());
  }
  // The host goes on: a good record works right after.
  EXPECT_EQ(GetScannerID(Record(db, kKinds[3]), false).Id, "201");
}

TEST_F(HostObjects, AHostControlThatIsNeitherFormIsAnErrorNamingTheSlot)
{
  TTestDatabase db({Row("201", 0)});
  std::vector<void*> zeros(16, nullptr);
  static const void* const fakeClass[4] = {};
  void* objectWithoutWindow[16] = {const_cast<void**>(fakeClass)};
  HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(gone);
  const struct {
    const char* Name;
    void* Value;
  } cases[] = {
      {"a pointer to zeros", zeros.data()},
      {"a control object whose window is not made", objectWithoutWindow},
      {"a destroyed window", gone},
      {"a stale handle", reinterpret_cast<void*>(static_cast<INT_PTR>(0xDEAD0))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TScanDLLParams p = Record(db, kKinds[0]);
    p.HostControl = c.Value;
    FBoxes.Clear();
    TAnswer a = GetScannerID(p, true);  // nothing selected: the prompt needs the host's window
    ASSERT_TRUE(a.Error.Raised);
    EXPECT_NE(Wide(a.Error.Message).find(L"HostControl"), std::wstring::npos) << a.Error.Message;
    EXPECT_EQ(FBoxes.Count(), 0u);
  }
}

// The search prefers the window that carries the object over an address that happens to be a
// window handle, and follows the control when the host moves its properties to a new window.

// Each property of a window as its atom and value (the system may hand an atom or its name).
BOOL CALLBACK CollectProperty(HWND, LPSTR Name, HANDLE Data, ULONG_PTR Found) noexcept
{
  const ATOM atom = IS_INTRESOURCE(Name) ? static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(Name)) : GlobalFindAtomA(Name);
  if (atom)
    reinterpret_cast<std::vector<std::pair<ATOM, HANDLE>>*>(Found)->push_back({atom, Data});
  return TRUE;
}

TEST_F(HostObjects, TheObjectIsFoundThroughTheWindowThatCarriesIt)
{
  TTestDatabase db({Row("201", 0)});
  TScanDLLParams p = Record(db, kKinds[2]);
  p.HostControl = FHost.MainWindowObject();
  GetScannerID(p, true);
  ASSERT_EQ(FBoxes.Count(), 1u);
  EXPECT_EQ(FBoxes.Last().Owner, FHost.MainWindow());

  // The VCL recreates a control's window: the properties move to the new one.
  HWND second = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  std::vector<std::pair<ATOM, HANDLE>> moved;
  EnumPropsExA(FHost.MainWindow(), CollectProperty, reinterpret_cast<LPARAM>(&moved));
  ASSERT_FALSE(moved.empty());
  for (const auto& m : moved) {
    RemovePropA(FHost.MainWindow(), MAKEINTATOM(m.first));
    SetPropA(second, MAKEINTATOM(m.first), m.second);
  }
  FBoxes.Clear();
  GetScannerID(p, true);
  ASSERT_EQ(FBoxes.Count(), 1u);
  EXPECT_EQ(FBoxes.Last().Owner, second);
  for (const auto& m : moved) {
    RemovePropA(second, MAKEINTATOM(m.first));
    SetPropA(FHost.MainWindow(), MAKEINTATOM(m.first), m.second);
  }
  DestroyWindow(second);
}

}  // namespace
