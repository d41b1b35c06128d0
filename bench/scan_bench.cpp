// ScanInvoice through the export with the engine simulator answering at once: the library's time
// per page against the two file operations no page can do without (copying the engine's image,
// writing the nine-line result file), and what a long scan leaves behind (memory, handles, windows,
// string blocks), with and without the busy window. Prints figures; not a test.
// From the repository root (the wine tests register adodb-odbc.dll; the regsvr32 line does it by hand):
//   cmake --build $QRX_BUILD/x86_64 --target scan_bench
//   (cd $QRX_BUILD/x86_64/bin && wine-run regsvr32 /s adodb-odbc.dll)   # wine-run = cmake/wine-run
//   cmake/wine-run $QRX_BUILD/x86_64/bin/scan_bench.exe [pages per round [rounds]]   (2000 5)
// The scan's folders are on tmpfs where the machine has it (Z:\dev\shm): on a disk every rewritten
// file is flushed at close, which costs more than everything measured here.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "BoxRecorder.h"
#include "HostStrings.h"
#include "ProcessUsage.h"
#include "TestDatabase.h"
#include "TestHost.h"
#include "TestScan.h"

namespace {

struct THandleCloser {
  void operator()(HANDLE H) const { CloseHandle(H); }
};


// The library's name for page N's image.
std::string ImageName(int Page)
{
  char name[32];
  std::snprintf(name, sizeof name, "T%04d.tif", Page);
  return name;
}

// What the process holds at one page of a scan.
struct TUsage : TProcessUsage {
  int Page = 0;
  double Time = 0, Cost = 0;  // when it was taken, and how long that took
};

TUsage Usage(int Page)
{
  TUsage u;
  u.Page = Page;
  u.Time = Seconds();
  static_cast<TProcessUsage&>(u) = ProcessUsage();
  return u;
}

// One host session: the scan's folders, a catalogue of scanners 401 (no paper ends the scan
// silently) and 601 (the busy window shows for every page) sharing one installed driver file, the
// host's window with its string blocks, and the recorder that answers the box at the end of a scan.
class TScanBench {
public:
  TScanBench()
      : FScan(GetFileAttributesA("Z:\\dev\\shm") != INVALID_FILE_ATTRIBUTES ? "Z:\\dev\\shm" : ""),
        FDriver(FScan.AddDriverFile("Quillon\\scanbench-" + std::to_string(GetCurrentProcessId()) + ".ds")),
        FDb({{"401", 150, "扫描仪", "M401", "G", 1, FDriver}, {"601", 150, "扫描仪", "M601", "G", 0, FDriver}}),
        FEngineImage(FScan.EngineFolder + "out\\temp1.tif"),
        FFixedImage(FScan.Root + "page.tif")
  {
    SetEnvironmentVariableA("QRX_ENGINE_LOG", "-");
    FHost.OnPage = [this] {
      const int page = FHost.PageMessages;
      if (page == 1)
        FFirstPage = Seconds();
      FLastPage = Seconds();
      if (std::find(FSamplePages.begin(), FSamplePages.end(), page) != FSamplePages.end()) {
        FSamples.push_back(Usage(page));
        FSamples.back().Cost = Seconds() - FSamples.back().Time;
        FSampling += FSamples.back().Cost;
      }
    };
    // The fixed image: one page drawn by the engine, as it writes them.
    FScan.Scenario("page\nimage-path " + FScan.EngineFolder + "out\\p.tif\n" + Fields() + "status 1\n");
    if (Scan("401") != -1 || !CopyFileA(FEngineImage.c_str(), FFixedImage.c_str(), FALSE))
      throw std::runtime_error("the engine drew no page");
    FResultBytes = TTestScan::FileBytes(FScan.ResultFile);
  }
  ~TScanBench() { ClearRegistryTwainSource(); }

  std::string Folder() const { return FScan.Root; }
  size_t ImageBytes() const { return TTestScan::FileBytes(FFixedImage).size(); }
  size_t Boxes() const { return FBoxes.Count(); }

  // Pages delivered at once, each with the fixed image, then the status End.
  void Pages(int Count, const std::string& End)
  {
    if (Count == 0)
      return FScan.Scenario(End + "\n");
    FScan.Scenario("page\nrepeat " + std::to_string(Count) + "\nimage-path " + FScan.EngineFolder + "out\\p.tif\n" +
                   "image file " + FFixedImage + "\n" + Fields() + End + "\n");
  }

