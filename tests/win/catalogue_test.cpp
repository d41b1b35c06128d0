// The catalogue B_Scanner as the scanner object reads it (GetSelectedScanner) and as a selection is
// recorded (MarkSelected), over an ADO connection to a real database.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "BoxRecorder.h"
#include "HostStrings.h"
#include "TestDatabase.h"
#include "boundary/UDLLParams.h"
#include "catalogue/UScannerCatalogue.h"
#include "scanning/UScannerRX.h"

namespace {

const char* const kSelectedSQL = "SELECT FID, FType FROM B_Scanner WHERE FSelect = 1";

TScannerRow Row(const std::string& Id, int Type, int Select) { return {Id, Type, "扫描仪" + Id, "M" + Id, "G", Select, "a.ds"}; }

class Catalogue : public ::testing::Test {
protected:
  void Use(const std::vector<TScannerRow>& Rows, const TDatabaseOptions& Options = {})
  {
    FDb = std::make_unique<TTestDatabase>(Rows, Options);
    TScanDLLParams p = {};
    p.Connection = FDb->HostConnection();
    AssignDLLParams(p);
    FDb->ClearLog();
  }
  void TearDown() override { ClearDLLParams(); }

  // GetSelectedScanner on a fresh object; Type starts at a value no row holds.
  bool Selected(std::string& Id, int32_t& Type)
  {
    Id = "stale";
    Type = 12345;
    TScannerRX scanner;
    return scanner.GetSelectedScanner(Id, Type);
  }
  std::vector<int> SelectFlags()
  {
    std::vector<int> flags;
    for (const TScannerRow& r : FDb->ScannerRows())
      flags.push_back(r.FSelect);
    return flags;
  }

