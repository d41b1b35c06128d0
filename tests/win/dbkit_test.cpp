// The database kit over a real ADO connection (ADO over ODBC to SQLite): queries into both kinds
// of dataset, statements and batches with their transactions, and every way a failure is reported.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "BoxRecorder.h"
#include "TestDatabase.h"
#include "data/UAdo.h"
#include "data/UAdoDataSet.h"
#include "data/UVirtualTable.h"
#include "data/UdsAdoDBKit.h"
#include "util/UStrConv.h"
#include "util/UdsErrors.h"

namespace {
const std::vector<TScannerRow> kRows = {
    {"201", 7, "扫描仪甲", "A1", "G", 1, "a.ini"},
    {"305", 250, "扫描仪乙", "B2", "P", 0, "b.ini;c.ini"},
    {"O'1", -1, "丙", "C3", "", 0, ""},
};

std::wstring W(const std::string& gbk) { return AnsiToWide(gbk); }

class DBKit : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_EQ(GetACP(), 936u);
    db = std::make_unique<TTestDatabase>(kRows);
    kit = std::make_unique<TdsAdoDBKit>();
    EXPECT_FALSE(kit->ConnectionBorrowed());
    EXPECT_TRUE(kit->AttachConnection(db->Connection()));
    EXPECT_TRUE(kit->ConnectionBorrowed());
    db->ClearLog();
  }
  void TearDown() override
  {
    kit.reset();
    db.reset();
  }

  std::vector<std::string> FNames()
  {
    std::vector<std::string> out;
    for (const TScannerRow& r : db->ScannerRows())
      out.push_back(r.FName);
    return out;
  }

  // The database's own text for a failing statement, taken through the ErrorText form.
  std::string DatabaseMessage(const std::string& SQL)
  {
    std::string text;
    EXPECT_EQ(kit->ExecSQL(SQL, text), -1);
    EXPECT_FALSE(text.empty());
    return text;
  }

  TBoxRecorder boxes;
  std::unique_ptr<TTestDatabase> db;
  std::unique_ptr<TdsAdoDBKit> kit;
};

// Names itself differently from its base, as any class of its own would.
class TOtherTable : public TVirtualTable {
public:
  std::string ClassName() const override { return "TOtherTable"; }
};
class TLowerCaseName : public TVirtualTable {
public:
  std::string ClassName() const override { return "tvirtualtable"; }
};
}  // namespace

TEST_F(DBKit, QueryIntoVirtualTableCopiesFieldsAndRecords)
{
  TVirtualTable table;
  EXPECT_EQ(kit->OpenQuery(table, "SELECT FID, FType FROM B_Scanner WHERE 1 = 0"), 0);
  EXPECT_TRUE(table.Active());
  ASSERT_EQ(table.FieldCount(), 2);
  EXPECT_EQ(table.FieldDefAt(0).Name, "FID");
  EXPECT_EQ(table.FieldDefAt(1).Name, "FType");
  EXPECT_EQ(table.RecordCount(), 0);

  EXPECT_EQ(kit->OpenQuery(table, "SELECT FName, FConfigFile, FSelect FROM B_Scanner ORDER BY FID"), 3);
  ASSERT_EQ(table.FieldCount(), 3);  // only the second query's columns
  EXPECT_EQ(table.FindField("FID"), -1);
  EXPECT_EQ(table.FindField("FType"), -1);
  std::vector<std::string> names, files;
  int selected = 0;
  for (table.First(); !table.Eof(); table.Next()) {
    names.push_back(table.FieldByName("FName").AsString());
    files.push_back(table.FieldByName("FConfigFile").AsString());
    selected += table.FieldByName("FSelect").AsInteger();
  }
  EXPECT_EQ(names, (std::vector<std::string>{"扫描仪甲", "扫描仪乙", "丙"}));
  EXPECT_EQ(files, (std::vector<std::string>{"a.ini", "b.ini;c.ini", ""}));
  EXPECT_EQ(selected, 1);
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_EQ(db->Statements(), (std::vector<std::string>{"SELECT FID, FType FROM B_Scanner WHERE 1 = 0",
                                                        "SELECT FName, FConfigFile, FSelect FROM B_Scanner ORDER BY FID"}));
}

