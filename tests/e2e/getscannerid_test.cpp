// GetScannerID as a host calls it: the selected scanner of the host's catalogue B_Scanner, the
// warning when none is selected, and database failures reported without ending the call.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

#include "BoxRecorder.h"
#include "TestDatabase.h"
#include "TestHost.h"

namespace {

const char* const kSelectedSQL = "SELECT FID, FType FROM B_Scanner WHERE FSelect = 1";
const wchar_t* const kNoneSelected = L"您尚未选择任何扫描仪，系统无法确定扫描仪的型号！";

TScannerRow Row(const std::string& Id, int Type, int Select) { return {Id, Type, "扫描仪", "M" + Id, "", Select, "a.ds"}; }

class GetScannerID : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(GetACP(), 936u); }

  void Use(const std::vector<TScannerRow>& Rows, const TDatabaseOptions& Options = {})
  {
    FDb = std::make_unique<TTestDatabase>(Rows, Options);
    THostParams hp;
    hp.Connection = FDb->HostConnection();
    hp.ConfigFolder = "C:\\cfg\\";
    FParams = FHost->Record(hp);
    FDb->ClearLog();
    FBoxes.Clear();
  }

  // One call; Raised is set when the library's error reached the host instead of a result.
  struct TResult {
    int Result = -1;
    std::string Id;
    bool IdEmpty = false;
    bool Raised = false;
  };
  TResult Call(UINT_PTR ShowPrompt)
  {
    TResult r;
    THostString id;
    THostException e = CallCatchingLibraryError([&] {
      r.Result = reinterpret_cast<QRX_GetScannerID>(FHost->Export("GetScannerID"))(FParams, &id.S, BOOL(ShowPrompt));
    });
    r.Raised = e.Raised;
    r.IdEmpty = id.S == nullptr;
    r.Id = id.Text();
    if (id.S) {
      EXPECT_EQ(THostStrings::RefCount(id.S), 1) << "a new string the host owns";
    }
    return r;
  }

  void ExpectNoneSelectedWarning(const TBoxRecord& b)
  {
    EXPECT_EQ(b.Caption, L"提示");
    EXPECT_EQ(b.Text, kNoneSelected);
    EXPECT_EQ(b.Icon, UINT(MB_ICONWARNING));
    EXPECT_EQ(b.Buttons, std::vector<int>{IDOK});
    EXPECT_EQ(b.Owner, GetAncestor(FHost->HostControl(), GA_ROOT));
    EXPECT_FALSE(b.Enabled(FHost->MainWindow())) << "modal to the host's window";
  }

  TBoxRecorder FBoxes;
  std::unique_ptr<TTestHost> FHost = std::make_unique<TTestHost>();
  std::unique_ptr<TTestDatabase> FDb;
  TScanDLLParams FParams = {};
};

TEST_F(GetScannerID, SelectedScannerIsAnswered)
{
  Use({Row("101", 5, 0), Row("0401", 350, 1), Row("402", 7, 0)});
  for (UINT_PTR prompt : {0, 1}) {
    TResult r = Call(prompt);
    EXPECT_FALSE(r.Raised);
    EXPECT_EQ(r.Result, 1);
    EXPECT_EQ(r.Id, "0401");
  }
  EXPECT_EQ(FDb->Statements(), (std::vector<std::string>{kSelectedSQL, kSelectedSQL}));
  EXPECT_EQ(FBoxes.Count(), 0u);
}

// A host whose table declares FID char(10): PostgreSQL hands the value out padded with blanks (SQLite
// keeps the text as stored); as text the value is the id without its pad, as the database itself
// converts and compares it, so the host gets "201" from either.
TEST_F(GetScannerID, AFixedWidthIdIsAnsweredWithoutItsPad)
{
  for (bool fixedWidth : {false, true}) {
    SCOPED_TRACE(fixedWidth ? "char(10)" : "varchar(20)");
    TDatabaseOptions options;
    options.FixedWidthIds = fixedWidth;
    options.NumericColumns = fixedWidth;
    Use({Row("101", 5, 0), Row("201", 8, 1)}, options);
    if (fixedWidth && TTestDatabase::Kind() == TDatabaseKind::PostgreSQL) {
      EXPECT_EQ(FDb->Query(kSelectedSQL)[0][0], "201       ") << "the value as the database hands it out";
    }
    TResult r = Call(1);
    EXPECT_FALSE(r.Raised);
    EXPECT_EQ(r.Result, 1);
    EXPECT_EQ(r.Id, "201");
    EXPECT_EQ(FBoxes.Count(), 0u);
  }
}