  // ScanInvoice with ScannerID selected; its result. The page handler notes the time of the first
  // and the last page and takes the samples asked for.
  int Scan(const std::string& ScannerID, std::vector<int> SamplePages = {})
  {
    FDb.Exec("UPDATE B_Scanner SET FSelect = CASE WHEN FID = '" + ScannerID + "' THEN 1 ELSE 0 END");
    FSamplePages = std::move(SamplePages);
    FSamples.clear();
    FSampling = 0;
    FHost.PageMessages = 0;
    const TScanDLLParams p = FHost.Record(FScan.Params(FDb.HostConnection()));
    int result = -99;
    const THostException e = CallCatchingLibraryError([&] { result = FHost.ScanInvoice(p); });
    if (e.Raised)
      throw std::runtime_error("ScanInvoice raised: " + e.Message);
    return result;
  }
  int PageMessages() const { return FHost.PageMessages; }
  // From the first page message to the last, per page: one turn of the scan loop each. Without the
  // time the samples took.
  double SecondsPerPage() const { return (FLastPage - FFirstPage - FSampling) / (FHost.PageMessages - 1); }
  const std::vector<TUsage>& Samples() const { return FSamples; }

  // What every page needs at the least, in the same folders: the engine's image copied to the
  // page's image name, and the result bytes written as the result file.
  double BarePages(int Count) const
  {
    const std::string image = FScan.ImageFolder;
    const double start = Seconds();
    for (int page = 1; page <= Count; ++page) {
      if (!CopyFileA(FEngineImage.c_str(), (image + ImageName(page)).c_str(), FALSE))
        throw std::runtime_error("CopyFileA failed");
      HANDLE h = CreateFileA(FScan.ResultFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("CreateFileA failed");
      std::unique_ptr<void, THandleCloser> f(h);
      DWORD bytes = 0;
      if (!WriteFile(h, FResultBytes.data(), DWORD(FResultBytes.size()), &bytes, nullptr))
        throw std::runtime_error("WriteFile failed");
    }
    return (Seconds() - start) / Count;
  }

private:
  static std::string Fields()
  {
    return "info1 发票{n}\ninfo2 0532177{n}\ninfo4 北京市海淀区 中关村大街1号\ninfo8 乙公司\n";
  }

  TBoxRecorder FBoxes;
  // A plain host: the tests' watch on how the page message arrives (a hook on every message the
  // thread is sent) is not a host's cost.
  TTestHost FHost{"Quillon.RX.dll", TAppWindow::MainWindow, TPageWatch::None};
  TTestScan FScan;
  std::string FDriver;
  TTestDatabase FDb;
  std::string FEngineImage, FFixedImage, FResultBytes;
  std::vector<int> FSamplePages;
  std::vector<TUsage> FSamples;
  double FFirstPage = 0, FLastPage = 0, FSampling = 0;
};

// Returns the median time per page of the library.
double BenchTimePerPage(TScanBench& Bench, int Pages, int Rounds)
{
  std::printf("Time per page: %d pages a round, %d rounds, scanner 401, image %zu bytes, folders in %s\n", Pages,
              Rounds, Bench.ImageBytes(), Bench.Folder().c_str());
  Bench.Pages(Pages, "status 1");
  Bench.Scan("401");  // the first round creates the image files; the measured ones overwrite them
  std::vector<double> library, bare, calls, roundTrips;
  std::printf("  round   library ms/page   bare ms/page   ratio   whole call ms   round trip us\n");
  for (int round = 1; round <= Rounds; ++round) {
    const double start = Seconds();
    if (Bench.Scan("401") != -1 || Bench.PageMessages() != Pages)
      throw std::runtime_error("the scan did not deliver every page: " + std::to_string(Bench.PageMessages()));
    calls.push_back(Seconds() - start);
    library.push_back(Bench.SecondsPerPage());
    bare.push_back(Bench.BarePages(Pages));
    roundTrips.push_back(RoundTripSeconds());
    std::printf("  %5d   %15.3f   %12.3f   %5.2f   %13.1f   %13.1f\n", round, 1000 * library.back(),
                1000 * bare.back(), library.back() / bare.back(), 1000 * calls.back(), 1e6 * roundTrips.back());
  }
  std::printf("  min     %15.3f   %12.3f   %5.2f   %13.1f   %13.1f\n", 1000 * Min(library), 1000 * Min(bare),
              Min(library) / Min(bare), 1000 * Min(calls), 1e6 * Min(roundTrips));
  std::printf("  median  %15.3f   %12.3f   %5.2f   %13.1f   %13.1f\n", 1000 * Median(library), 1000 * Median(bare),
              MedianRatio(library, bare), 1000 * Median(calls), 1e6 * Median(roundTrips));
  std::printf("  (ratio: of the minimums, and the median of the rounds' ratios)\n");

  // What a call costs besides its pages: the catalogue, the driver check, the engine's start and end.
  Bench.Pages(0, "status 1");
  const size_t boxes = Bench.Boxes();
  std::vector<double> empty;
  for (int round = 0; round < Rounds; ++round) {
    const double start = Seconds();
    if (Bench.Scan("401") != -1 || Bench.PageMessages() != 0)
      throw std::runtime_error("the scan without pages delivered some");
    empty.push_back(Seconds() - start);
  }
  if (Bench.Boxes() != boxes)
    throw std::runtime_error("the scan without pages showed a box");
  std::printf("  a scan without pages: min %.1f ms, median %.1f ms\n\n", 1000 * Min(empty), 1000 * Median(empty));
  return Median(library);
}

// The samples of one scan and a last one after the call; beside each page its time per page since
// the sample before (the samples' own time left out).
void PrintUsage(const char* Title, const std::vector<TUsage>& Samples)
{
  std::printf("%s\n", Title);
  std::printf("    page   ms/page   private KB   handles   USER   GDI   windows   string blocks\n");
  for (size_t i = 0; i < Samples.size(); ++i) {
    const TUsage& u = Samples[i];
    char interval[16] = "";
    if (i > 0 && u.Page > 0) {
      const TUsage& before = Samples[i - 1];
      const double elapsed = u.Time - (before.Time + before.Cost);
      std::snprintf(interval, sizeof interval, "%.3f", 1000 * elapsed / (u.Page - before.Page));
    }
    std::printf("  %6s   %7s   %10zu   %7lu   %4lu   %3lu   %7d   %13d\n",
                u.Page ? std::to_string(u.Page).c_str() : "after", interval, size_t(u.PrivateBytes / 1024), u.Handles,
                u.UserObjects, u.GdiObjects, u.ThreadWindows, u.StringBlocks);
  }
  const TUsage& a = Samples.front();
  const TUsage& b = Samples[Samples.size() - 2];  // the last page, before the "after" row
  std::printf("  growth from page %d to %d: %+lld KB private, %+ld handles, %+ld USER, %+ld GDI, %+d windows, "
              "%+d string blocks\n",
              a.Page, b.Page, (long long)(b.PrivateBytes / 1024) - (long long)(a.PrivateBytes / 1024),
              long(b.Handles) - long(a.Handles), long(b.UserObjects) - long(a.UserObjects),
              long(b.GdiObjects) - long(a.GdiObjects), b.ThreadWindows - a.ThreadWindows,
              b.StringBlocks - a.StringBlocks);
}

// ExistingImages: the image files that earlier scans left in the folder.
void BenchLongScan(TScanBench& Bench, int ExistingImages)
{
  const int pages = 10000;
  std::vector<int> at = {100};
  for (int page = 1000; page <= pages; page += 1000)
    at.push_back(page);
  Bench.Pages(pages, "status 1");
  const double start = Seconds();
  Bench.Scan("401", at);
  const double elapsed = Seconds() - start;
  std::vector<TUsage> samples = Bench.Samples();
  samples.push_back(Usage(0));
  char title[160];
  std::snprintf(title, sizeof title, "A scan of %d pages, scanner 401 (%.1f s, %.3f ms/page):", Bench.PageMessages(),
                elapsed, 1000 * Bench.SecondsPerPage());
  PrintUsage(title, samples);
  // The rounds before left ExistingImages images to overwrite; the pages after them create new
  // files, and under wine each new name costs a look through the whole folder.
  std::printf("  (pages beyond %d are new image files in a folder of that many)\n\n", ExistingImages);
}

void BenchBusyWindow(TScanBench& Bench, double LibraryPerPage)
{
  const int pages = 300;
  std::vector<int> at = {10};
  for (int page = 50; page <= pages; page += 50)
    at.push_back(page);
  Bench.Pages(pages, "status 2");
  const size_t boxes = Bench.Boxes();
  Bench.Scan("601", at);
  std::vector<TUsage> samples = Bench.Samples();
  samples.push_back(Usage(0));
  const double perPage = Bench.SecondsPerPage();
  char title[120];
  std::snprintf(title, sizeof title, "A scan of %d pages, scanner 601 (the busy window shows for every page):",
                Bench.PageMessages());
  PrintUsage(title, samples);
  std::vector<double> pauses;
  for (int i = 0; i < 5; ++i) {
    const double start = Seconds();
    Sleep(200);
    pauses.push_back(Seconds() - start);
  }
  const double pause = Median(pauses);
  std::printf("  %.3f ms/page: %.3f ms beyond the busy window's pause (Sleep(200) took %.3f ms; a page of "
              "scanner 401: %.3f ms)\n",
              1000 * perPage, 1000 * (perPage - pause), 1000 * pause, 1000 * LibraryPerPage);
  std::printf("  boxes at the end of the scan: %zu\n", Bench.Boxes() - boxes);
}

}  // namespace

int main(int argc, char** argv)
{
  const int pages = argc > 1 ? std::max(2, std::atoi(argv[1])) : 2000;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  try {
    TScanBench bench;
    const double perPage = BenchTimePerPage(bench, pages, rounds);
    BenchLongScan(bench, pages);
    BenchBusyWindow(bench, perPage);
    const TUsage u = Usage(0);
    std::printf("\n");
    if (u.PrivateFromPagefile)
      std::printf("private KB: PagefileUsage (the commit charge), as PrivateUsage reads 0 here\n");
    if (u.HandlesProbed)
      std::printf("handles: counted with GetHandleInformation, as GetProcessHandleCount answers 0 here\n");
    if (u.UserObjects == 0 && u.GdiObjects == 0)
      std::printf("USER and GDI: GetGuiResources answers 0 here; \"windows\" counts this thread's top-level "
                  "windows instead\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "scan_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
