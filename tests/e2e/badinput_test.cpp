// Bad input through the exports: a record with junk in every slot at once, strings of every awkward
// length, GBK that is not valid, options documents that are not what they should be (not XML, a
// DOCTYPE, an entity-expansion bomb, 100,000 elements), a catalogue of 10,000 rows, NULL in every
// column, identifiers with quotes and semicolons. Each gives a clear error or the specified result,
// loses nothing and crashes nothing; each goes to the reliability report.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BoxRecorder.h"
#include "DialogDriver.h"
#include "MatrixReport.h"
#include "ProcessUsage.h"
#include "SelectDialog.h"
#include "TestDatabase.h"
#include "TestHost.h"
#include "TestScan.h"

namespace {

double Seconds()
{
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

class BadInput : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_EQ(GetACP(), 936u);
    ClearRegistryTwainSource();
    FDriver = FScan.AddDriverFile("Quillon\\badinput.ds");
    FScan.Scenario("page\nimage-path " + FScan.EngineFolder + "p.tif\ninfo1 1\nstatus 2\n");
    TTestScan::WriteFileBytes(FScan.ConfigFile(), "[Scan]\r\n[Scan201]\r\nScanWithADF=0\r\n[End]\r\n");
  }
  void TearDown() override { ClearRegistryTwainSource(); }

  // A call of each export with Record; what the host got from each, in the report's words. Every
  // export must end with a result or the library's own error: nothing else reaches the host.
  std::string CallEach(const TScanDLLParams& Record, const std::string& Row, const std::string& Expected,
                       const std::function<bool(int Export, const THostException&, int)>& Fine)
  {
    std::string observed;
    bool ok = true;
    const char* names[] = {"ScanInvoice", "SetScanMode", "SelectScanner", "GetScannerID"};
    for (int e = 0; e < 4; ++e) {
      THostString id("201"), mode("G");
      QRX_String outId = nullptr, outMode = nullptr;
      int result = -99;
      FBoxes.OnDialog = [](HWND w) {
        if (TBoxRecorder::IsMessageBox(w))
          return false;
        TBoxRecorder::ClickButton(w, IDCANCEL);
        return true;
      };
      const THostException x = CallCatchingLibraryError([&] {
        switch (e) {
          case 0: result = FHost.ScanInvoice(Record); break;
          case 1: FHost.SetScanMode(Record, id.S, mode.S); result = 0; break;
          case 2: result = FHost.SelectScanner(Record, false, &outId, &outMode); break;
          case 3: result = FHost.GetScannerID(Record, &outId, false); break;
        }
      });
      FBoxes.OnDialog = nullptr;
      THostStrings::Release(outId);
      THostStrings::Release(outMode);
      const bool known = !x.Raised || (x.Code == QRX_EXCEPTION_CODE && !x.Message.empty());
      const bool fine = known && Fine(e, x, result);
      EXPECT_TRUE(fine) << Row << ", " << names[e] << ": " << DescribeOutcome(x.Raised, x, result);
      ok = ok && fine;
      std::string outcome = DescribeOutcome(x.Raised, x, result);
      if (outcome.size() > 90)
        outcome = outcome.substr(0, 90) + "...";
      observed += std::string(e ? "; " : "") + names[e] + " " + outcome;
    }
    ReportMatrixRow("bad input", Row, Expected, observed, ok);
    return observed;
  }

  TBoxRecorder FBoxes;
  TTestHost FHost;
  TTestScan FScan;
  std::string FDriver;
};

// Every slot at once: windows and connection that are none, reserved slots all ones, strings that
// are no paths, invalid GBK, 70,000 bytes.
TEST_F(BadInput, JunkInEverySlotAtOnce)
{
  const int blocks = THostStrings::LiveBlocks();
  THostParams hp;
  hp.Reserved24 = std::string(70000, '\xFF');
  hp.Reserved28 = "\x81";  // a lead byte with nothing after it
  hp.ConfigFolder = "\x81\x7F<>|*?\\";
  hp.ImageFolder = std::string(70000, 'i');
  hp.ResultFile = "C:\\nowhere\\\x80\xFF.txt";
  hp.OptionsXML = "\xFE\xFF\x00<";
  hp.Reserved8 = hp.Reserved12 = hp.Reserved20 = ~UINT_PTR(0);
  int junk[64];
  std::fill(std::begin(junk), std::end(junk), 0x5A5A5A5A);
  hp.Connection = junk;
  TScanDLLParams p = FHost.Record(hp);
  p.AppHandle = reinterpret_cast<HWND>(UINT_PTR(0xDEAD0));
  p.HostControl = junk + 8;
  CallEach(p, "junk in every slot at once",
           "the library's error naming HostControl or Connection; SetScanMode fails on the configuration "
           "folder; the select-scanner dialog shows the error and opens empty",
           [](int Export, const THostException& X, int Result) {
             if (Export == 1)  // reads neither slot
               return X.Raised;
             if (Export == 2)  // the dialog's opening shows what failed; the user can only cancel
               return !X.Raised && Result == 0;
             return X.Raised && (X.Message.find("HostControl") != std::string::npos ||
                                 X.Message.find("Connection") != std::string::npos);
           });
  EXPECT_EQ(FBoxes.Count(), 1u) << DescribeBoxes(FBoxes.Boxes());
  FHost.Unload();
  FHost.Record(THostParams());  // the host lets go of the record's strings
  EXPECT_EQ(THostStrings::LiveBlocks(), blocks) << "every block of the record given back";
}