  TBoxRecorder FBoxes;
  std::unique_ptr<TTestDatabase> FDb;
};

TEST_F(Catalogue, SelectedScannerWithEngineType)
{
  struct Case {
    int storedType;
    int32_t reportedType;
  } cases[] = {{199, 199}, {200, 0}, {350, 0}, {-1, -1}, {0, 0}, {1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.storedType);
    Use({Row("101", 5, 0), Row("0401", c.storedType, 1), Row("402", 7, 0)});
    std::string id;
    int32_t type = 0;
    EXPECT_TRUE(Selected(id, type));
    EXPECT_EQ(id, "0401") << "FID as stored, leading zero kept";
    EXPECT_EQ(type, c.reportedType);
    EXPECT_EQ(FDb->Statements(), std::vector<std::string>{kSelectedSQL});
  }
  EXPECT_EQ(FBoxes.Count(), 0u);
}

TEST_F(Catalogue, NothingSelectedLeavesTypeAlone)
{
  const std::vector<std::vector<TScannerRow>> tables = {
      {},
      {Row("101", 5, 0), Row("402", 7, 0)},
      {Row("101", 5, 2), Row("402", 7, -1)},  // only exactly 1 counts as selected here
  };
  for (const auto& rows : tables) {
    SCOPED_TRACE(rows.size());
    Use(rows);
    std::string id;
    int32_t type = 0;
    EXPECT_FALSE(Selected(id, type));
    EXPECT_EQ(id, "");
    EXPECT_EQ(type, 12345);
    EXPECT_EQ(FDb->Statements(), std::vector<std::string>{kSelectedSQL});
  }
  EXPECT_EQ(FBoxes.Count(), 0u);
}

TEST_F(Catalogue, SeveralSelectedGiveTheFirstRowTheDatabaseReturns)
{
  Use({Row("305", 9, 1), Row("101", 5, 0), Row("201", 8, 1)});
  const auto order = FDb->Query(kSelectedSQL);
  ASSERT_EQ(order.size(), 2u);
  std::string id;
  int32_t type = 0;
  EXPECT_TRUE(Selected(id, type));
  EXPECT_EQ(id, order[0][0]);
  EXPECT_EQ(std::to_string(type), order[0][1]);
}

TEST_F(Catalogue, FailedQueryIsShownAndFindsNothing)
{
  ASSERT_EQ(GetACP(), 936u);
  for (bool closeConnection : {false, true}) {
    SCOPED_TRACE(closeConnection ? "closed connection" : "missing table");
    Use({Row("401", 101, 1)});
    if (closeConnection)
      FDb->CloseConnection();
    else
      FDb->DropTable();
    FBoxes.Clear();
    std::string id;
    int32_t type = 0;
    EXPECT_FALSE(Selected(id, type));
    EXPECT_EQ(id, "");
    EXPECT_EQ(type, 12345);
    ASSERT_EQ(FBoxes.Count(), 1u);
    EXPECT_EQ(FBoxes.Last().Caption, L"提示");
    EXPECT_EQ(FBoxes.Last().Icon, UINT(MB_ICONERROR));
    if (!closeConnection) {
      EXPECT_NE(FBoxes.Last().Text.find(L"B_Scanner"), std::wstring::npos) << "the database's own message";
    }
  }
}

TEST_F(Catalogue, FailedQueryDoesNotAnswerWithAnEarlierResult)
{
  Use({Row("401", 101, 1)});
  TScannerRX scanner;
  std::string id;
  int32_t type = 0;
  ASSERT_TRUE(scanner.GetSelectedScanner(id, type));
  FDb->DropTable();
  type = 12345;
  EXPECT_FALSE(scanner.GetSelectedScanner(id, type));
  EXPECT_EQ(id, "");
  EXPECT_EQ(type, 12345);
  EXPECT_EQ(FBoxes.Count(), 1u);
}

TEST_F(Catalogue, MarkSelectedLeavesExactlyThatRowSelected)
{
  Use({Row("201", 1, 1), Row("305", 2, 1), Row("401", 3, 0), Row("O'1", 4, 2)});
  EXPECT_TRUE(TScannerCatalogue::MarkSelected("201"));
  EXPECT_EQ(FDb->Statements(), (std::vector<std::string>{"UPDATE B_Scanner SET FSelect = 1 WHERE FID = '201'",
                                                         "UPDATE B_Scanner SET FSelect = 0 WHERE FID <> '201'"}));
  EXPECT_EQ(SelectFlags(), (std::vector<int>{1, 0, 0, 0}));

  FDb->ClearLog();
  TScannerCatalogue::MarkSelected("O'1");
  EXPECT_EQ(FDb->Statements(), (std::vector<std::string>{"UPDATE B_Scanner SET FSelect = 1 WHERE FID = 'O''1'",
                                                         "UPDATE B_Scanner SET FSelect = 0 WHERE FID <> 'O''1'"}));
  EXPECT_EQ(SelectFlags(), (std::vector<int>{0, 0, 0, 1}));
  EXPECT_EQ(FBoxes.Count(), 0u);
}

TEST_F(Catalogue, MarkSelectedKeepsTheOldSelectionWhenTheChosenRowCannotBeMarked)
{
  ASSERT_EQ(GetACP(), 936u);
  Use({Row("201", 1, 0), Row("305", 2, 1)});
  FDb->Exec("CREATE TRIGGER LockSelection BEFORE UPDATE OF FSelect ON B_Scanner WHEN NEW.FSelect = 1 "
            "BEGIN SELECT RAISE(ABORT, 'selection locked'); END");
  FBoxes.Clear();
  bool recorded = true;
  EXPECT_NO_THROW(recorded = TScannerCatalogue::MarkSelected("201"));
  EXPECT_FALSE(recorded);
  EXPECT_EQ(FDb->Statements(), (std::vector<std::string>{"UPDATE B_Scanner SET FSelect = 1 WHERE FID = '201'"}));
  EXPECT_EQ(SelectFlags(), (std::vector<int>{0, 1})) << "the catalogue still has a selected scanner";
  ASSERT_EQ(FBoxes.Count(), 1u);
  EXPECT_EQ(FBoxes.Last().Caption, L"提示");
  EXPECT_EQ(FBoxes.Last().Icon, UINT(MB_ICONWARNING));
  EXPECT_NE(FBoxes.Last().Text.find(L"selection locked"), std::wstring::npos);
}

// The second statement fails after the first has marked the chosen row: both are undone, never two
// scanners selected.
TEST_F(Catalogue, MarkSelectedLeavesTheOldSelectionWhenClearingTheOthersFails)
{
  Use({Row("201", 1, 0), Row("305", 2, 1)});
  FDb->Exec("CREATE TRIGGER LockClearing BEFORE UPDATE OF FSelect ON B_Scanner WHEN NEW.FSelect = 0 "
            "BEGIN SELECT RAISE(ABORT, 'clearing locked'); END");
  FBoxes.Clear();
  bool recorded = true;
  EXPECT_NO_THROW(recorded = TScannerCatalogue::MarkSelected("201"));
  EXPECT_FALSE(recorded);
  EXPECT_EQ(FDb->Statements().size(), 2u);
  EXPECT_EQ(SelectFlags(), (std::vector<int>{0, 1})) << "one transaction: the first statement is undone";
  ASSERT_EQ(FBoxes.Count(), 1u);
  EXPECT_EQ(FBoxes.Last().Icon, UINT(MB_ICONWARNING));
  EXPECT_NE(FBoxes.Last().Text.find(L"clearing locked"), std::wstring::npos);
}

TEST_F(Catalogue, MarkSelectedOnAMissingTableIsReportedOnce)
{
  Use({Row("201", 1, 1)});
  FDb->DropTable();
  FBoxes.Clear();
  EXPECT_NO_THROW(TScannerCatalogue::MarkSelected("201"));
  ASSERT_EQ(FBoxes.Count(), 1u);
  EXPECT_EQ(FBoxes.Last().Icon, UINT(MB_ICONWARNING));
  EXPECT_NE(FBoxes.Last().Text.find(L"B_Scanner"), std::wstring::npos);
}

// SQL Server under SET NOCOUNT ON answers every statement with a count of -1: the statements ran.
TEST_F(Catalogue, MarkSelectedOnAConnectionThatReportsNoCounts)
{
  TDatabaseOptions noCount;
  noCount.NoCount = true;
  Use({Row("201", 1, 0), Row("305", 2, 1), Row("401", 3, 1)}, noCount);
  FBoxes.Clear();
  EXPECT_TRUE(TScannerCatalogue::MarkSelected("201"));
  EXPECT_EQ(FDb->Statements().size(), 2u);
  EXPECT_EQ(SelectFlags(), (std::vector<int>{1, 0, 0})) << "exactly one row selected";
  EXPECT_EQ(FBoxes.Count(), 0u) << "no warning for statements that succeeded";
}

// Columns declared numeric(10,0) come out of ADO as VT_DECIMAL.
TEST_F(Catalogue, NumericColumnsAreReadAsTheirValues)
{
  TDatabaseOptions numeric;
  numeric.NumericColumns = true;
  for (int stored : {199, 350, -1}) {
    SCOPED_TRACE(stored);
    Use({Row("105", 7, 0), Row("201", stored, 1)}, numeric);
    std::string id;
    int32_t type = 0;
    ASSERT_TRUE(Selected(id, type));
    EXPECT_EQ(id, "201");
    EXPECT_EQ(type, stored >= 200 ? 0 : stored);
  }
  TScannerCatalogue::MarkSelected("105");
  EXPECT_EQ(SelectFlags(), (std::vector<int>{1, 0}));
  EXPECT_EQ(FBoxes.Count(), 0u);
}

}  // namespace