TEST_F(DBKit, QueryIntoVirtualTableClearsItsFilterAndReadsIntegers)
{
  TVirtualTable table;
  ASSERT_EQ(kit->OpenQuery(table, "SELECT * FROM B_Scanner ORDER BY FID"), 3);
  table.SetFilter("FID = 'O''1'");
  table.SetFiltered(true);
  ASSERT_EQ(table.RecordCount(), 1);
  table.First();
  EXPECT_EQ(table.FieldByName("FType").AsInteger(), -1);
  EXPECT_EQ(table.FieldByName("FType").AsString(), "-1");

  EXPECT_EQ(kit->OpenQuery(table, "SELECT FID, FType FROM B_Scanner WHERE FSelect = 1"), 1);
  EXPECT_EQ(table.Filter(), "");
  EXPECT_EQ(table.RecordCount(), 1);
  table.First();
  EXPECT_EQ(table.FieldByName("FID").AsString(), "201");
  EXPECT_EQ(table.FieldByName("FType").AsInteger(), 7);
}

TEST_F(DBKit, QueryIntoADODataSetOpensTheCallersDataSet)
{
  TADODataSet ds;
  EXPECT_EQ(kit->OpenQuery(ds, "SELECT FConfigFile FROM B_Scanner WHERE FID = '305'"), 1);
  EXPECT_TRUE(ds.Active());
  EXPECT_EQ(ds.FieldByName("FConfigFile").AsString(), "b.ini;c.ini");
  EXPECT_FALSE(kit->WorkDataSet().Active());
  EXPECT_EQ(kit->WorkDataSet().CommandText(), "");

  // The work dataset keeps the last in-memory query open until the next one.
  TVirtualTable table;
  EXPECT_EQ(kit->OpenQuery(table, "SELECT FID FROM B_Scanner"), 3);
  EXPECT_TRUE(kit->WorkDataSet().Active());
  EXPECT_EQ(kit->OpenQuery(ds, "SELECT FID FROM B_Scanner WHERE FID = 'none'"), 0);
  EXPECT_EQ(kit->WorkDataSet().CommandText(), "SELECT FID FROM B_Scanner");
  EXPECT_TRUE(ds.Active());
  EXPECT_TRUE(ds.Eof());
}

TEST_F(DBKit, OtherDataSetClassesAreRefusedInEveryForm)
{
  TOtherTable other;
  const std::string expected = "不支持的数据集类型“TOtherTable”！";
  for (int form = 0; form < 3; ++form) {
    try {
      if (form == 0)
        kit->OpenQuery(other, "SELECT * FROM B_Scanner");
      else
        kit->OpenQuery(other, "SELECT * FROM B_Scanner", form == 2);
      ADD_FAILURE() << "form " << form << " did not raise";
    } catch (const EdsError& e) {
      EXPECT_EQ(W(e.what()), W(expected)) << form;
    }
  }
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_TRUE(db->Statements().empty());
  EXPECT_FALSE(other.Active());

  TLowerCaseName lower;  // the class name compares without letter case
  EXPECT_EQ(kit->OpenQuery(lower, "SELECT FID FROM B_Scanner"), 3);
}