// Paths of 0, 1, 259, 260, 261 and 70,000 bytes in each path slot.
TEST_F(BadInput, PathsOfEveryAwkwardLength)
{
  TTestDatabase db({{"201", 150, "扫描仪", "M", "G", 1, FDriver}});
  for (size_t length : {0u, 1u, 259u, 260u, 261u, 70000u}) {
    for (int slot = 0; slot < 3; ++slot) {
      const std::string config = TTestScan::FileBytes(FScan.ConfigFile());
      THostParams hp = FScan.Params(db.HostConnection());
      std::string path = length ? "C:\\" : "";
      while (path.size() + 1 < length)
        path += static_cast<char>('a' + path.size() % 26);
      if (length > 1)
        path += '\\';
      path = path.substr(0, length);
      std::string* slots[] = {&hp.ConfigFolder, &hp.ImageFolder, &hp.ResultFile};
      const char* names[] = {"ConfigFolder", "ImageFolder", "ResultFile"};
      *slots[slot] = path;
      const std::string row = std::string(names[slot]) + " of " + std::to_string(length) + " bytes";
      CallEach(FHost.Record(hp), row, "a result, or the library's error naming the file",
               [](int, const THostException&, int Result) { return Result >= -99 && Result <= 2; });
      if (slot == 0) {
        EXPECT_EQ(TTestScan::FileBytes(FScan.ConfigFile()), config) << row << ": the real simple.cfg untouched";
      }
      // An empty or one-letter folder is a prefix of names in the current folder, as the host gave it.
      for (const char* stray : {"simple.cfg", "Csimple.cfg", "T0001.tif", "CT0001.tif", "C"})
        DeleteFileA(stray);
    }
  }
}

// The scanner id that SetScanMode converts: invalid GBK and other junk is a conversion error before
// anything is written.
TEST_F(BadInput, ScannerIdsThatAreNoNumber)
{
  const std::string config = TTestScan::FileBytes(FScan.ConfigFile());
  for (const char* id : {"20\x81", "\x81", "\x40\x81\x40", "2O1", "", "99999999999999999999", "0x201"}) {
    TScanDLLParams p = FHost.Record(FScan.Params(nullptr));
    THostString sid(id), mode("G");
    const THostException x = CallCatchingLibraryError([&] { FHost.SetScanMode(p, sid.S, mode.S); });
    const bool ok = x.Raised && x.Code == QRX_EXCEPTION_CODE && !x.Message.empty() &&
                    TTestScan::FileBytes(FScan.ConfigFile()) == config;
    EXPECT_TRUE(ok) << "id \"" << id << "\": " << x.Message;
    ReportMatrixRow("bad input", std::string("SetScanMode with the scanner id \"") + Utf8OfGbk(id) + "\"",
                    "the library's conversion error; simple.cfg untouched",
                    DescribeOutcome(x.Raised, x, 0) + (ok ? "; simple.cfg untouched" : ""), ok);
  }
}

