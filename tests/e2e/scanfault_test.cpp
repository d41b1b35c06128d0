// A structured exception raised where the library calls out during a scan: an access violation
// inside the engine, or a Delphi host's exception from its handler of the page message. The library
// cleans up as for any error (the engine terminated once, the busy window gone, the host's controls
// as they were, the cursor back) and the host then catches the very exception that was raised:
// same code, flags and arguments.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "BoxRecorder.h"
#include "TestDatabase.h"
#include "TestHost.h"
#include "TestScan.h"

namespace {

const DWORD kDelphiException = 0x0EEDFADE;  // what a Delphi host's raise statement raises

BOOL CALLBACK CountClipWindow(HWND Window, LPARAM Count) noexcept
{
  if (FindWindowExW(Window, nullptr, L"SysAnimate32", nullptr))
    ++*reinterpret_cast<int*>(Count);
  return TRUE;
}

// The windows of this thread that show a clip: the busy window, while it exists.
int BusyWindows()
{
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountClipWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

struct TFaultCase {
  const char* Name;
  const char* ScannerID;  // 601 shows the busy window around every page request
  const char* Scenario;   // {page} stands for a delivered page
  int HostRaisesAtPage;   // the page whose message the host's handler raises at; 0: the engine faults
  std::vector<ULONG_PTR> Arguments;  // of the host's exception
  size_t PagesBefore;     // page messages the host got before the fault
};

class ScanFault : public ::testing::TestWithParam<TFaultCase> {
protected:
  void SetUp() override
  {
    ASSERT_EQ(GetACP(), 936u);
    ClearRegistryTwainSource();
    FScan = std::make_unique<TTestScan>();
  }
  void TearDown() override
  {
    EXPECT_TRUE(FScan->EngineCalls("protocol:").empty()) << FScan->EngineCalls("protocol:")[0];
    ClearRegistryTwainSource();
  }

  std::string Scenario(const std::string& Text) const
  {
    const std::string page = "page\nimage-path " + FScan->EngineFolder + "p.tif\ninfo1 {n}\n";
    std::string s = Text;
    for (size_t at; (at = s.find("{page}")) != std::string::npos;)
      s.replace(at, 6, page);
    return s;
  }

  // What a host calling the engine itself sees of the engine's fault: the scenario's requests until
  // one raises (the first exception counts, also when terminating faults again).
  THostException EngineFaultWithoutTheLibrary()
  {
    HMODULE engine = LoadLibraryA("ScanReco.dll");
    using TNoArgument = int(WINAPI*)();
    using TIntArgument = int(WINAPI*)(int);
    using TRecordArgument = int(WINAPI*)(void*);
    auto initialize = reinterpret_cast<TNoArgument>(reinterpret_cast<void*>(GetProcAddress(engine, "FpScannerInitialize")));
    auto getNewPage = reinterpret_cast<TRecordArgument>(reinterpret_cast<void*>(GetProcAddress(engine, "FpGetNewPage")));
    auto terminate = reinterpret_cast<TIntArgument>(reinterpret_cast<void*>(GetProcAddress(engine, "FpScannerTerminate")));
    THostException fault;
    EXPECT_EQ(initialize(), 0);
    for (int request = 0; request < 10 && !fault.Raised; ++request) {
      std::vector<unsigned char> record(738);
      fault = CallCatchingLibraryError([&] { getNewPage(record.data()); });
    }
    CallCatchingLibraryError([&] { terminate(0); });
    FreeLibrary(engine);
    FScan->ClearEngineLog();
    return fault;
  }

  TBoxRecorder FBoxes;
  TTestHost FHost;
  std::unique_ptr<TTestScan> FScan;
};

TEST_P(ScanFault, TheHostCatchesWhatWasRaisedAfterTheLibraryCleanedUp)
{
  const TFaultCase& c = GetParam();
  TTestDatabase db({{c.ScannerID, 150, "扫描仪", "M", "G", 1, FScan->AddDriverFile("Quillon\\fault.ds")}});
  FScan->Scenario(Scenario(c.Scenario));
  THostException expected;
  expected.Raised = true;
  expected.Code = kDelphiException;
  expected.Arguments = c.Arguments;
  if (c.HostRaisesAtPage == 0) {
    expected = EngineFaultWithoutTheLibrary();
    ASSERT_TRUE(expected.Raised) << "the engine's fault as the host sees it without the library";
    // Where the system reports the write as such, the arguments tell the first fault (0x10) from the
    // one in FpScannerTerminate (0x20). (Under qemu-user the same write arrives as an illegal
    // instruction without arguments.)
    if (expected.Code == EXCEPTION_ACCESS_VIOLATION)
      EXPECT_EQ(expected.Arguments, (std::vector<ULONG_PTR>{1, 0x10}));
  }
  HWND disabledByHost = FHost.ChildControls()[2];
  EnableWindow(disabledByHost, FALSE);
  FHost.OnPage = [&] {
    if (FHost.PageMessages == c.HostRaisesAtPage) {
      const ULONG_PTR args[2] = {c.Arguments[0], c.Arguments[1]};
      RaiseException(kDelphiException, 0, 2, args);  // continuable, as Delphi raises
    }
  };
  TScanDLLParams p = FHost.Record(FScan->Params(db.HostConnection()));
  int result = -99;
  const THostException e = CallCatchingLibraryError([&] { result = FHost.ScanInvoice(p); });

  ASSERT_TRUE(e.Raised);
  EXPECT_EQ(e.Code, expected.Code) << std::hex << e.Code << " " << expected.Code;
  EXPECT_EQ(e.Flags, expected.Flags);
  EXPECT_EQ(e.Arguments, expected.Arguments);
  EXPECT_EQ(result, -99) << "no result comes back with an exception";
  EXPECT_EQ(static_cast<size_t>(FHost.PageMessages), c.PagesBefore);
  EXPECT_EQ(FScan->EngineCalls("FpScannerTerminate").size(), 1u) << "terminated exactly once";
  EXPECT_EQ(BusyWindows(), 0) << "the busy window is gone";
  EXPECT_TRUE(IsWindowEnabled(FHost.ChildControls()[0]));
  EXPECT_TRUE(IsWindowEnabled(FHost.ChildControls()[1]));
  EXPECT_FALSE(IsWindowEnabled(disabledByHost)) << "a child the host had disabled stays so";
  EnableWindow(disabledByHost, TRUE);
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_ARROW)) << "the hourglass is gone";
  EXPECT_EQ(FBoxes.Count(), 0u) << "the host reports it, not the library";