TEST_F(DBKit, FailingQueryShowsOneErrorBoxAndKeepsTheTable)
{
  TVirtualTable table;
  ASSERT_EQ(kit->OpenQuery(table, "SELECT FID FROM B_Scanner"), 3);

  std::string message;
  try {
    kit->OpenQuery(table, "SELECT * FROM NoSuchTable", true);
    ADD_FAILURE() << "no error raised";
  } catch (const EDatabaseError& e) {
    message = e.what();
  }
  EXPECT_NE(message.find("NoSuchTable"), std::string::npos) << message;
  EXPECT_EQ(boxes.Count(), 0u);

  EXPECT_EQ(kit->OpenQuery(table, "SELECT * FROM NoSuchTable"), -1);
  ASSERT_EQ(boxes.Count(), 1u);
  TBoxRecord box = boxes.Last();
  EXPECT_EQ(box.Caption, W("提示"));
  EXPECT_EQ(box.Icon, UINT(MB_ICONERROR));
  EXPECT_EQ(box.Text, W(message));

  EXPECT_EQ(kit->OpenQuery(table, "SELECT * FROM NoSuchTable", false), -1);
  EXPECT_EQ(boxes.Count(), 2u);
  EXPECT_TRUE(table.Active());  // the previous result stays
  EXPECT_EQ(table.RecordCount(), 3);

  TADODataSet ds;
  EXPECT_EQ(kit->OpenQuery(ds, "SELECT * FROM NoSuchTable"), -1);
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(boxes.Count(), 3u);
}

TEST_F(DBKit, ExecSQLReturnsRowsAffected)
{
  EXPECT_EQ(kit->ExecSQL("UPDATE B_Scanner SET FSelect = 1 WHERE FID = 'none'"), 0);
  EXPECT_EQ(kit->ExecSQL("UPDATE B_Scanner SET FSelect = 5 WHERE FID <> '201'"), 2);
  std::string text = "stale";
  EXPECT_EQ(kit->ExecSQL("UPDATE B_Scanner SET FSelect = 6 WHERE FID = '201'", text), 1);
  EXPECT_EQ(text, "");
  EXPECT_EQ(kit->ExecSQL("UPDATE B_Scanner SET FSelect = 7 WHERE FID = '201'", true), 1);
  EXPECT_EQ(boxes.Count(), 0u);
  std::vector<int> selects;
  for (const TScannerRow& r : db->ScannerRows())
    selects.push_back(r.FSelect);
  EXPECT_EQ(selects, (std::vector<int>{7, 5, 5}));
}

TEST_F(DBKit, FailingExecSQLWarnsOnceAndTheNextStatementRuns)
{
  const std::string bad = "UPDATE NoSuchTable SET FSelect = 0";
  const std::string message = DatabaseMessage(bad);
  EXPECT_NE(message.find("NoSuchTable"), std::string::npos) << message;

  EXPECT_EQ(kit->ExecSQL(bad), -1);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Last().Caption, W("提示"));
  EXPECT_EQ(boxes.Last().Icon, UINT(MB_ICONWARNING));
  EXPECT_EQ(boxes.Last().Text, W(message));
  EXPECT_EQ(kit->ExecSQL(bad, false), -1);
  EXPECT_EQ(boxes.Count(), 2u);

  try {
    kit->ExecSQL(bad, true);
    ADD_FAILURE() << "no error raised";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()), message);
  }
  EXPECT_EQ(boxes.Count(), 2u);

  EXPECT_EQ(kit->ExecSQL("UPDATE B_Scanner SET FName = 'after' WHERE FID = '305'"), 1);
  EXPECT_EQ(FNames(), (std::vector<std::string>{"扫描仪甲", "after", "丙"}));
}

TEST_F(DBKit, NegativeCountWithoutErrorIsReportedWithEmptyText)
{
  // A query run as a statement: the database reports no count (-1) and no error.
  const std::string select = "SELECT FID FROM B_Scanner";
  std::string text = "stale";
  EXPECT_EQ(kit->ExecSQL(select, text), -1);
  EXPECT_EQ(text, "");
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_EQ(kit->ExecSQL(select), -1);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Last().Text, L"");
  EXPECT_EQ(boxes.Last().Icon, UINT(MB_ICONWARNING));
  try {
    kit->ExecSQL(select, true);
    ADD_FAILURE() << "no error raised";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()), "");
  }
}