// Options documents that are not what they should be, in the select-scanner dialog: each gives the
// dialog a clear error (the dialog still opens) or offers what the document says, in bounded time.
TEST_F(BadInput, OptionsDocuments)
{
  TTestDatabase db({{"201", 150, "扫描仪", "M", "G", 1, FDriver}});
  std::string hundredThousand = "<Root><Options><ScnrList>*</ScnrList>";
  for (int i = 0; i < 100000; ++i)
    hundredThousand += "<Item/>";
  hundredThousand += "</Options></Root>";
  const std::string bomb =
      "<?xml version=\"1.0\"?><!DOCTYPE Root [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
      "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
      "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
      "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\"><!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">"
      "<!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">]><Root><Options><ScnrList>*&i;</ScnrList></Options></Root>";
  struct TCase {
    const char* Row;
    std::string Text;
    bool Offers;               // the dialog offers scanner 201
    const wchar_t* ErrorWords;  // the error box the dialog shows, or nullptr
  } cases[] = {
      {"options that are not XML", "Quillon options: *", false, L""},
      {"options with a DOCTYPE", "<!DOCTYPE Root><Root><Options><ScnrList>*</ScnrList></Options></Root>", true, nullptr},
      {"an entity-expansion bomb (10^9 bytes from 1 KB)", bomb, false, L"entities"},
      {"options with 100,000 elements", hundredThousand, true, nullptr},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Row);
    THostParams hp = FScan.Params(db.HostConnection());
    hp.OptionsXML = c.Text;
    const TScanDLLParams p = FHost.Record(hp);
    std::vector<std::wstring> items;
    FBoxes.Clear();
    FBoxes.OnDialog = [&](HWND w) {
      if (TBoxRecorder::IsMessageBox(w) || GetWindow(w, GW_OWNER) != FHost.AppHandle())
        return false;
      TSelectDialog d(w);
      items = d.Items();
      Click(d.Cancel);
      return true;
    };
    const TProcessUsage before = ProcessUsage();
    const double start = Seconds();
    QRX_String id = nullptr, mode = nullptr;
    int result = -99;
    const THostException x = CallCatchingLibraryError([&] { result = FHost.SelectScanner(p, false, &id, &mode); });
    const double seconds = Seconds() - start;
    const TProcessUsage after = ProcessUsage();
    FBoxes.OnDialog = nullptr;
    const bool offered = items.size() == 1;
    const bool errorShown = c.ErrorWords && FBoxes.Count() == 1 && FBoxes.Last().Icon == MB_ICONERROR &&
                            FBoxes.Last().Text.find(c.ErrorWords) != std::wstring::npos;
    const double growthMB = (double(after.PrivateBytes) - double(before.PrivateBytes)) / (1024 * 1024);
    const bool ok = !x.Raised && result == 0 && offered == c.Offers && (c.ErrorWords ? errorShown : FBoxes.Count() == 0) &&
                    seconds < 60 && growthMB < 256;
    EXPECT_TRUE(ok) << "offered " << items.size() << ", boxes: " << DescribeBoxes(FBoxes.Boxes()) << ", " << seconds
                    << " s, " << growthMB << " MB";
    char figures[96];
    std::snprintf(figures, sizeof figures, "; %.2f s, %+.1f MB", seconds, growthMB);
    ReportMatrixRow("bad input", c.Row,
                    c.Offers ? "the dialog offers the scanners" : "the dialog opens with a clear error and no scanner",
                    std::string(offered ? "offered" : "nothing offered") + "; " + DescribeBoxes(FBoxes.Boxes()) + figures,
                    ok);
  }
}

// The catalogue: 10,000 rows, NULL in every column, identifiers with quotes and semicolons.
TEST_F(BadInput, Catalogues)
{
  struct TCase {
    const char* Row;
    std::function<void(TTestDatabase&)> Fill;
    const char* ExpectedId;  // GetScannerID's answer
  } cases[] = {
      {"a catalogue of 10,000 rows",
       [&](TTestDatabase& db) {
         db.Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000) "
                 "INSERT INTO B_Scanner (FID, FType, FName, FModel, FScanMode, FSelect, FConfigFile) "
                 "SELECT printf('%05d', i), i % 300, 'S' || i, 'M' || i, 'G', i = 7777, 'none.ds' FROM n");
       },
       "07777"},
      {"NULL in every column",
       [&](TTestDatabase& db) {
         db.Exec("INSERT INTO B_Scanner (FID, FType, FName, FModel, FScanMode, FSelect, FConfigFile) "
                 "VALUES (NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
         db.AddScanner({"201", 150, "扫描仪", "M", "G", 1, FDriver});
       },
       "201"},
      {"an identifier with quotes and semicolons",
       [&](TTestDatabase& db) { db.AddScanner({"O'1;2", 150, "扫描仪", "M", "G", 1, FDriver}); }, "O'1;2"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Row);
    TTestDatabase db;
    c.Fill(db);
    THostParams hp = FScan.Params(db.HostConnection());
    hp.OptionsXML = "<Root><Options><ScnrList>*</ScnrList></Options></Root>";
    const TScanDLLParams p = FHost.Record(hp);
    THostString id;
    int found = -99;
    const double start = Seconds();
    const THostException x = CallCatchingLibraryError([&] { found = FHost.GetScannerID(p, &id.S, false); });
    const double seconds = Seconds() - start;
    const bool ok = !x.Raised && found == 1 && id.Text() == c.ExpectedId && FBoxes.Count() == 0;
    EXPECT_TRUE(ok) << DescribeOutcome(x.Raised, x, found) << " id " << id.Text();
    char figures[48];
    std::snprintf(figures, sizeof figures, "; %.2f s", seconds);
    ReportMatrixRow("bad input", std::string("GetScannerID, ") + c.Row,
                    std::string("result 1, id ") + Utf8OfGbk(c.ExpectedId),
                    DescribeOutcome(x.Raised, x, found) + ", id " + Utf8OfGbk(id.Text()) + figures, ok);
  }
}

}  // namespace
