#include <gtest/gtest.h>

#include "data/UVirtualTable.h"
#include "data/UdsDBKit.h"
#include "util/UdsErrors.h"

namespace {
TFieldValue V(const std::string& text) { return {text, false}; }
const TFieldValue Null{};

// B_Scanner-like rows: FID, FType, FScanMode.
void Fill(TVirtualTable& t)
{
  t.AddFieldDef({"FID", ftString, 10});
  t.AddFieldDef({"FType", ftInteger, 0});
  t.AddFieldDef({"FScanMode", ftString, 1});
  t.AppendRecord({V("201"), V("7"), V("G")});
  t.AppendRecord({V("O'1"), V("-1"), Null});
  t.AppendRecord({V("305"), Null, V("P")});
  t.AppendRecord({V("201"), V("9"), V("")});
}

std::vector<std::string> Column(TVirtualTable& t, const std::string& name)
{
  std::vector<std::string> out;
  for (t.First(); !t.Eof(); t.Next())
    out.push_back(t.FieldByName(name).AsString());
  return out;
}
}  // namespace

TEST(FilterCondition, Parses)
{
  struct Case {
    const char* text;
    const char* field;
    const char* value;
  } cases[] = {
      {"FID = '201'", "FID", "201"},
      {"  FID='O''1'  ", "FID", "O'1"},
      {"FID = ''", "FID", ""},
      {"FID = ''''", "FID", "'"},
      {"FID\t=\t'a b'", "FID", "a b"},
      {"FScanMode = '扫描'", "FScanMode", "扫描"},
  };
  for (const Case& c : cases) {
    TFilterCondition cond;
    bool empty = true;
    ASSERT_TRUE(ParseFilterCondition(c.text, cond, empty)) << c.text;
    EXPECT_FALSE(empty) << c.text;
    EXPECT_EQ(cond.FieldName, c.field) << c.text;
    EXPECT_EQ(cond.Value, c.value) << c.text;
  }
}

TEST(FilterCondition, EmptyAndRejected)
{
  TFilterCondition cond;
  bool empty = false;
  EXPECT_TRUE(ParseFilterCondition("", cond, empty));
  EXPECT_TRUE(empty);
  EXPECT_TRUE(ParseFilterCondition("  \t ", cond, empty));
  EXPECT_TRUE(empty);
  for (const char* bad : {"FID", "FID =", "FID = 201", "FID = '201", "FID = 'a''", "FID = '1' x", "= '1'",
                          "FID == '1'", "'FID' = '1'", "FID = '1' AND FType = '2'"}) {
    EXPECT_FALSE(ParseFilterCondition(bad, cond, empty)) << bad;
  }
}

TEST(VirtualTable, ClosedTableCountsEmptyAndRefusesFieldAccess)
{
  TVirtualTable t;
  EXPECT_EQ(t.ClassName(), "TVirtualTable");
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_TRUE(t.Eof());
  Fill(t);
  EXPECT_FALSE(t.Active());
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_THROW(t.FieldByName("FID"), EDatabaseError);
  EXPECT_THROW(t.First(), EDatabaseError);
  t.Open();
  EXPECT_EQ(t.RecordCount(), 4);
  t.Close();
  t.Open();  // records survive closing
  EXPECT_EQ(Column(t, "FID"), (std::vector<std::string>{"201", "O'1", "305", "201"}));
}

TEST(VirtualTable, FieldsReadAsTextAndInteger)
{
  TVirtualTable t;
  Fill(t);
  t.Open();
  t.First();
  EXPECT_EQ(t.FieldByName("fid").AsString(), "201");  // names ignore letter case
  EXPECT_EQ(t.FieldByName("FType").AsInteger(), 7);
  t.Next();
  EXPECT_EQ(t.FieldByName("FType").AsInteger(), -1);
  EXPECT_TRUE(t.FieldByName("FScanMode").IsNull());
  EXPECT_EQ(t.FieldByName("FScanMode").AsString(), "");
  t.Next();
  EXPECT_EQ(t.FieldByName("FType").AsInteger(), 0);  // NULL
  EXPECT_EQ(t.FieldByName("FID").AsInteger(), 305);
  EXPECT_THROW(t.FieldByName("FScanMode2"), EDatabaseError);
}

TEST(VirtualTable, NonNumericTextIsNoInteger)
{
  TVirtualTable t;
  Fill(t);
  t.Open();
  t.Next();
  EXPECT_THROW(t.FieldByName("FID").AsInteger(), EConvertError);  // O'1
}

TEST(VirtualTable, NavigationStopsAtTheLastRecord)
{
  TVirtualTable t;
  Fill(t);
  t.Open();
  for (int i = 0; i < 3; ++i)
    t.Next();
  EXPECT_FALSE(t.Eof());
  t.Next();
  EXPECT_TRUE(t.Eof());
  t.Next();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.FieldByName("FType").AsString(), "9");  // the last record stays current
}

TEST(VirtualTable, FilterSelectsMatchingRecords)
{
  TVirtualTable t;
  Fill(t);
  t.Open();
  t.SetFiltered(false);
  t.SetFilter("FID = '201'");
  EXPECT_EQ(t.RecordCount(), 4);  // not on yet
  t.SetFiltered(true);
  EXPECT_EQ(t.RecordCount(), 2);
  EXPECT_EQ(Column(t, "FType"), (std::vector<std::string>{"7", "9"}));

  t.SetFilter("FID = " + std::string("'O''1'"));
  EXPECT_EQ(t.RecordCount(), 1);
  t.First();
  EXPECT_EQ(t.FieldByName("FID").AsString(), "O'1");

  t.SetFilter("FID = '999'");
  EXPECT_EQ(t.RecordCount(), 0);
  t.First();
  EXPECT_TRUE(t.Eof());
  EXPECT_TRUE(t.FieldByName("FScanMode").IsNull());  // no current record

  t.SetFilter("FScanMode = ''");  // the empty text matches, NULL does not
  EXPECT_EQ(Column(t, "FID"), (std::vector<std::string>{"201"}));
  t.SetFilter("FScanMode = 'g'");  // values compare with letter case
  EXPECT_EQ(t.RecordCount(), 0);

  t.SetFiltered(false);
  EXPECT_EQ(t.RecordCount(), 4);
  t.SetFiltered(true);
  t.SetFilter("");
  EXPECT_EQ(t.RecordCount(), 4);
}