  // The library and the engine are fit for the next scan.
  FScan->ClearEngineLog();
  FScan->Scenario(Scenario("{page}status 2\n"));
  FHost.OnPage = nullptr;
  int next = -99;
  const THostException again = CallCatchingLibraryError([&] { next = FHost.ScanInvoice(p); });
  EXPECT_FALSE(again.Raised) << std::hex << again.Code;
  EXPECT_EQ(next, 0);
  EXPECT_EQ(FScan->EngineCalls("FpScannerTerminate").size(), 1u);
}

const TFaultCase kFaults[] = {
    // The engine writes to 0x10 while the busy window is up.
    {"EngineFaultsUnderTheBusyWindow", "601", "{page}{page}fault\n", 0, {}, 2},
    // ... and to 0x20 when it is terminated: the first fault is the one the host sees.
    {"EngineFaultsAgainWhenTerminated", "601", "{page}fault terminate\n", 0, {}, 1},
    {"EngineFaultsAtOnce", "201", "fault\n", 0, {}, 0},
    // A Delphi host raises from its handler of the second page's message.
    {"HostRaisesFromItsPageHandler", "201", "{page}{page}{page}status 2\n", 2, {0x1234, 0x5678}, 2},
    {"HostRaisesWhileScanner601Scans", "601", "{page}{page}status 2\n", 1, {0x4321, 0x8765}, 1},
};

INSTANTIATE_TEST_SUITE_P(Raised, ScanFault, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<TFaultCase>& i) { return std::string(i.param.Name); });

}  // namespace
