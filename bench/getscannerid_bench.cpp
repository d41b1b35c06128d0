// GetScannerID through the export and LoadDriverFiles directly, over an ADO connection to a SQLite
// catalogue (tools/adodb-odbc), and GetScannerID against the bare ADO query that answers the same
// question (the same statement through a recordset of the host's own). Prints figures; not a test.
// From the repository root (the wine tests register adodb-odbc.dll; the regsvr32 line does it by hand):
//   cmake --build $QRX_BUILD/x86_64 --target getscannerid_bench
//   (cd $QRX_BUILD/x86_64/bin && wine-run regsvr32 /s adodb-odbc.dll)   # wine-run = cmake/wine-run
//   cmake/wine-run $QRX_BUILD/x86_64/bin/getscannerid_bench.exe
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "BareAdo.h"
#include "BenchFigures.h"
#include "HostStrings.h"
#include "TestDatabase.h"
#include "TestHost.h"
#include "data/UAdo.h"
#include "boundary/UDLLParams.h"
#include "scanning/UScannerRX.h"

namespace {

std::vector<TScannerRow> Catalogue(int Rows, int Selected)
{
  std::vector<TScannerRow> rows;
  for (int i = 0; i < Rows; ++i) {
    const std::string id = std::to_string(100 + i);
    rows.push_back({id, 100 + i % 150, "扫描仪" + id, "M" + id, i % 3 == 0 ? "G" : "", i == Selected ? 1 : 0,
                    "Drv" + id + "\\a.ds; Drv" + id + "\\b.ds;Drv" + id + "\\c.ds"});
  }
  return rows;
}

void BenchGetScannerID(const char* Label, int Rows, int Calls)
{
  TTestDatabase db(Catalogue(Rows, Rows / 2));
  TTestHost host;
  THostParams hp;
  hp.Connection = db.HostConnection();
  TScanDLLParams p = host.Record(hp);
  int found = 0;
  const double start = Seconds();
  for (int i = 0; i < Calls; ++i) {
    THostString id;
    found += host.GetScannerID(p, &id.S, false);
  }
  const double elapsed = Seconds() - start;
  std::printf("GetScannerID, %-22s %6d calls  %8.1f calls/s  %7.3f ms/call  (found %d)\n", Label, Calls,
              Calls / elapsed, 1000 * elapsed / Calls, found);
}


// The bare query and the export in turn, a few calls each, on one connection: both see the same
// machine, whatever else it is doing meanwhile (under wine every call involves the server process).
void BenchAgainstBareQuery(int Rows, int Blocks, int CallsPerBlock)
{
  TTestDatabase db(Catalogue(Rows, Rows / 2));
  TTestHost host;
  THostParams hp;
  hp.Connection = db.HostConnection();
  TScanDLLParams p = host.Record(hp);
  std::vector<double> bare, library;
  for (int block = 0; block < Blocks; ++block) {
    std::wstring id;
    double start = Seconds();
    for (int i = 0; i < CallsPerBlock; ++i)
      if (!BareSelectedScanner(db.Connection(), id))
        throw std::runtime_error("the bare query found no scanner");
    bare.push_back((Seconds() - start) / CallsPerBlock);
    start = Seconds();
    for (int i = 0; i < CallsPerBlock; ++i) {
      THostString found;
      if (!host.GetScannerID(p, &found.S, false))
        throw std::runtime_error("GetScannerID found no scanner");
    }
    library.push_back((Seconds() - start) / CallsPerBlock);
  }
  std::printf("GetScannerID against the bare ADO query (the same statement through a recordset of the host's), "
              "%d-row catalogue, %d blocks of %d calls each, in turn:\n", Rows, Blocks, CallsPerBlock);
  std::printf("          bare ms/call   GetScannerID ms/call   ratio\n");
  std::printf("  min     %12.3f   %20.3f   %5.2f\n", 1000 * Min(bare), 1000 * Min(library), Min(library) / Min(bare));
  std::printf("  median  %12.3f   %20.3f   %5.2f\n", 1000 * Median(bare), 1000 * Median(library),
              MedianRatio(library, bare));
  std::printf("  (ratio: of the minimums, and the median of the blocks' ratios)\n");
}

void BenchLoadDriverFiles(int Rows, int Calls)
{
  TTestDatabase db(Catalogue(Rows, 0));
  TScanDLLParams p = {};
  p.Connection = db.HostConnection();
  AssignDLLParams(p);
  TStringList list;
  size_t items = 0;
  const double start = Seconds();
  for (int i = 0; i < Calls; ++i) {
    TScannerRX::LoadDriverFiles(std::to_string(100 + (i * 7919) % Rows), list);
    items += list.size();
  }
  const double elapsed = Seconds() - start;
  ClearDLLParams();
  std::printf("LoadDriverFiles, %d-row catalogue, %d calls  %7.3f ms/call  (%zu paths)\n", Rows, Calls,
              1000 * elapsed / Calls, items);
}

}  // namespace

int main()
{
  try {
    BenchGetScannerID("10-row catalogue", 10, 2000);
    BenchGetScannerID("1,000-row catalogue", 1000, 1000);
    BenchLoadDriverFiles(1000, 1000);
    BenchAgainstBareQuery(10, 200, 10);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "getscannerid_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