TEST_F(DBKit, EmptyBatchCommitsAndReturnsZero)
{
  std::string text = "stale";
  EXPECT_EQ(kit->ExecBatch(TStringList{}), 0);
  EXPECT_EQ(kit->ExecBatch(TStringList{}, text), 0);
  EXPECT_EQ(text, "");
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_EQ(kit->FailedSQL(), "");
  EXPECT_EQ(kit->ExecSQL("UPDATE B_Scanner SET FSelect = 0"), 3);  // no transaction left open
}

TEST_F(DBKit, BatchSumsRowsInOneTransaction)
{
  TStringList batch = {"UPDATE B_Scanner SET FName = 'x' WHERE FID = '201'",
                       "UPDATE B_Scanner SET FName = 'y' WHERE FID <> '201'",
                       "UPDATE B_Scanner SET FSelect = 0 WHERE FID = 'none'"};
  EXPECT_EQ(kit->ExecBatch(batch), 3);
  EXPECT_EQ(FNames(), (std::vector<std::string>{"x", "y", "y"}));
  EXPECT_EQ(db->Statements(), batch);
}

TEST_F(DBKit, FailingBatchRollsEverythingBack)
{
  const TStringList batch = {"UPDATE B_Scanner SET FName = 'x' WHERE FID = '201'",
                             "UPDATE B_Scanner SET FName = 'y' WHERE FID = '305'",
                             "UPDATE NoSuchTable SET FName = 'z'",
                             "UPDATE B_Scanner SET FName = 'w'"};
  const std::vector<std::string> before = FNames();

  std::string text;
  EXPECT_EQ(kit->ExecBatch(batch, text), -1);
  EXPECT_NE(text.find("NoSuchTable"), std::string::npos) << text;
  EXPECT_EQ(kit->FailedSQL(), batch[2]);
  EXPECT_EQ(FNames(), before);
  EXPECT_EQ(db->Statements(), TStringList(batch.begin(), batch.begin() + 3));  // stopped there

  EXPECT_EQ(kit->ExecBatch(batch), -1);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Last().Caption, W("提示"));
  EXPECT_EQ(boxes.Last().Icon, UINT(MB_ICONERROR));
  EXPECT_EQ(boxes.Last().Text, W(text));

  try {
    kit->ExecBatch(batch, true);
    ADD_FAILURE() << "no error raised";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()), text);
  }
  EXPECT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(FNames(), before);

  // A later batch that works leaves FFailedSQL as it was; its own statements are applied.
  EXPECT_EQ(kit->ExecBatch(TStringList{"UPDATE B_Scanner SET FName = 'ok' WHERE FID = '201'"}), 1);
  EXPECT_EQ(kit->FailedSQL(), batch[2]);
  EXPECT_EQ(FNames()[0], "ok");
}

TEST_F(DBKit, TransactionThatCannotBeginRaisesInEveryForm)
{
  db->CloseConnection();
  const std::string sql = "UPDATE B_Scanner SET FSelect = 0";
  const TStringList batch = {sql};
  std::string text;
  EXPECT_THROW(kit->ExecSQL(sql), EDatabaseError);
  EXPECT_THROW(kit->ExecSQL(sql, false), EDatabaseError);
  EXPECT_THROW(kit->ExecSQL(sql, true), EDatabaseError);
  EXPECT_THROW(kit->ExecSQL(sql, text), EDatabaseError);
  EXPECT_THROW(kit->ExecBatch(batch), EDatabaseError);
  EXPECT_THROW(kit->ExecBatch(batch, false), EDatabaseError);
  EXPECT_THROW(kit->ExecBatch(batch, true), EDatabaseError);
  EXPECT_THROW(kit->ExecBatch(batch, text), EDatabaseError);
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_TRUE(db->Statements().empty());
  std::vector<int> selects;
  for (const TScannerRow& r : db->ScannerRows())
    selects.push_back(r.FSelect);
  EXPECT_EQ(selects, (std::vector<int>{1, 0, 0}));

  // A query on the closed connection is reported like any failing query.
  TVirtualTable table;
  EXPECT_EQ(kit->OpenQuery(table, "SELECT FID FROM B_Scanner"), -1);
  EXPECT_EQ(boxes.Count(), 1u);
  EXPECT_FALSE(table.Active());
  EXPECT_EQ(table.RecordCount(), 0);
}

