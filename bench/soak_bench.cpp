// Soak: 10,000 calls of each export through the host, with what the process holds (private bytes,
// handles, USER and GDI objects, the thread's windows, borlndmm.dll's live blocks) taken before and
// after each run of calls. Prints a table (and "soak:" lines that scripts/report reads); not a test.
// The catalogue query asked through ADO without the library comes first, as the reference for what the
// ADO bridge and the ODBC driver keep. The 10,000-page scan is scan_bench's.
//   cmake/wine-run $QRX_BUILD/<tree>/bin/soak_bench.exe [calls [export]]   (10000, all)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>

#include "BareAdo.h"
#include "BenchFigures.h"
#include "BoxRecorder.h"
#include "MatrixReport.h"
#include "ProcessUsage.h"
#include "TestDatabase.h"
#include "TestHost.h"
#include "TestScan.h"

namespace {

void PrintRow(const char* Export, int Calls, double Seconds, const TProcessUsage& A, const TProcessUsage& B)
{
  std::printf("  %-14s %6d  %8.3f   %+8lld   %+5ld   %+4ld   %+4ld   %+4d   %+6d\n", Export, Calls,
              1000 * Seconds / Calls, (long long)(B.PrivateBytes / 1024) - (long long)(A.PrivateBytes / 1024),
              long(B.Handles) - long(A.Handles), long(B.UserObjects) - long(A.UserObjects),
              long(B.GdiObjects) - long(A.GdiObjects), B.ThreadWindows - A.ThreadWindows,
              B.StringBlocks - A.StringBlocks);
  std::printf("soak: %s\t%d\t%.3f\t%lld\t%ld\t%ld\t%ld\t%d\t%d\n", Export, Calls, 1000 * Seconds / Calls,
              (long long)(B.PrivateBytes / 1024) - (long long)(A.PrivateBytes / 1024),
              long(B.Handles) - long(A.Handles), long(B.UserObjects) - long(A.UserObjects),
              long(B.GdiObjects) - long(A.GdiObjects), B.ThreadWindows - A.ThreadWindows,
              B.StringBlocks - A.StringBlocks);
}

}  // namespace

int main(int argc, char** argv)
{
  const int calls = argc > 1 ? std::max(10, std::atoi(argv[1])) : 10000;
  try {
    TBoxRecorder boxes;
    TTestScan scan(GetFileAttributesA("Z:\\dev\\shm") != INVALID_FILE_ATTRIBUTES ? "Z:\\dev\\shm" : "");
    SetEnvironmentVariableA("QRX_ENGINE_LOG", "-");
    // The twain folder is the prefix's, shared with any other run: a name of this process's own.
    const std::string driverName = "Quillon\\soak-" + std::to_string(GetCurrentProcessId()) + ".ds";
    // Scanner 401 ends a scan at "no paper" without a box; one page each scan.
    TTestDatabase db({{"401", 150, "松下", "KV-S2025C", "G", 1, scan.AddDriverFile(driverName)}});
    scan.Scenario("page\nimage-path " + scan.EngineFolder + "p.tif\ninfo1 1\nstatus 1\n");
    TTestScan::WriteFileBytes(scan.ConfigFile(), "[Scan]\r\n[Scan401]\r\n[End]\r\n");
    TTestHost host;
    const TScanDLLParams p = host.Record(scan.Params(db.HostConnection()));
    THostString id("401"), mode("G");
    std::wstring bareId;
    const struct {
      const char* Name;
      std::function<void()> Call;
    } exports[] = {
        // The reference: what the bridge and the ODBC driver hold on to for the same question.
        {"bare ADO query", [&] { BareSelectedScanner(db.Connection(), bareId); }},
        {"GetScannerID", [&] { THostString out; host.GetScannerID(p, &out.S, false); }},
        {"SetScanMode", [&] { host.SetScanMode(p, id.S, mode.S); }},
        {"SelectScanner", [&] { THostString a, b; host.SelectScanner(p, true, &a.S, &b.S); }},
        {"ScanInvoice", [&] { host.ScanInvoice(p); }},
    };
    std::printf("Soak: %d calls of each export (milliseconds per call; growth from before the first call to after "
                "the last)\n", calls);
    std::printf("  export          calls   ms/call   private KB   handles   USER   GDI   windows   string blocks\n");
    for (const auto& e : exports) {
      if (argc > 2 && std::strcmp(argv[2], e.Name) != 0)
        continue;
      e.Call();  // the first call loads what every later one uses
      db.ClearLog();
      const TProcessUsage before = ProcessUsage();
      const double start = Seconds();
      for (int i = 0; i < calls; ++i) {
        e.Call();
        db.ClearLog();  // the ADO bridge keeps every statement for the tests
      }
      const double elapsed = Seconds() - start;
      PrintRow(e.Name, calls, elapsed, before, ProcessUsage());
      if (boxes.Count())
        throw std::runtime_error(std::string(e.Name) + " showed " + std::to_string(boxes.Count()) +
                                 " boxes, the first: " + Utf8(boxes.Boxes()[0].Text));
    }
    const TProcessUsage u = ProcessUsage();
    if (u.PrivateFromPagefile)
      std::printf("private KB: PagefileUsage (the commit charge), as PrivateUsage reads 0 here\n");
    if (u.HandlesProbed)
      std::printf("handles: counted with GetHandleInformation, as GetProcessHandleCount answers 0 here\n");
    if (u.UserObjects == 0 && u.GdiObjects == 0)
      std::printf("USER and GDI: GetGuiResources answers 0 here; \"windows\" counts this thread's top-level windows\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "soak_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