// A host that declares FSelect boolean: whether "FSelect = 1" is a question at all is the database's
// to say (SQLite compares it as a number, PostgreSQL refuses to compare a boolean with a number).
// The library answers what the database answered, or shows its refusal and answers none.
TEST_F(GetScannerID, ABooleanSelectionFollowsTheDatabase)
{
  TDatabaseOptions options;
  options.BooleanSelect = true;
  Use({Row("101", 5, 0), Row("201", 8, 1)}, options);
  const std::string refusal = FDb->QueryError(kSelectedSQL);
  if (TTestDatabase::Kind() == TDatabaseKind::PostgreSQL) {
    EXPECT_NE(refusal, "");
  }
  TResult r = Call(0);
  EXPECT_FALSE(r.Raised);
  if (refusal.empty()) {
    EXPECT_EQ(r.Result, 1);
    EXPECT_EQ(r.Id, "201");
    EXPECT_EQ(FBoxes.Count(), 0u);
  } else {
    EXPECT_EQ(r.Result, 0);
    EXPECT_TRUE(r.IdEmpty);
    ASSERT_EQ(FBoxes.Count(), 1u);
    EXPECT_EQ(FBoxes.Last().Icon, UINT(MB_ICONERROR));
    EXPECT_NE(FBoxes.Last().Text.find(Wide(refusal)), std::wstring::npos) << refusal;
  }
}

TEST_F(GetScannerID, SeveralSelectedAnswerTheFirstRowTheDatabaseReturns)
{
  Use({Row("305", 9, 1), Row("101", 5, 0), Row("201", 8, 1)});
  const auto order = FDb->Query(kSelectedSQL);
  ASSERT_EQ(order.size(), 2u);
  TResult r = Call(1);
  EXPECT_EQ(r.Result, 1);
  EXPECT_EQ(r.Id, order[0][0]);
}

TEST_F(GetScannerID, NoneSelectedWarnsOnlyWhenAsked)
{
  const std::vector<std::vector<TScannerRow>> tables = {
      {},
      {Row("101", 5, 0), Row("402", 7, 0)},
      {Row("101", 5, 2)},  // 2 is not "selected" for this query
  };
  for (const auto& rows : tables) {
    SCOPED_TRACE(rows.size());
    Use(rows);
    // Only the low byte of the Boolean counts: 0x100 is false.
    for (UINT_PTR prompt : {UINT_PTR(0), UINT_PTR(0x100)}) {
      TResult r = Call(prompt);
      EXPECT_FALSE(r.Raised);
      EXPECT_EQ(r.Result, 0);
      EXPECT_TRUE(r.IdEmpty);
      EXPECT_EQ(FBoxes.Count(), 0u);
    }
    for (UINT_PTR prompt : {UINT_PTR(1), UINT_PTR(0x201)}) {
      FBoxes.Clear();
      TResult r = Call(prompt);
      EXPECT_FALSE(r.Raised);
      EXPECT_EQ(r.Result, 0);
      EXPECT_TRUE(r.IdEmpty);
      ASSERT_EQ(FBoxes.Count(), 1u);
      ExpectNoneSelectedWarning(FBoxes.Last());
    }
    EXPECT_EQ(FDb->Statements(), std::vector<std::string>(4, kSelectedSQL));
  }
}