TEST_F(DBKit, MissingTableIsReportedByQueryAndStatement)
{
  db->DropTable();
  TVirtualTable table;
  EXPECT_EQ(kit->OpenQuery(table, "SELECT FID, FType FROM B_Scanner WHERE FSelect = 1"), -1);
  EXPECT_EQ(kit->ExecSQL("UPDATE B_Scanner SET FSelect = 0"), -1);
  ASSERT_EQ(boxes.Count(), 2u);
  EXPECT_EQ(boxes.Boxes()[0].Icon, UINT(MB_ICONERROR));
  EXPECT_EQ(boxes.Boxes()[1].Icon, UINT(MB_ICONWARNING));
  EXPECT_NE(boxes.Boxes()[0].Text.find(L"B_Scanner"), std::wstring::npos);
}

TEST_F(DBKit, FreeingTheKitLeavesTheHostsConnectionOpen)
{
  TVirtualTable table;
  ASSERT_EQ(kit->OpenQuery(table, "SELECT FID FROM B_Scanner"), 3);
  ASSERT_EQ(kit->ExecSQL("UPDATE B_Scanner SET FSelect = 0"), 3);
  kit->Disconnect();  // a borrowed connection stays referenced
  EXPECT_EQ(kit->Connection(), db->Connection());
  kit.reset();

  LONG state = adStateClosed;
  ASSERT_EQ(db->Connection()->get_State(&state), S_OK);
  EXPECT_EQ(state, adStateOpen);
  TdsAdoDBKit again;
  again.AttachConnection(db->Connection());
  EXPECT_EQ(again.ExecSQL("UPDATE B_Scanner SET FSelect = 1 WHERE FID = '305'"), 1);
  EXPECT_EQ(again.OpenQuery(table, "SELECT FID FROM B_Scanner WHERE FSelect = 1"), 1);
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(DBKit, KitReleasesEveryReferenceItTookOnTheConnection)
{
  {
    // The count only means something when the server's own objects come back with one reference.
    Microsoft::WRL::ComPtr<Command15> probe;
    ASSERT_EQ(CoCreateInstance(CLSID_AdoCommand, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&probe)), S_OK);
    probe->AddRef();
    ASSERT_EQ(probe->Release(), 1u) << "the ADO server keeps references of its own on new objects";
  }
  auto refs = [this] {
    db->Connection()->AddRef();
    return db->Connection()->Release();
  };
  kit.reset();
  const ULONG base = refs();
  {
    TdsAdoDBKit k;
    k.AttachConnection(db->Connection());
    TVirtualTable table;
    EXPECT_EQ(k.OpenQuery(table, "SELECT FID FROM B_Scanner"), 3);
    EXPECT_EQ(k.ExecSQL("UPDATE B_Scanner SET FSelect = 0"), 3);
    EXPECT_EQ(k.ExecBatch(TStringList{"UPDATE B_Scanner SET FSelect = 1 WHERE FID = '201'"}), 1);
    EXPECT_EQ(k.ExecSQL("UPDATE NoSuchTable SET FSelect = 0"), -1);
    EXPECT_EQ(k.OpenQuery(table, "SELECT * FROM NoSuchTable"), -1);
  }
  EXPECT_EQ(refs(), base);
  EXPECT_EQ(boxes.Count(), 2u);
}

TEST_F(DBKit, StatementsReachTheDatabaseByteForByte)
{
  const std::string update = "UPDATE B_Scanner SET FName = '扫描仪''丙' WHERE FID = " + QuotedStr("O'1");
  ASSERT_EQ(kit->ExecSQL(update), 1);
  TVirtualTable table;
  const std::string query = "SELECT FName FROM B_Scanner WHERE FName LIKE '扫描仪%' ORDER BY FID";
  ASSERT_EQ(kit->OpenQuery(table, query), 3);
  EXPECT_EQ(db->Statements(), (std::vector<std::string>{update, query}));
  EXPECT_EQ(FNames()[2], "扫描仪'丙");
  table.First();
  table.Next();
  table.Next();
  EXPECT_EQ(table.FieldByName("FName").AsString(), "扫描仪'丙");
}

