// Opening the select-scanner dialog over a 500-scanner catalogue (every driver file installed, the
// host's options allowing all scanners), through the export, against the database and file work
// the dialog cannot do without: the list query through the host's connection, every field of every
// row read, and a check of each row's driver file. The rows after those show where the dialog's time
// goes: it asks the catalogue once per row for that row's driver files, each time through the
// library's kit with a new ADO Recordset. Prints figures; not a test.
// From the repository root (the wine tests register adodb-odbc.dll; the regsvr32 line does it by hand):
//   cmake --build $QRX_BUILD/x86_64 --target selectscanner_bench
//   (cd $QRX_BUILD/x86_64/bin && wine-run regsvr32 /s adodb-odbc.dll)   # wine-run = cmake/wine-run
//   cmake/wine-run $QRX_BUILD/x86_64/bin/selectscanner_bench.exe [rounds]   (10)
#include <windows.h>
#include <wrl/client.h>

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
#include "TestDatabase.h"
#include "TestHost.h"
#include "TestScan.h"
#include "boundary/UDLLParams.h"
#include "catalogue/SelectScannerFormIds.h"
#include "catalogue/UScannerCatalogue.h"
#include "data/UAdo.h"
#include "data/UVirtualTable.h"
#include "data/UdsAdoDBKit.h"
#include "scanning/UScannerRX.h"

namespace {

using Microsoft::WRL::ComPtr;

const int kScanners = 500;


struct TBstrDeleter {
  void operator()(BSTR B) const { SysFreeString(B); }
};
using TBstr = std::unique_ptr<OLECHAR, TBstrDeleter>;

void Check(HRESULT Result, const char* What)
{
  if (FAILED(Result))
    throw std::runtime_error(std::string(What) + " failed");
}

// Runs Sql (GBK) through the host's connection and reads every field of every row, as a plain ADO
// client does (the Field objects taken once, their values read at each row); the rows' values of
// Column (GBK text), in order.
std::vector<std::string> QueryColumn(_Connection* Connection, const std::string& Sql, const wchar_t* Column)
{
  TBstr text(SysAllocString(Wide(Sql).c_str()));
  ComPtr<_Recordset> rs;
  Check(Connection->Execute(text.get(), nullptr, adCmdText, rs.GetAddressOf()), "Connection.Execute");
  ComPtr<Fields> fields;
  Check(rs->get_Fields(fields.GetAddressOf()), "Recordset.Fields");
  long count = 0;
  Check(fields->get_Count(&count), "Fields.Count");
  std::vector<ComPtr<Field>> row(static_cast<size_t>(count));
  long column = -1;
  for (long i = 0; i < count; ++i) {
    VARIANT index;
    index.vt = VT_I4;
    index.lVal = i;
    Check(fields->get_Item(index, row[size_t(i)].GetAddressOf()), "Fields.Item");
    BSTR opened = nullptr;
    Check(row[size_t(i)]->get_Name(&opened), "Field.Name");
    TBstr name(opened);
    if (lstrcmpiW(name.get(), Column) == 0)
      column = i;
  }
  std::vector<std::string> values;
  for (VARIANT_BOOL eof = VARIANT_FALSE; SUCCEEDED(rs->get_EOF(&eof)) && !eof; Check(rs->MoveNext(), "MoveNext")) {
    for (long i = 0; i < count; ++i) {
      VARIANT value;
      VariantInit(&value);
      Check(row[size_t(i)]->get_Value(&value), "Field.Value");
      if (i == column)
        values.push_back(value.vt == VT_BSTR ? Gbk(value.bstrVal) : std::string());
      VariantClear(&value);
    }
  }
  return values;
}

// The catalogue: kScanners rows with one driver file each (installed), scanner 350 selected.
std::vector<TScannerRow> Catalogue(TTestScan& Scan)
{
  std::vector<TScannerRow> rows;
  const char* const modes[] = {"G", "P", ""};
  for (int i = 0; i < kScanners; ++i) {
    const std::string id = std::to_string(100 + i);
    rows.push_back({id, 100 + i % 100, "扫描仪" + id, "M" + id, modes[i % 3], id == "350" ? 1 : 0,
                    Scan.AddDriverFile("QuillonBench\\drv" + id + ".ds")});
  }
  return rows;
}


// An empty dialog that ends at its Cancel.
INT_PTR CALLBACK CancelOnlyDialogProc(HWND Dialog, UINT Message, WPARAM W, LPARAM) noexcept
{
  if (Message == WM_COMMAND && LOWORD(W) == IDCANCEL)
    return EndDialog(Dialog, IDCANCEL);
  return Message == WM_INITDIALOG;
}

// A modal dialog with nothing in it, owned by Owner: what the recorder takes to report any dialog.
double EmptyDialogSeconds(TBoxRecorder& Boxes, HWND Owner)
{
  struct alignas(4) {
    DLGTEMPLATE Dialog;
    WORD Menu, Class, Title;
  } t = {};
  t.Dialog = {WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME, 0, 0, 10, 10, 200, 100};
  double up = 0;
  Boxes.OnDialog = [&](HWND Window) {
    if (GetWindow(Window, GW_OWNER) != Owner)
      return false;
    up = Seconds();
    TBoxRecorder::ClickButton(Window, IDCANCEL);
    return true;
  };
  const double start = Seconds();
  DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &t.Dialog, Owner, CancelOnlyDialogProc, 0);
  Boxes.OnDialog = nullptr;
  return up - start;
}

