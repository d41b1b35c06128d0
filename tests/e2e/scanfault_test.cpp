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
  size_t Terminations;    // FpScannerTerminate calls: one whenever FpScannerInitialize was called
  size_t Boxes;           // message boxes shown before the fault
  ULONG_PTR FaultAddress; // where the engine's first fault writes (0x20: in FpScannerTerminate)
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

  // What a host calling the engine itself, in the library's order, sees of the engine's first fault
  // (a second one, in FpScannerTerminate, does not replace it).
  THostException EngineFaultWithoutTheLibrary()
  {
    HMODULE engine = LoadLibraryA("ScanReco.dll");
    auto function = [engine](const char* Name) { return reinterpret_cast<void*>(GetProcAddress(engine, Name)); };
    auto getVersion = reinterpret_cast<int(WINAPI*)(int, int)>(function("FpGetVersion"));
    auto initialize = reinterpret_cast<int(WINAPI*)()>(function("FpScannerInitialize"));
    auto setMode = reinterpret_cast<int(WINAPI*)(int)>(function("FpSetScannerMode"));
    auto getNewPage = reinterpret_cast<int(WINAPI*)(void*)>(function("FpGetNewPage"));
    auto terminate = reinterpret_cast<int(WINAPI*)(int)>(function("FpScannerTerminate"));
    THostException fault = CallCatchingLibraryError([&] { getVersion(1000, 150); });
    if (!fault.Raised) {
      fault = CallCatchingLibraryError([&] { initialize(); });
      if (!fault.Raised)
        fault = CallCatchingLibraryError([&] { setMode(3); });
      int status = 0;
      for (int request = 0; request < 10 && !fault.Raised && status != 2; ++request) {
        std::vector<unsigned char> record(738);
        fault = CallCatchingLibraryError([&] { status = getNewPage(record.data()); });
      }
      const THostException atEnd = CallCatchingLibraryError([&] { terminate(0); });
      if (!fault.Raised)
        fault = atEnd;
    }
    FreeLibrary(engine);
    FScan->ClearEngineLog();
    return fault;
  }

  TBoxRecorder FBoxes;
  TTestHost FHost{"Quillon.RX.dll", TAppWindow::MainWindow, TPageWatch::None};
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
    // Where the system reports the write as such, the arguments tell a fault in FpScannerTerminate
    // (0x20) from the others (0x10). (Under qemu-user the same write arrives as an illegal
    // instruction without arguments.)
    if (expected.Code == EXCEPTION_ACCESS_VIOLATION) {
      EXPECT_EQ(expected.Arguments, (std::vector<ULONG_PTR>{1, c.FaultAddress}));
    }
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
  EXPECT_EQ(FScan->EngineCalls("FpScannerTerminate").size(), c.Terminations) << "terminated once if initialised";
  EXPECT_EQ(BusyWindows(), 0) << "the busy window is gone";
  EXPECT_TRUE(IsWindowEnabled(FHost.ChildControls()[0]));
  EXPECT_TRUE(IsWindowEnabled(FHost.ChildControls()[1]));
  EXPECT_FALSE(IsWindowEnabled(disabledByHost)) << "a child the host had disabled stays so";
  EnableWindow(disabledByHost, TRUE);
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_ARROW)) << "the hourglass is gone";
  EXPECT_EQ(FBoxes.Count(), c.Boxes) << "the host reports the fault, not the library";

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
    // The engine writes to 0x10 in FpGetNewPage while the busy window is up.
    {"EngineFaultsUnderTheBusyWindow", "601", "{page}{page}fault\n", 0, {}, 2, 1, 0, 0x10},
    // ... and to 0x20 when it is terminated: the first fault is the one the host sees.
    {"EngineFaultsAgainWhenTerminated", "601", "{page}fault terminate\n", 0, {}, 1, 1, 0, 0x10},
    {"EngineFaultsAtTheFirstRequest", "201", "fault\n", 0, {}, 0, 1, 0, 0x10},
    // Each of the other four calls faulting: before the engine is initialised nothing is owed to it.
    {"FpGetVersionFaults", "601", "fault FpGetVersion\n{page}", 0, {}, 0, 0, 0, 0x10},
    {"FpScannerInitializeFaults", "601", "fault FpScannerInitialize\n{page}", 0, {}, 0, 1, 0, 0x10},
    {"FpSetScannerModeFaults", "601", "fault FpSetScannerMode\n{page}", 0, {}, 0, 1, 0, 0x10},
    // At the end of a stack: the box of the end was shown, then the engine faults being shut down.
    {"FpScannerTerminateFaults", "201", "fault FpScannerTerminate\n{page}status 2\n", 0, {}, 1, 1, 1, 0x20},
    // A Delphi host raises from its handler of the second page's message.
    {"HostRaisesFromItsPageHandler", "201", "{page}{page}{page}status 2\n", 2, {0x1234, 0x5678}, 2, 1, 0, 0},
    {"HostRaisesWhileScanner601Scans", "601", "{page}{page}status 2\n", 1, {0x4321, 0x8765}, 1, 1, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Raised, ScanFault, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<TFaultCase>& i) { return std::string(i.param.Name); });

}  // namespace