TEST_F(GetScannerID, MissingTableIsShownAndAnswersNone)
{
  for (UINT_PTR prompt : {0, 1}) {
    SCOPED_TRACE(prompt);
    Use({Row("401", 101, 1)});
    FDb->DropTable();
    TResult r = Call(prompt);
    EXPECT_FALSE(r.Raised);
    EXPECT_EQ(r.Result, 0);
    EXPECT_TRUE(r.IdEmpty);
    ASSERT_EQ(FBoxes.Count(), prompt ? 2u : 1u);
    const TBoxRecord& error = FBoxes.Boxes()[0];
    EXPECT_EQ(error.Caption, L"提示");
    EXPECT_EQ(error.Icon, UINT(MB_ICONERROR));
    // The database's own message names the table, as that database spells it (PostgreSQL folds
    // unquoted names to lower case).
    std::wstring text = error.Text;
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return towlower(c); });
    EXPECT_NE(text.find(L"b_scanner"), std::wstring::npos) << "the database's own message";
    if (prompt)
      ExpectNoneSelectedWarning(FBoxes.Boxes()[1]);
    EXPECT_EQ(FDb->Statements(), std::vector<std::string>{kSelectedSQL});
  }
}

// A host whose application window is not the window of its control (a host built with Delphi's VCL
// passes its hidden application window): the database's error comes through the library's application
// window and belongs to AppHandle; the prompt is about the host's control and stands in front of its
// window.
TEST_F(GetScannerID, AppHandleAndHostControlAreToldApart)
{
  FHost = std::make_unique<TTestHost>("Quillon.RX.dll", TAppWindow::Hidden);
  ASSERT_NE(FHost->AppHandle(), GetAncestor(FHost->HostControl(), GA_ROOT));
  Use({Row("401", 101, 1)});
  FDb->DropTable();
  TResult r = Call(1);
  EXPECT_EQ(r.Result, 0);
  ASSERT_EQ(FBoxes.Count(), 2u);
  EXPECT_EQ(FBoxes.Boxes()[0].Icon, UINT(MB_ICONERROR));
  EXPECT_EQ(FBoxes.Boxes()[0].Owner, FHost->AppHandle()) << "the database's error";
  ExpectNoneSelectedWarning(FBoxes.Boxes()[1]);
}

TEST_F(GetScannerID, LostConnectionIsReportedNotCrashedOn)
{
  Use({Row("401", 101, 1)});
  FDb->CloseConnection();
  for (int i = 0; i < 3; ++i) {
    FBoxes.Clear();
    TResult r = Call(1);
    EXPECT_FALSE(r.Raised);
    EXPECT_EQ(r.Result, 0);
    EXPECT_TRUE(r.IdEmpty);
    ASSERT_EQ(FBoxes.Count(), 2u);
    EXPECT_EQ(FBoxes.Boxes()[0].Icon, UINT(MB_ICONERROR));
    ExpectNoneSelectedWarning(FBoxes.Boxes()[1]);
  }
}

TEST_F(GetScannerID, SelectionChangedBetweenCallsIsSeen)
{
  Use({Row("201", 1, 1), Row("305", 2, 0)});
  EXPECT_EQ(Call(0).Id, "201");
  FDb->Exec("UPDATE B_Scanner SET FSelect = 1 - FSelect");
  EXPECT_EQ(Call(0).Id, "305") << "nothing cached between calls";
}

TEST_F(GetScannerID, ManyCallsLeaveNoStringBlocksBehind)
{
  Use({Row("401", 101, 1), Row("402", 7, 0)});
  Call(0);  // DLLParams now holds this record's strings
  const int before = THostStrings::LiveBlocks();
  for (int i = 0; i < 300; ++i) {
    TResult r = Call(0);
    ASSERT_EQ(r.Id, "401");
  }
  EXPECT_EQ(THostStrings::LiveBlocks(), before);
  FDb->Exec("UPDATE B_Scanner SET FSelect = 0");
  for (int i = 0; i < 100; ++i)
    ASSERT_TRUE(Call(0).IdEmpty);
  EXPECT_EQ(THostStrings::LiveBlocks(), before);
}

}  // namespace