// A row of the table, with its ratios to the bare work's min and median.
void PrintRow(const char* Label, const std::vector<double>& Seconds, const std::vector<double>& Bare)
{
  std::printf("  %-52s %8.1f %8.1f   %6.2f %6.2f\n", Label, 1000 * Min(Seconds), 1000 * Median(Seconds),
              Min(Seconds) / Min(Bare), Median(Seconds) / Median(Bare));
}

}  // namespace

int main(int argc, char** argv)
{
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  try {
    TTestScan scan(GetFileAttributesA("Z:\\dev\\shm") != INVALID_FILE_ATTRIBUTES ? "Z:\\dev\\shm" : "");
    TTestDatabase db(Catalogue(scan));
    TTestHost host;
    TBoxRecorder boxes;
    THostParams hp = scan.Params(db.HostConnection());
    hp.OptionsXML = "<Options><ScnrList>*</ScnrList></Options>";
    const std::string twain = TTestScan::TwainFolder();
    const std::string listSql = TScannerCatalogue::ScannerListSQL("*");

    std::vector<double> dialog, call, empty, bare, perRowQueries, loadDriverFiles, kitList, createRecordsets, roundTrips;
    LRESULT listed = 0;
    for (int round = 0; round <= rounds; ++round) {  // round 0 warms up and is not counted
      // The dialog through the export, until it is up and filled; then Cancel.
      double up = 0;
      boxes.OnDialog = [&](HWND Window) {
        wchar_t className[16] = {};
        GetClassNameW(Window, className, 16);
        HWND list = GetDlgItem(Window, IDC_SELECT_SCANNER);
        if (lstrcmpW(className, L"#32770") != 0 || !list)
          return false;
        up = Seconds();
        listed = SendMessageW(list, CB_GETCOUNT, 0, 0);
        TBoxRecorder::ClickButton(Window, IDCANCEL);
        return true;
      };
      const TScanDLLParams p = host.Record(hp);
      THostString id, mode;
      const double start = Seconds();
      const THostException e = CallCatchingLibraryError([&] { host.SelectScanner(p, false, &id.S, &mode.S); });
      const double end = Seconds();
      boxes.OnDialog = nullptr;
      if (e.Raised || up == 0 || listed != kScanners || boxes.Count() != 0)
        throw std::runtime_error("the dialog did not list every scanner: " + e.Message);
      const double emptyDialog = EmptyDialogSeconds(boxes, host.MainWindow());

      // The list query and a check of each row's driver file.
      double t = Seconds();
      const std::vector<std::string> files = QueryColumn(db.Connection(), listSql, L"FConfigFile");
      int installed = 0;
      for (const std::string& file : files)
        installed += GetFileAttributesA((twain + file).c_str()) != INVALID_FILE_ATTRIBUTES;
      const double bareSeconds = Seconds() - t;
      if (installed != kScanners)
        throw std::runtime_error("not every driver file is installed");

      // The same, with the catalogue asked for each row's driver files, as the dialog does.
      t = Seconds();
      const std::vector<std::string> ids = QueryColumn(db.Connection(), listSql, L"FID");
      for (const std::string& scanner : ids) {
        const std::vector<std::string> own =
            QueryColumn(db.Connection(), TScannerCatalogue::DriverFilesSQL(scanner), L"FConfigFile");
        GetFileAttributesA((twain + own.at(0)).c_str());
      }
      const double perRowSeconds = Seconds() - t;

      // The library's own per-row step alone: LoadDriverFiles for every row.
      AssignDLLParams(p);
      t = Seconds();
      TStringList driverFiles;
      for (const std::string& scanner : ids)
        TScannerRX::LoadDriverFiles(scanner, driverFiles);
      const double loadSeconds = Seconds() - t;
      ClearDLLParams();

      // Where that time goes: the list query as the library opens it (through its kit into its
      // in-memory table), and the ADO Recordset each of its queries creates.
      t = Seconds();
      {
        TdsAdoDBKit kit;
        kit.AttachConnection(db.Connection());
        TVirtualTable table;
        if (kit.OpenQuery(table, listSql) != kScanners)
          throw std::runtime_error("the kit did not read every row");
      }
      const double kitListSeconds = Seconds() - t;
      t = Seconds();
      for (size_t i = 0; i < ids.size(); ++i) {
        ComPtr<IUnknown> recordset;
        Check(CoCreateInstance(CLSID_AdoRecordset, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&recordset)),
              "CoCreateInstance");
      }
      const double createSeconds = Seconds() - t;
      const double roundTripSeconds = RoundTripSeconds();

      if (round == 0)
        continue;
      dialog.push_back(up - start);
      call.push_back(end - start);
      empty.push_back(emptyDialog);
      bare.push_back(bareSeconds);
      perRowQueries.push_back(perRowSeconds);
      loadDriverFiles.push_back(loadSeconds);
      kitList.push_back(kitListSeconds);
      createRecordsets.push_back(createSeconds);
      roundTrips.push_back(roundTripSeconds);
    }

    std::printf("Select-scanner dialog, %d-scanner catalogue (all driver files installed, options \"*\"), %d rounds\n",
                kScanners, rounds);
    std::printf("  %-52s %8s %8s   %s\n", "", "min ms", "median", "x bare (min, median)");
    PrintRow("SelectScanner until the dialog is up and filled", dialog, bare);
    PrintRow("SelectScanner, the whole call (Cancel clicked)", call, bare);
    PrintRow("bare: list query + GetFileAttributesA per row", bare, bare);
    PrintRow("bare: list query + a driver-file query per row", perRowQueries, bare);
    PrintRow("the library's LoadDriverFiles, once per row", loadDriverFiles, bare);
    PrintRow("  CoCreateInstance of an ADO Recordset, once per row", createRecordsets, bare);
    PrintRow("the list query through the library's kit", kitList, bare);
    PrintRow("an empty modal dialog until the recorder reports it", empty, bare);
    std::printf("  (%d scanners listed by the dialog; a server round trip took %.1f us min, %.1f us median)\n",
                int(listed), 1e6 * Min(roundTrips), 1e6 * Median(roundTrips));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "selectscanner_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