TEST_F(DBKit, ConnectionDescriptionTakesOverOnlyItsOwnKind)
{
  TConnectInfo& info = kit->ConnectInfo();
  info.Text1 = "a";
  info.Text4 = "d";
  TPersistent other;
  info.Assign(other);
  EXPECT_EQ(info.Text1 + info.Text2 + info.Text3 + info.Text4, "ad");
  kit->Disconnect();  // empties the description
  EXPECT_EQ(info.Text1 + info.Text2 + info.Text3 + info.Text4, "");
  info.Text2 = "b";
  kit->AttachConnection(db->Connection());
  EXPECT_EQ(info.Text2, "");
}

namespace {
// Overrides the longest forms only: every shorter form must end up here.
class TCountingKit : public TdsAdoDBKit {
public:
  using TdsAdoDBKit::ExecBatch;
  using TdsAdoDBKit::ExecSQL;
  using TdsAdoDBKit::OpenQuery;
  int OpenQuery(TDataSet& DataSet, const std::string& SQL, bool RaiseOnError) override
  {
    ++queries;
    return TdsAdoDBKit::OpenQuery(DataSet, SQL, RaiseOnError);
  }
  int ExecSQL(const std::string& SQL, std::string& ErrorText) override
  {
    ++statements;
    ErrorText = "overridden";
    return -5;
  }
  int ExecBatch(const TStringList& Statements, std::string& ErrorText) override
  {
    ++batches;
    return 42;
  }
  int queries = 0, statements = 0, batches = 0;
};
}  // namespace

TEST_F(DBKit, ShorterFormsReachLongerOnesThroughTheVirtualTable)
{
  TCountingKit k;
  k.AttachConnection(db->Connection());
  TVirtualTable table;
  TdsDBKit& base = k;
  EXPECT_EQ(base.OpenQuery(table, "SELECT FID FROM B_Scanner"), 3);
  EXPECT_EQ(k.queries, 1);

  EXPECT_EQ(base.ExecSQL("anything"), -5);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Last().Text, L"overridden");
  try {
    base.ExecSQL("anything", true);
    ADD_FAILURE() << "no error raised";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()), "overridden");
  }
  EXPECT_EQ(k.statements, 2);

  EXPECT_EQ(base.ExecBatch(TStringList{"x"}), 42);
  EXPECT_EQ(base.ExecBatch(TStringList{"x"}, true), 42);
  EXPECT_EQ(k.batches, 2);
  EXPECT_TRUE(db->Statements().size() == 1);  // only the query reached the database
}

namespace {
// A dataset that cannot count its records, as ADO reports it for some cursors.
class TUncountedDataSet : public TADODataSet {
public:
  int RecordCount() override { return Active() ? -1 : 0; }
};
// A kit whose work dataset cannot count either.
class TUncountedKit : public TdsAdoDBKit {
public:
  TUncountedKit() { FWorkDataSet = std::make_unique<TUncountedDataSet>(); }
};
}  // namespace

TEST_F(DBKit, UncountedResultIsReturnedAndLeavesTheTableAlone)
{
  TUncountedDataSet ds;
  EXPECT_EQ(kit->OpenQuery(ds, "SELECT FID FROM B_Scanner"), -1);
  EXPECT_TRUE(ds.Active());  // open on the result all the same

  TUncountedKit k;
  k.AttachConnection(db->Connection());
  TVirtualTable table;
  table.AddFieldDef({"Old", ftString, 3});
  table.AppendRecord({{"old", false}});
  table.Open();
  EXPECT_EQ(k.OpenQuery(table, "SELECT FID FROM B_Scanner"), -1);
  EXPECT_EQ(boxes.Count(), 0u);  // no failure, nothing to report
  ASSERT_EQ(table.FieldCount(), 1);
  EXPECT_EQ(table.FieldDefAt(0).Name, "Old");
  EXPECT_EQ(table.RecordCount(), 1);
}