TEST(VirtualTable, BadFilterIsRefusedAndChangesNothing)
{
  TVirtualTable t;
  Fill(t);
  t.Open();
  t.SetFilter("FID = '305'");
  t.SetFiltered(true);
  EXPECT_THROW(t.SetFilter("FID = 305"), EDatabaseError);
  EXPECT_THROW(t.SetFilter("FNope = '305'"), EDatabaseError);
  EXPECT_EQ(t.Filter(), "FID = '305'");
  EXPECT_EQ(t.RecordCount(), 1);

  t.SetFiltered(false);
  t.SetFilter("garbage");  // stored; it only matters once the filter is on
  EXPECT_THROW(t.SetFiltered(true), EDatabaseError);
  EXPECT_FALSE(t.Filtered());
  EXPECT_EQ(t.RecordCount(), 4);
}

TEST(VirtualTable, AssignReplacesFieldsAndRecords)
{
  TVirtualTable source;
  Fill(source);
  source.Open();
  source.SetFilter("FID = '201'");
  source.SetFiltered(true);

  TVirtualTable t;
  t.AddFieldDef({"Old", ftMemo, 0});
  t.AppendRecord({V("x")});
  t.Assign(source);  // copies what the source shows
  ASSERT_EQ(t.FieldCount(), 3);
  EXPECT_EQ(t.FieldDefAt(0).Name, "FID");
  EXPECT_EQ(t.FieldDefAt(0).DataType, ftString);
  EXPECT_EQ(t.FieldDefAt(0).Size, 10);
  EXPECT_EQ(t.FieldDefAt(1).DataType, ftInteger);
  EXPECT_FALSE(t.Active());
  t.Open();
  EXPECT_EQ(Column(t, "FType"), (std::vector<std::string>{"7", "9"}));
  EXPECT_EQ(t.FindField("Old"), -1);

  TVirtualTable other;
  other.AddFieldDef({"FConfigFile", ftString, 255});
  other.AppendRecord({V("a.ini;b.ini")});
  other.Open();
  t.Assign(other);  // other columns: only these remain
  ASSERT_EQ(t.FieldCount(), 1);
  EXPECT_EQ(t.RecordCount(), 1);
  t.First();
  EXPECT_EQ(t.FieldByName("FConfigFile").AsString(), "a.ini;b.ini");
  EXPECT_THROW(t.FieldByName("FID"), EDatabaseError);

  TVirtualTable empty;
  empty.AddFieldDef({"FID", ftString, 10});
  empty.Open();
  t.Assign(empty);  // no rows, but the fields
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_EQ(t.FindField("FID"), 0);
}

namespace {
// A source that fails while its records are read.
class TFailingSource : public TVirtualTable {
public:
  std::string ClassName() const override { return "TFailingSource"; }
  TFieldValue FieldValueAt(int Index) const override
  {
    if (++reads > 4)
      throw EDatabaseError("read failed");
    return TVirtualTable::FieldValueAt(Index);
  }
  mutable int reads = 0;
};
}  // namespace

TEST(VirtualTable, FailedAssignKeepsPreviousContent)
{
  TVirtualTable t;
  t.AddFieldDef({"Old", ftString, 5});
  t.AppendRecord({V("kept")});
  t.Open();

  TFailingSource failing;
  Fill(failing);
  failing.Open();
  EXPECT_THROW(t.Assign(failing), EDatabaseError);
  TVirtualTable closed;
  Fill(closed);
  EXPECT_THROW(t.Assign(closed), EDatabaseError);

  ASSERT_EQ(t.FieldCount(), 1);
  EXPECT_EQ(Column(t, "Old"), (std::vector<std::string>{"kept"}));
}

TEST(VirtualTable, RecordMustMatchTheFields)
{
  TVirtualTable t;
  t.AddFieldDef({"A", ftString, 1});
  EXPECT_THROW(t.AppendRecord({V("1"), V("2")}), EDatabaseError);
  t.AppendRecord({V("1")});
  t.AddFieldDef({"B", ftString, 1});  // earlier records get NULL
  t.Open();
  t.First();
  EXPECT_TRUE(t.FieldByName("B").IsNull());
}

// The kit's connection description: only another TConnectInfo is taken over.
TEST(ConnectInfo, AssignTakesOverOnlyConnectInfo)
{
  class TOther : public TPersistent {
  public:
    std::string Text1 = "other";
  };
  class TDerivedInfo : public TConnectInfo {};

  TConnectInfo info;
  info.Text1 = "a";
  info.Text2 = "b";
  info.Text3 = "c";
  info.Text4 = "d";
  TOther other;
  info.Assign(other);
  EXPECT_EQ(info.Text1 + info.Text2 + info.Text3 + info.Text4, "abcd");

  TDerivedInfo derived;
  derived.Text1 = "1";
  derived.Text4 = "4";
  info.Assign(derived);
  EXPECT_EQ(info.Text1 + "|" + info.Text2 + "|" + info.Text3 + "|" + info.Text4, "1|||4");
  info.Clear();
  EXPECT_EQ(info.Text1 + info.Text2 + info.Text3 + info.Text4, "");
}