// The host may have its connection on server-side cursors (ADO's default), where a forward-only
// recordset cannot count: the kit's queries count all the same.
TEST_F(DBKit, QueriesCountOnAConnectionWithServerSideCursors)
{
  ASSERT_EQ(db->Connection()->put_CursorLocation(adUseServer), S_OK);
  TVirtualTable table;
  EXPECT_EQ(kit->OpenQuery(table, "SELECT FID FROM B_Scanner ORDER BY FID"), 3);
  EXPECT_EQ(table.RecordCount(), 3);
  TADODataSet ds;
  EXPECT_EQ(kit->OpenQuery(ds, "SELECT FID FROM B_Scanner WHERE FSelect = 0"), 2);
  EXPECT_EQ(boxes.Count(), 0u);
}

// ADO keeps a failure in the connection's Errors collection (and the failing call's error object
// on the thread) until the next failure. Neither may describe a later, different failure.
TEST_F(DBKit, AStaleErrorNeverDescribesALaterFailure)
{
  BSTR sql = SysAllocString(L"SELECT * FROM TableTheHostGotWrong");
  VARIANT affected;
  VariantInit(&affected);
  Microsoft::WRL::ComPtr<_Recordset> rs;
  EXPECT_TRUE(FAILED(db->Connection()->Execute(sql, &affected, adCmdText, rs.GetAddressOf())));
  SysFreeString(sql);
  Microsoft::WRL::ComPtr<Errors> errors;
  long count = 0;
  ASSERT_EQ(db->Connection()->get_Errors(&errors), S_OK);
  ASSERT_EQ(errors->get_Count(&count), S_OK);
  ASSERT_GT(count, 0) << "the host's failure is on record";

  // A later failure of an object that keeps no error object for it: the text is the failure's own.
  Microsoft::WRL::ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  try {
    RaiseAdoError(static_cast<HRESULT>(0x80040E37), stream.Get(), IID_IStream);
    ADD_FAILURE() << "no error raised";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()).find("TableTheHostGotWrong"), std::string::npos) << e.what();
    EXPECT_FALSE(std::string(e.what()).empty());
  }
  // Through the kit: each failure is reported with its own text, never the host's old one.
  EXPECT_EQ(kit->ExecSQL("UPDATE NoSuchTable SET X = 1"), -1);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_NE(boxes.Last().Text.find(L"NoSuchTable"), std::wstring::npos);
  EXPECT_EQ(boxes.Last().Text.find(L"TableTheHostGotWrong"), std::wstring::npos);
  TVirtualTable table;
  EXPECT_EQ(kit->OpenQuery(table, "SELECT * FROM B_Scanner WHERE NoSuchColumn = 1"), -1);
  ASSERT_EQ(boxes.Count(), 2u);
  EXPECT_EQ(boxes.Last().Text.find(L"TableTheHostGotWrong"), std::wstring::npos);
  EXPECT_EQ(boxes.Last().Text.find(L"NoSuchTable"), std::wstring::npos);
}

TEST(RowsAffected, AProviderWithoutACountGivesMinusOne)
{
  VARIANT v;
  VariantInit(&v);
  EXPECT_EQ(RowsAffectedCount(v), -1) << "VT_EMPTY";
  v.vt = VT_NULL;
  EXPECT_EQ(RowsAffectedCount(v), -1);
  v.vt = VT_I4;
  v.lVal = 3;
  EXPECT_EQ(RowsAffectedCount(v), 3);
  v.lVal = -1;
  EXPECT_EQ(RowsAffectedCount(v), -1);
  v.vt = VT_I2;
  v.iVal = 0;
  EXPECT_EQ(RowsAffectedCount(v), 0);
}
