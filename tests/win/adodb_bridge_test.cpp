// ADO over ODBC (tools/adodb-odbc) through ADO's own interfaces, as the library and a host use it:
// rows affected, transactions, recordsets and their cursors, filters, types, texts, errors with
// OLE DB's HRESULTs, the Errors collection and the statement log.
#include <gtest/gtest.h>
#include <oledberr.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "TestDatabase.h"
#include "TestHost.h"
#include "data/UAdo.h"

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t ProviderSource[] = L"Microsoft OLE DB Provider for ODBC Drivers";

// A BSTR that frees itself.
struct TBstr {
  BSTR B;
  explicit TBstr(const std::wstring& Text) : B(SysAllocStringLen(Text.data(), UINT(Text.size()))) {}
  TBstr() : B(nullptr) {}
  ~TBstr() { SysFreeString(B); }
  std::wstring Str() const { return B ? std::wstring(B, SysStringLen(B)) : std::wstring(); }
};

struct TVariant {
  VARIANT V;
  TVariant() { VariantInit(&V); }
  explicit TVariant(IDispatch* Object) {
    VariantInit(&V);
    V_VT(&V) = VT_DISPATCH;
    V_DISPATCH(&V) = Object;
    Object->AddRef();
  }
  explicit TVariant(const std::wstring& Text) {
    VariantInit(&V);
    V_VT(&V) = VT_BSTR;
    V_BSTR(&V) = SysAllocStringLen(Text.data(), UINT(Text.size()));
  }
  explicit TVariant(int Number) {
    VariantInit(&V);
    V_VT(&V) = VT_I4;
    V_I4(&V) = Number;
  }
  ~TVariant() { VariantClear(&V); }
};

// The description of the error the last failing call left behind.
std::wstring ErrorDescription() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, &info) != S_OK || !info) return L"(no error info)";
  TBstr text;
  info->GetDescription(&text.B);
  return text.Str();
}

// One Error of a connection's Errors collection.
struct TErrorSeen {
  long Number = 0;
  std::wstring Source, Description, SqlState;
};

std::vector<TErrorSeen> ErrorsOf(_Connection* Connection) {
  ComPtr<Errors> errors;
  long count = -1;
  EXPECT_HRESULT_SUCCEEDED(Connection->get_Errors(&errors));
  EXPECT_HRESULT_SUCCEEDED(errors->get_Count(&count));
  std::vector<TErrorSeen> seen;
  for (long i = 0; i < count; ++i) {
    ComPtr<Error> error;
    TErrorSeen e;
    TBstr source, description, state;
    EXPECT_HRESULT_SUCCEEDED(errors->get_Item(TVariant(int(i)).V, &error));
    if (!error) break;
    error->get_Number(&e.Number);
    error->get_Source(&source.B);
    error->get_Description(&description.B);
    error->get_SQLState(&state.B);
    e.Source = source.Str();
    e.Description = description.Str();
    e.SqlState = state.Str();
    seen.push_back(e);
  }
  return seen;
}

std::wstring DecimalText(const VARIANT& Value) {
  TVariant text;
  if (FAILED(VariantChangeTypeEx(&text.V, const_cast<VARIANT*>(&Value), LOCALE_INVARIANT, 0, VT_BSTR))) return L"?";
  return std::wstring(V_BSTR(&text.V), SysStringLen(V_BSTR(&text.V)));
}

const std::vector<TScannerRow> Catalogue = {
  {"201", 2, "富士通", "fi-6130", "G", 1, "Fjtw\\fjtw.ds"},
  {"202", 2, "佳能", "DR-C225", "", 0, "Canon\\dr.ds"},
  {"X01", 7, "Test", "T", "P", 0, "x.ds"},
};

class AdoBridge : public ::testing::Test {
protected:
  TTestDatabase Db{Catalogue};
  _Connection* Conn = Db.Connection();

  // A further connection to the same database; Extra is added to the connection string.
  ComPtr<_Connection> Connect(const std::wstring& Extra, HRESULT* Result = nullptr) {
    ComPtr<_Connection> connection;
    EXPECT_HRESULT_SUCCEEDED(
        CoCreateInstance(CLSID_AdoConnection, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&connection)));
    const HRESULT hr = connection->Open(TBstr(Db.ConnectionString() + Extra).B, nullptr, nullptr, adOptionUnspecified);
    if (Result) *Result = hr;
    else EXPECT_HRESULT_SUCCEEDED(hr) << ErrorDescription();
    return connection;
  }

  static ComPtr<_Command> NewCommand(_Connection* Connection, const std::wstring& Sql) {
    ComPtr<_Command> cmd;
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_AdoCommand, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&cmd)));
    TVariant connection(Connection);
    EXPECT_HRESULT_SUCCEEDED(cmd->put_ActiveConnection(connection.V));
    EXPECT_HRESULT_SUCCEEDED(cmd->put_CommandText(TBstr(Sql).B));
    return cmd;
  }
  ComPtr<_Command> NewCommand(const std::wstring& Sql) { return NewCommand(Conn, Sql); }

  // Command.Execute as the database kit runs a statement; Rows gets RecordsAffected.
  HRESULT Execute(const std::wstring& Sql, long* Rows = nullptr) {
    TVariant affected;
    const HRESULT hr = NewCommand(Sql)->Execute(&affected.V, nullptr, adCmdText | adExecuteNoRecords, nullptr);
    if (Rows) *Rows = V_VT(&affected.V) == VT_I4 ? V_I4(&affected.V) : -999;
    return hr;
  }

  static ComPtr<_Recordset> NewRecordset() {
    ComPtr<_Recordset> rs;
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_AdoRecordset, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&rs)));
    return rs;
  }

  HRESULT Open(_Recordset* Rs, const std::wstring& Sql, CursorTypeEnum Type = adOpenStatic) {
    TVariant source(Sql), connection(Conn);
    return Rs->Open(source.V, connection.V, Type, adLockOptimistic, adCmdText);
  }

  static ADO_LONGPTR Count(_Recordset* Rs) {
    ADO_LONGPTR n = -7;  // the call must write it
    EXPECT_HRESULT_SUCCEEDED(Rs->get_RecordCount(&n));
    return n;
  }

  static bool Eof(_Recordset* Rs) {
    VARIANT_BOOL eof = VARIANT_FALSE;
    EXPECT_HRESULT_SUCCEEDED(Rs->get_EOF(&eof));
    return eof != VARIANT_FALSE;
  }

  static ComPtr<Field> FieldOf(_Recordset* Rs, const TVariant& Index) {
    ComPtr<Fields> fields;
    ComPtr<Field> field;
    EXPECT_HRESULT_SUCCEEDED(Rs->get_Fields(&fields));
    EXPECT_HRESULT_SUCCEEDED(fields->get_Item(Index.V, &field));
    return field;
  }

  // The current row's value of a column, as text (VT_NULL as "(null)").
  static std::wstring Text(_Recordset* Rs, const wchar_t* Column) {
    TVariant value, text;
    EXPECT_HRESULT_SUCCEEDED(FieldOf(Rs, TVariant(std::wstring(Column)))->get_Value(&value.V));
    if (V_VT(&value.V) == VT_NULL) return L"(null)";
    EXPECT_HRESULT_SUCCEEDED(VariantChangeType(&text.V, &value.V, 0, VT_BSTR));
    return std::wstring(V_BSTR(&text.V), SysStringLen(V_BSTR(&text.V)));
  }

  // Column values of every row from the current one on.
  static std::vector<std::wstring> Column(_Recordset* Rs, const wchar_t* Name) {
    std::vector<std::wstring> values;
    for (int guard = 0; !Eof(Rs) && guard < 100; ++guard) {
      values.push_back(Text(Rs, Name));
      EXPECT_HRESULT_SUCCEEDED(Rs->MoveNext());
    }
    return values;
  }
};

TEST_F(AdoBridge, ExecuteReportsTheRowsTheDatabaseChanged) {
  struct TCase {
    const wchar_t* Sql;
    long Rows;
  };
  const TCase cases[] = {
    {L"UPDATE B_Scanner SET FSelect = 0 WHERE FID NOT LIKE 'X%'", 2},
    {L"UPDATE B_Scanner SET FSelect = 1 WHERE FID = 'nothing'", 0},  // no match: success with 0
    {L"DELETE FROM B_Scanner WHERE FID = 'X01'", 1},
    {L"INSERT INTO B_Scanner (FID, FType) VALUES ('300', 1)", 1},
    {L"CREATE TABLE B_Other (FID varchar(20))", -1},  // no count for DDL, as SQL Server says
  };
  for (const TCase& c : cases) {
    long rows = -999;
    EXPECT_HRESULT_SUCCEEDED(Execute(c.Sql, &rows)) << c.Sql;
    EXPECT_EQ(c.Rows, rows) << c.Sql;
  }
  const std::vector<TScannerRow> rows = Db.ScannerRows();
  ASSERT_EQ(3u, rows.size());
  EXPECT_EQ("201", rows[0].FID);
  EXPECT_EQ(0, rows[0].FSelect);
  EXPECT_EQ("300", rows[2].FID);

  TVariant affected;
  EXPECT_HRESULT_SUCCEEDED(Conn->Execute(TBstr(L"UPDATE B_Scanner SET FType = 5").B, &affected.V, adCmdText, nullptr));
  ASSERT_EQ(VT_I4, V_VT(&affected.V));
  EXPECT_EQ(3, V_I4(&affected.V));
}

// SQL Server under SET NOCOUNT ON reports no counts; a connection string with our NoCount=1 does the same.
TEST_F(AdoBridge, NoCountConnectionReportsMinusOneForEveryStatement) {
  const std::wstring statements[] = {
    L"UPDATE B_Scanner SET FSelect = 1",
    L"UPDATE B_Scanner SET FSelect = 1 WHERE FID = 'none'",
    L"INSERT INTO B_Scanner (FID, FType) VALUES ('N01', 1)",
    L"DELETE FROM B_Scanner WHERE FID = 'N01'",
  };
  const long counted[] = {3, 0, 1, 1};
  struct TConnectionCase {
    const wchar_t* Extra;
    bool Counts;
  };
  for (const TConnectionCase& c : {TConnectionCase{L"", true}, TConnectionCase{L";NoCount=0", true},
                                   TConnectionCase{L";NoCount=1", false}, TConnectionCase{L"; nocount = 1 ", false}}) {
    ComPtr<_Connection> connection = Connect(c.Extra);
    for (bool viaCommand : {false, true}) {
      for (size_t i = 0; i < 4; ++i) {
        TVariant affected;
        if (viaCommand)
          EXPECT_HRESULT_SUCCEEDED(NewCommand(connection.Get(), statements[i])->Execute(&affected.V, nullptr, adCmdText, nullptr));
        else
          EXPECT_HRESULT_SUCCEEDED(connection->Execute(TBstr(statements[i]).B, &affected.V, adCmdText, nullptr));
        ASSERT_EQ(VT_I4, V_VT(&affected.V)) << statements[i];
        EXPECT_EQ(c.Counts ? counted[i] : -1, V_I4(&affected.V))
            << c.Extra << (viaCommand ? " Command: " : " Connection: ") << statements[i];
      }
    }
  }
  // The statements ran all the same.
  EXPECT_EQ(1, Db.ScannerRows()[1].FSelect);
  EXPECT_EQ(3u, Db.ScannerRows().size());

  HRESULT hr = S_OK;
  Connect(L";NoCount=yes", &hr);
  EXPECT_EQ(AdoErrorHResult(adErrInvalidArgument), hr);
}

TEST_F(AdoBridge, RollbackUndoesAndCommitKeepsTheTransactionsStatements) {
  long level = 0;
  ASSERT_HRESULT_SUCCEEDED(Conn->BeginTrans(&level));
  EXPECT_EQ(1, level);
  EXPECT_HRESULT_SUCCEEDED(Execute(L"UPDATE B_Scanner SET FSelect = 1"));
  EXPECT_HRESULT_SUCCEEDED(Execute(L"DELETE FROM B_Scanner WHERE FID = '202'"));
  EXPECT_EQ(XACT_E_XTIONEXISTS, Conn->BeginTrans(&level)) << "no nested transactions";
  EXPECT_EQ(AdoErrorHResult(3246), Conn->Close()) << "not inside a transaction";
  ASSERT_HRESULT_SUCCEEDED(Conn->RollbackTrans());
  std::vector<TScannerRow> rows = Db.ScannerRows();
  ASSERT_EQ(3u, rows.size());
  EXPECT_EQ(0, rows[1].FSelect);

  ASSERT_HRESULT_SUCCEEDED(Conn->BeginTrans(&level));
  EXPECT_HRESULT_SUCCEEDED(Execute(L"UPDATE B_Scanner SET FSelect = 1 WHERE FID = '202'"));
  ASSERT_HRESULT_SUCCEEDED(Conn->CommitTrans());
  rows = Db.ScannerRows();
  EXPECT_EQ(1, rows[1].FSelect);

  EXPECT_EQ(XACT_E_NOTRANSACTION, Conn->CommitTrans()) << "no transaction is active";
  EXPECT_EQ(XACT_E_NOTRANSACTION, Conn->RollbackTrans());
  // Outside a transaction every statement commits at once.
  EXPECT_HRESULT_SUCCEEDED(Execute(L"UPDATE B_Scanner SET FSelect = 0"));
  EXPECT_EQ(0, Db.ScannerRows()[1].FSelect);
}

TEST_F(AdoBridge, RecordsetHoldsEveryRowWithAdoTypesAndValues) {
  Db.Exec("UPDATE B_Scanner SET FScanMode = NULL WHERE FID = '202'");
  Db.Exec("UPDATE B_Scanner SET FType = 5000000000 WHERE FID = 'X01'");  // SQLite takes it
  auto rs = NewRecordset();
  ASSERT_HRESULT_SUCCEEDED(Open(rs.Get(), L"SELECT * FROM B_Scanner ORDER BY FID"));
  LONG state = adStateClosed;
  EXPECT_HRESULT_SUCCEEDED(rs->get_State(&state));
  EXPECT_EQ(adStateOpen, state);
  EXPECT_EQ(3, Count(rs.Get()));

  ComPtr<Fields> fields;
  ASSERT_HRESULT_SUCCEEDED(rs->get_Fields(&fields));
  long columns = 0;
  EXPECT_HRESULT_SUCCEEDED(fields->get_Count(&columns));
  EXPECT_EQ(7, columns);

  // As SQL Server's provider describes integer and varchar(n) columns (255: not numeric).
  struct TColumnCase {
    int Index;
    const wchar_t* Name;
    DataTypeEnum Type;
    ADO_LONGPTR Size;
    VARTYPE ValueType;
    BYTE Precision, Scale;
  };
  const TColumnCase expected[] = {
    {0, L"FID", adVarChar, 20, VT_BSTR, 255, 255},
    {1, L"FType", adInteger, 4, VT_I4, 10, 255},
    {2, L"FName", adVarChar, 60, VT_BSTR, 255, 255},
    {4, L"FScanMode", adVarChar, 10, VT_BSTR, 255, 255},
    {5, L"FSelect", adInteger, 4, VT_I4, 10, 255},
    {6, L"FConfigFile", adVarChar, 255, VT_BSTR, 255, 255},
  };
  for (const TColumnCase& c : expected) {
    auto field = FieldOf(rs.Get(), TVariant(c.Index));
    ASSERT_TRUE(field);
    TBstr name;
    DataTypeEnum type = adEmpty;
    ADO_LONGPTR size = -1;
    BYTE precision = 0, scale = 0;
    TVariant value;
    EXPECT_HRESULT_SUCCEEDED(field->get_Name(&name.B));
    EXPECT_HRESULT_SUCCEEDED(field->get_Type(&type));
    EXPECT_HRESULT_SUCCEEDED(field->get_DefinedSize(&size));
    EXPECT_HRESULT_SUCCEEDED(field->get_Precision(&precision));
    EXPECT_HRESULT_SUCCEEDED(field->get_NumericScale(&scale));
    EXPECT_HRESULT_SUCCEEDED(field->get_Value(&value.V));
    EXPECT_EQ(c.Name, name.Str());
    EXPECT_EQ(c.Type, type) << c.Name;
    EXPECT_EQ(c.Size, size) << c.Name;
    EXPECT_EQ(c.ValueType, V_VT(&value.V)) << c.Name;
    EXPECT_EQ(c.Precision, precision) << c.Name;
    EXPECT_EQ(c.Scale, scale) << c.Name;
  }
  // Names are matched without regard to case; an unknown one is an error.
  EXPECT_EQ(L"201", Text(rs.Get(), L"fid"));
  ComPtr<Field> none;
  EXPECT_HRESULT_FAILED(fields->get_Item(TVariant(std::wstring(L"FNothing")).V, &none));
  EXPECT_HRESULT_FAILED(fields->get_Item(TVariant(7).V, &none));

  EXPECT_EQ((std::vector<std::wstring>{L"201", L"202", L"X01"}), Column(rs.Get(), L"FID"));
  EXPECT_TRUE(Eof(rs.Get()));
  TVariant value;
  EXPECT_EQ(AdoErrorHResult(adErrNoCurrentRecord), FieldOf(rs.Get(), TVariant(0))->get_Value(&value.V));
  EXPECT_EQ(AdoErrorHResult(adErrNoCurrentRecord), rs->MoveNext());

  ASSERT_HRESULT_SUCCEEDED(rs->MoveFirst());
  ASSERT_HRESULT_SUCCEEDED(rs->MoveNext());
  EXPECT_EQ(L"(null)", Text(rs.Get(), L"FScanMode"));
  EXPECT_EQ(L"2", Text(rs.Get(), L"FType"));
  ASSERT_HRESULT_SUCCEEDED(rs->MoveLast());
  EXPECT_EQ(L"5000000000", Text(rs.Get(), L"FType")) << "too wide for VT_I4: kept whole";

  EXPECT_EQ(AdoErrorHResult(adErrObjectOpen), Open(rs.Get(), L"SELECT 1"));
  ASSERT_HRESULT_SUCCEEDED(rs->Close());
  EXPECT_EQ(AdoErrorHResult(adErrObjectClosed), rs->Close());
  ADO_LONGPTR count = 0;
  EXPECT_EQ(AdoErrorHResult(adErrObjectClosed), rs->get_RecordCount(&count));
}

// numeric(p,s) and decimal(p,s) come back as SQL Server's do: exact VT_DECIMAL values (never
// through a double: 2^53 + 1 and 18 digits survive), Precision and NumericScale from the declaration.
TEST_F(AdoBridge, NumericColumnsHoldExactDecimalsWithTheirDeclaredPrecision) {
  Db.Exec("CREATE TABLE B_Amount (FID varchar(20), FNumber numeric(10,0), FMoney NUMERIC(12, 2), "
          "FRate decimal(8,3), FBig numeric(18,0), FPlain numeric, FCount integer)");
  Db.Exec("INSERT INTO B_Amount VALUES ('a', 9999999999, 12.5, 1.005, 123456789012345678, 7, 7)");
  Db.Exec("INSERT INTO B_Amount VALUES ('b', -1, 0.1, -3, 9007199254740993, 0, -2)");
  Db.Exec("INSERT INTO B_Amount VALUES ('c', 0, NULL, NULL, NULL, NULL, NULL)");
  auto rs = NewRecordset();
  ASSERT_HRESULT_SUCCEEDED(Open(rs.Get(), L"SELECT f.FNumber, f.FNumber AS FWhole, f.FMoney, f.FRate, f.FBig, "
                                          L"f.FPlain, f.FCount FROM B_Amount f ORDER BY f.FID"));
  struct TColumnCase {
    const wchar_t* Name;
    DataTypeEnum Type;
    BYTE Precision, Scale;
    ADO_LONGPTR Size;
    const wchar_t* Values[3];  // exact, at the column's scale; nullptr: NULL
  };
  const TColumnCase cases[] = {
    {L"FNumber", adNumeric, 10, 0, 19, {L"9999999999", L"-1", L"0"}},
    {L"FWhole", adNumeric, 10, 0, 19, {L"9999999999", L"-1", L"0"}},  // an alias keeps its column's precision
    {L"FMoney", adNumeric, 12, 2, 19, {L"12.50", L"0.10", nullptr}},
    {L"FRate", adDecimal, 8, 3, 19, {L"1.005", L"-3.000", nullptr}},
    {L"FBig", adNumeric, 18, 0, 19, {L"123456789012345678", L"9007199254740993", nullptr}},
    {L"FPlain", adNumeric, 18, 0, 19, {L"7", L"0", nullptr}},  // SQL Server's numeric is numeric(18,0)
  };
  for (int row = 0; row < 3; ++row, rs->MoveNext()) {
    for (const TColumnCase& c : cases) {
      auto field = FieldOf(rs.Get(), TVariant(std::wstring(c.Name)));
      DataTypeEnum type = adEmpty;
      BYTE precision = 0, scale = 0;
      ADO_LONGPTR size = 0;
      TVariant value;
      ASSERT_HRESULT_SUCCEEDED(field->get_Type(&type));
      ASSERT_HRESULT_SUCCEEDED(field->get_Precision(&precision));
      ASSERT_HRESULT_SUCCEEDED(field->get_NumericScale(&scale));
      ASSERT_HRESULT_SUCCEEDED(field->get_DefinedSize(&size));
      ASSERT_HRESULT_SUCCEEDED(field->get_Value(&value.V));
      EXPECT_EQ(c.Type, type) << c.Name;
      EXPECT_EQ(c.Precision, precision) << c.Name;
      EXPECT_EQ(c.Scale, scale) << c.Name;
      EXPECT_EQ(c.Size, size) << c.Name;
      if (!c.Values[row]) {
        EXPECT_EQ(VT_NULL, V_VT(&value.V)) << c.Name << " row " << row;
        continue;
      }
      ASSERT_EQ(VT_DECIMAL, V_VT(&value.V)) << c.Name << " row " << row;
      DECIMAL expected;
      ASSERT_HRESULT_SUCCEEDED(VarDecFromStr(TBstr(c.Values[row]).B, LOCALE_INVARIANT, 0, &expected));
      EXPECT_EQ(VARCMP_EQ, VarDecCmp(&V_DECIMAL(&value.V), &expected))
          << c.Name << ": " << Gbk(DecimalText(value.V)) << " is not " << Gbk(c.Values[row]);
      EXPECT_EQ(c.Scale, V_DECIMAL(&value.V).scale) << c.Name << " row " << row;
    }
  }
  ASSERT_HRESULT_SUCCEEDED(rs->MoveFirst());
  TVariant count;
  ASSERT_HRESULT_SUCCEEDED(FieldOf(rs.Get(), TVariant(std::wstring(L"FCount")))->get_Value(&count.V));
  EXPECT_EQ(VT_I4, V_VT(&count.V));

  // A filter compares decimals exactly too: the double next to 2^53 + 1 is no match.
  struct TFilterCase {
    const wchar_t* Filter;
    ADO_LONGPTR Rows;
  };
  for (const TFilterCase& f : {TFilterCase{L"FBig = 9007199254740993", 1}, TFilterCase{L"FBig = 9007199254740992", 0},
                               TFilterCase{L"FNumber = 9999999999", 1}, TFilterCase{L"FMoney > 0.1", 1}}) {
    ASSERT_HRESULT_SUCCEEDED(rs->put_Filter(TVariant(std::wstring(f.Filter)).V)) << Gbk(f.Filter);
    EXPECT_EQ(f.Rows, Count(rs.Get())) << Gbk(f.Filter);
  }
}

TEST_F(AdoBridge, EmptyResultIsOpenAtBofAndEofWithItsFields) {
  auto rs = NewRecordset();
  ASSERT_HRESULT_SUCCEEDED(Open(rs.Get(), L"SELECT FID, FType FROM B_Scanner WHERE FSelect = 9"));
  EXPECT_EQ(0, Count(rs.Get()));
  VARIANT_BOOL bof = VARIANT_FALSE;
  EXPECT_HRESULT_SUCCEEDED(rs->get_BOF(&bof));
  EXPECT_TRUE(bof);
  EXPECT_TRUE(Eof(rs.Get()));
  EXPECT_HRESULT_FAILED(rs->MoveFirst());
  ComPtr<Fields> fields;
  long columns = 0;
  ASSERT_HRESULT_SUCCEEDED(rs->get_Fields(&fields));
  EXPECT_HRESULT_SUCCEEDED(fields->get_Count(&columns));
  EXPECT_EQ(2, columns);
}

// A recordset's cursor is what ADO gives for its own CursorLocation and the type asked for.
TEST_F(AdoBridge, CursorDecidesTypeCountAndBackwardMoves) {
  struct TCase {
    CursorLocationEnum Location;
    CursorTypeEnum Asked, Type;
    ADO_LONGPTR Count;
    bool Scrolls;
  };
  const TCase cases[] = {
    {adUseServer, adOpenForwardOnly, adOpenForwardOnly, -1, false},
    {adUseServer, adOpenUnspecified, adOpenForwardOnly, -1, false},
    {adUseServer, adOpenStatic, adOpenStatic, 3, true},
    {adUseServer, adOpenKeyset, adOpenKeyset, 3, true},
    {adUseServer, adOpenDynamic, adOpenDynamic, -1, true},
    {adUseClient, adOpenForwardOnly, adOpenStatic, 3, true},  // every client cursor is static
    {adUseClient, adOpenKeyset, adOpenStatic, 3, true},
    {adUseClient, adOpenDynamic, adOpenStatic, 3, true},
  };
  const HRESULT refused = AdoErrorHResult(adErrFeatureNotAvailable);
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "location " << c.Location << ", asked " << c.Asked);
    auto rs = NewRecordset();
    ASSERT_HRESULT_SUCCEEDED(rs->put_CursorLocation(c.Location));
    ASSERT_HRESULT_SUCCEEDED(Open(rs.Get(), L"SELECT FID FROM B_Scanner ORDER BY FID", c.Asked));
    CursorTypeEnum type = adOpenUnspecified;
    CursorLocationEnum location = adUseNone;
    EXPECT_HRESULT_SUCCEEDED(rs->get_CursorType(&type));
    EXPECT_HRESULT_SUCCEEDED(rs->get_CursorLocation(&location));
    EXPECT_EQ(c.Type, type);
    EXPECT_EQ(c.Location, location);
    EXPECT_EQ(c.Count, Count(rs.Get()));

    EXPECT_HRESULT_SUCCEEDED(rs->MoveFirst()) << "still on the first record";
    ASSERT_HRESULT_SUCCEEDED(rs->MoveNext());
    // Each move back; a cursor that scrolls goes forward again after it, one that does not stays put.
    const HRESULT back = c.Scrolls ? S_OK : refused;
    EXPECT_EQ(back, rs->MovePrevious());
    if (c.Scrolls) {
      EXPECT_EQ(L"201", Text(rs.Get(), L"FID"));
      rs->MoveNext();
    }
    EXPECT_EQ(back, rs->Move(-1, TVariant().V));
    if (c.Scrolls) rs->MoveNext();
    EXPECT_EQ(back, rs->MoveFirst());
    if (c.Scrolls) rs->MoveNext();
    EXPECT_EQ(back, rs->MoveLast());
    EXPECT_EQ(c.Scrolls ? L"X01" : L"202", Text(rs.Get(), L"FID"));
    EXPECT_HRESULT_SUCCEEDED(rs->Move(0, TVariant().V));
  }
  // ADO's own errors stay out of the provider's Errors.
  EXPECT_TRUE(ErrorsOf(Conn).empty());

  // Forward moves are all a forward-only cursor needs to read everything.
  auto rs = NewRecordset();
  ASSERT_HRESULT_SUCCEEDED(Open(rs.Get(), L"SELECT FID FROM B_Scanner ORDER BY FID", adOpenForwardOnly));
  EXPECT_EQ((std::vector<std::wstring>{L"201", L"202", L"X01"}), Column(rs.Get(), L"FID"));
  ADO_LONGPTR position = 0;
  EXPECT_HRESULT_SUCCEEDED(rs->get_AbsolutePosition(&position));
  EXPECT_EQ(-1, position) << "adPosUnknown";
}

// CursorLocation belongs to the recordset (adUseServer unless set), the connection's only decides
// what Execute hands back; it is read-only while the recordset is open.
TEST_F(AdoBridge, RecordsetCursorLocationIsItsOwnAndReadOnlyWhileOpen) {
  ASSERT_HRESULT_SUCCEEDED(Conn->put_CursorLocation(adUseClient));
  auto rs = NewRecordset();
  CursorLocationEnum location = adUseNone;
  CursorTypeEnum type = adOpenUnspecified;
  LockTypeEnum lock = adLockUnspecified;
  EXPECT_HRESULT_SUCCEEDED(rs->get_CursorLocation(&location));
  EXPECT_HRESULT_SUCCEEDED(rs->get_CursorType(&type));
  EXPECT_HRESULT_SUCCEEDED(rs->get_LockType(&lock));
  EXPECT_EQ(adUseServer, location);
  EXPECT_EQ(adOpenForwardOnly, type);
  EXPECT_EQ(adLockReadOnly, lock);

  TVariant source(std::wstring(L"SELECT FID FROM B_Scanner")), connection(Conn);
  ASSERT_HRESULT_SUCCEEDED(rs->Open(source.V, connection.V, adOpenUnspecified, adLockUnspecified, adCmdText));
  EXPECT_EQ(-1, Count(rs.Get())) << "a server-side forward-only cursor";
  EXPECT_EQ(AdoErrorHResult(adErrObjectOpen), rs->put_CursorLocation(adUseClient));
  EXPECT_EQ(AdoErrorHResult(adErrObjectOpen), rs->put_CursorType(adOpenStatic));
  ASSERT_HRESULT_SUCCEEDED(rs->Close());

  for (int wrong : {0, 4, -1}) {
    EXPECT_EQ(AdoErrorHResult(adErrInvalidArgument), rs->put_CursorLocation(CursorLocationEnum(wrong))) << wrong;
    EXPECT_EQ(AdoErrorHResult(adErrInvalidArgument), Conn->put_CursorLocation(CursorLocationEnum(wrong))) << wrong;
  }
  EXPECT_EQ(AdoErrorHResult(adErrInvalidArgument), rs->put_CursorType(CursorTypeEnum(4)));
  EXPECT_EQ(AdoErrorHResult(adErrInvalidArgument), rs->put_LockType(LockTypeEnum(0)));
}

// Execute hands back a forward-only, read-only recordset on the connection's cursor location.
TEST_F(AdoBridge, ExecuteRecordsetFollowsTheConnectionsCursorLocation) {
  const std::wstring sql = L"SELECT FID FROM B_Scanner ORDER BY FID";
  for (CursorLocationEnum location : {adUseServer, adUseClient}) {
    ASSERT_HRESULT_SUCCEEDED(Conn->put_CursorLocation(location));
    for (bool viaCommand : {false, true}) {
      SCOPED_TRACE(testing::Message() << "location " << location << (viaCommand ? ", Command" : ", Connection"));
      ComPtr<_Recordset> rs;
      TVariant affected;
      if (viaCommand)
        ASSERT_HRESULT_SUCCEEDED(NewCommand(sql)->Execute(&affected.V, nullptr, adCmdText, &rs));
      else
        ASSERT_HRESULT_SUCCEEDED(Conn->Execute(TBstr(sql).B, &affected.V, adOptionUnspecified, &rs));
      ASSERT_TRUE(rs);
      EXPECT_EQ(-1, V_I4(&affected.V)) << "a query changes no rows";
      CursorLocationEnum rsLocation = adUseNone;
      CursorTypeEnum type = adOpenUnspecified;
      LockTypeEnum lock = adLockUnspecified;
      EXPECT_HRESULT_SUCCEEDED(rs->get_CursorLocation(&rsLocation));
      EXPECT_HRESULT_SUCCEEDED(rs->get_CursorType(&type));
      EXPECT_HRESULT_SUCCEEDED(rs->get_LockType(&lock));
      EXPECT_EQ(location, rsLocation);
      EXPECT_EQ(location == adUseClient ? adOpenStatic : adOpenForwardOnly, type);
      EXPECT_EQ(adLockReadOnly, lock);
      EXPECT_EQ(location == adUseClient ? 3 : -1, Count(rs.Get()));
      ASSERT_HRESULT_SUCCEEDED(rs->MoveNext());
      EXPECT_EQ(location == adUseClient ? S_OK : AdoErrorHResult(adErrFeatureNotAvailable), rs->MovePrevious());
    }
  }
}

TEST_F(AdoBridge, FilterShowsTheMatchingRowsOnly) {
  auto rs = NewRecordset();
  ASSERT_HRESULT_SUCCEEDED(Open(rs.Get(), L"SELECT * FROM B_Scanner ORDER BY FID"));
  struct TCase {
    const wchar_t* Filter;
    std::vector<std::wstring> Ids;
  };
  const TCase cases[] = {
    {L"FID = '202'", {L"202"}},
    {L"fid = '202'", {L"202"}},
    {L"FID = 'none'", {}},
    {L"FID <> '202'", {L"201", L"X01"}},
    {L"FType = 2 AND FSelect = 0", {L"202"}},
    {L"FID LIKE 'X*'", {L"X01"}},
    {L"FID LIKE '*0*'", {L"201", L"202", L"X01"}},
    {L"FID LIKE '%2%'", {L"201", L"202"}},
    {L"FName = '佳能'", {L"202"}},
    {L"", {L"201", L"202", L"X01"}},
  };
  for (const TCase& c : cases) {
    ASSERT_HRESULT_SUCCEEDED(rs->put_Filter(TVariant(std::wstring(c.Filter)).V)) << c.Filter;
    EXPECT_EQ(ADO_LONGPTR(c.Ids.size()), Count(rs.Get())) << c.Filter;
    EXPECT_EQ(c.Ids, Column(rs.Get(), L"FID")) << c.Filter;
  }
  EXPECT_EQ(AdoErrorHResult(adErrItemNotFound), rs->put_Filter(TVariant(std::wstring(L"FNothing = '1'")).V));
  // A LIKE wildcard belongs at the end, or at both ends.
  for (const wchar_t* wrong : {L"FID = 'open", L"FID LIKE '*1'", L"FID LIKE '2*1'", L"FID LIKE 'X*1*'"})
    EXPECT_EQ(AdoErrorHResult(adErrInvalidArgument), rs->put_Filter(TVariant(std::wstring(wrong)).V)) << wrong;
  ASSERT_HRESULT_SUCCEEDED(rs->put_Filter(TVariant(int(adFilterNone)).V));
  EXPECT_EQ(3, Count(rs.Get()));

  ASSERT_HRESULT_SUCCEEDED(rs->Close());
  EXPECT_EQ(AdoErrorHResult(adErrObjectClosed), rs->put_Filter(TVariant(std::wstring(L"")).V));
}

// ADO documents no exception for forward-only cursors: the filter works and restarts the cursor.
TEST_F(AdoBridge, FilterWorksOnAForwardOnlyCursor) {
  auto rs = NewRecordset();
  ASSERT_HRESULT_SUCCEEDED(Open(rs.Get(), L"SELECT FID FROM B_Scanner ORDER BY FID", adOpenForwardOnly));
  ASSERT_HRESULT_SUCCEEDED(rs->MoveNext());
  ASSERT_HRESULT_SUCCEEDED(rs->put_Filter(TVariant(std::wstring(L"FID <> '202'")).V));
  EXPECT_EQ(-1, Count(rs.Get()));
  EXPECT_EQ((std::vector<std::wstring>{L"201", L"X01"}), Column(rs.Get(), L"FID"));
  ASSERT_HRESULT_SUCCEEDED(rs->put_Filter(TVariant(std::wstring(L"")).V));
  EXPECT_EQ((std::vector<std::wstring>{L"201", L"202", L"X01"}), Column(rs.Get(), L"FID"));
}

TEST_F(AdoBridge, ChineseTextRoundTripsBetweenAdoAndTheDatabase) {
  ASSERT_EQ(936u, GetACP());
  const std::string name = "扫描仪‘甲’";  // GBK at run time
  ASSERT_HRESULT_SUCCEEDED(Execute(L"UPDATE B_Scanner SET FName = '" + Wide(name) + L"' WHERE FID = '201'"));
  EXPECT_EQ(name, Db.ScannerRows()[0].FName);

  auto rs = NewRecordset();
  ASSERT_HRESULT_SUCCEEDED(Open(rs.Get(), L"SELECT FName FROM B_Scanner WHERE FName LIKE '%佳%'"));
  EXPECT_EQ((std::vector<std::wstring>{L"佳能"}), Column(rs.Get(), L"FName"));
}

// Each failure of the database comes back with OLE DB's HRESULT for it, through every way a
// statement is run, with the database's message as the error's description and in Errors.
TEST_F(AdoBridge, FailuresCarryOleDbsHResultAndTheDatabasesMessage) {
  Db.Exec("CREATE TABLE B_Checked (FID varchar(20) NOT NULL UNIQUE, FAmount integer CHECK (FAmount >= 0))");
  Db.Exec("INSERT INTO B_Checked VALUES ('a', 1)");
  struct TCase {
    const wchar_t* Sql;
    HRESULT Hr;
    const wchar_t* Message;
  };
  const TCase cases[] = {
    {L"UPDATE B_Scanner SET WHERE", DB_E_ERRORSINCOMMAND, L"syntax error"},
    {L"SELECT * FROM B_Missing", DB_E_NOTABLE, L"no such table: B_Missing"},
    {L"DELETE FROM B_Missing", DB_E_NOTABLE, L"no such table: B_Missing"},
    {L"SELECT FNothing FROM B_Scanner", DB_E_ERRORSINCOMMAND, L"no such column: FNothing"},
    {L"INSERT INTO B_Scanner (FNothing) VALUES (1)", DB_E_ERRORSINCOMMAND, L"has no column named FNothing"},
    {L"INSERT INTO B_Checked (FID, FAmount) VALUES ('a', 2)", DB_E_INTEGRITYVIOLATION, L"UNIQUE constraint failed"},
    {L"INSERT INTO B_Checked (FAmount) VALUES (2)", DB_E_INTEGRITYVIOLATION, L"NOT NULL constraint failed"},
    {L"UPDATE B_Checked SET FAmount = -1", DB_E_INTEGRITYVIOLATION, L"CHECK constraint failed"},
    {L"SELECT * FROM B_Scanner WHERE FID = ?", DB_E_PARAMNOTOPTIONAL, L"unbound parameters"},
  };
  enum TPath { ConnectionExecute, CommandExecute, RecordsetOpen };
  for (const TCase& c : cases) {
    for (TPath path : {ConnectionExecute, CommandExecute, RecordsetOpen}) {
      SCOPED_TRACE(testing::Message() << Gbk(c.Sql) << " path " << path);
      TVariant affected;
      HRESULT hr = S_OK;
      if (path == ConnectionExecute)
        hr = Conn->Execute(TBstr(c.Sql).B, &affected.V, adCmdText, nullptr);
      else if (path == CommandExecute)
        hr = Execute(c.Sql);
      else
        hr = Open(NewRecordset().Get(), c.Sql);
      EXPECT_EQ(c.Hr, hr);
      const std::wstring description = ErrorDescription();
      EXPECT_NE(std::wstring::npos, description.find(c.Message)) << Gbk(description);

      const std::vector<TErrorSeen> errors = ErrorsOf(Conn);
      ASSERT_EQ(1u, errors.size());
      EXPECT_EQ(c.Hr, errors[0].Number);
      EXPECT_EQ(description, errors[0].Description);
      EXPECT_EQ(ProviderSource, errors[0].Source);
      EXPECT_EQ(L"HY000", errors[0].SqlState);
    }
  }
  EXPECT_EQ(1u, Db.Query("SELECT * FROM B_Checked").size());

  // The driver manager's failure to connect: E_FAIL, as the provider says then, with its message in Errors.
  ComPtr<_Connection> nowhere;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_AdoConnection, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&nowhere)));
  EXPECT_EQ(E_FAIL, nowhere->Open(TBstr(L"Driver=QrxNoSuchDriver;Database=x").B, nullptr, nullptr, adOptionUnspecified));
  const std::vector<TErrorSeen> errors = ErrorsOf(nowhere.Get());
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(E_FAIL, errors[0].Number);
  EXPECT_EQ(ErrorDescription(), errors[0].Description);
  EXPECT_NE(std::wstring::npos, errors[0].Description.find(L"QrxNoSuchDriver")) << Gbk(errors[0].Description);

  // A failure inside a transaction leaves it to the caller to roll back.
  long level = 0;
  ASSERT_HRESULT_SUCCEEDED(Conn->BeginTrans(&level));
  EXPECT_HRESULT_SUCCEEDED(Execute(L"DELETE FROM B_Scanner"));
  EXPECT_EQ(DB_E_NOTABLE, Execute(L"DELETE FROM B_Missing"));
  ASSERT_HRESULT_SUCCEEDED(Conn->RollbackTrans());
  EXPECT_EQ(3u, Db.ScannerRows().size());
}

// Errors holds the provider errors of the last operation that failed: later successes and ADO's own
// errors leave it alone, the next provider error replaces it, Errors.Clear empties it.
TEST_F(AdoBridge, ErrorsKeepTheLastProviderFailureUntilTheNextOne) {
  EXPECT_TRUE(ErrorsOf(Conn).empty());
  ASSERT_EQ(DB_E_NOTABLE, Execute(L"SELECT * FROM B_Missing"));
  const std::vector<TErrorSeen> first = ErrorsOf(Conn);
  ASSERT_EQ(1u, first.size());
  EXPECT_EQ(DB_E_NOTABLE, first[0].Number);

  // Successes of every kind.
  long level = 0, rows = 0;
  ASSERT_HRESULT_SUCCEEDED(Execute(L"UPDATE B_Scanner SET FSelect = 1", &rows));
  TVariant affected;
  ASSERT_HRESULT_SUCCEEDED(Conn->Execute(TBstr(L"DELETE FROM B_Scanner WHERE 1 = 0").B, &affected.V, adCmdText, nullptr));
  auto rs = NewRecordset();
  ASSERT_HRESULT_SUCCEEDED(Open(rs.Get(), L"SELECT FID FROM B_Scanner"));
  ASSERT_HRESULT_SUCCEEDED(Conn->BeginTrans(&level));
  ASSERT_HRESULT_SUCCEEDED(Conn->CommitTrans());
  // ADO's own errors.
  EXPECT_EQ(AdoErrorHResult(adErrItemNotFound), rs->put_Filter(TVariant(std::wstring(L"FNothing = 1")).V));
  ASSERT_HRESULT_SUCCEEDED(rs->Close());
  EXPECT_EQ(AdoErrorHResult(adErrObjectClosed), rs->MoveNext());

  std::vector<TErrorSeen> now = ErrorsOf(Conn);
  ASSERT_EQ(1u, now.size());
  EXPECT_EQ(first[0].Number, now[0].Number);
  EXPECT_EQ(first[0].Description, now[0].Description);

  // The next provider error replaces it: the database's, or the provider's own.
  EXPECT_EQ(DB_E_ERRORSINCOMMAND, Open(NewRecordset().Get(), L"SELEC nonsense"));
  now = ErrorsOf(Conn);
  ASSERT_EQ(1u, now.size());
  EXPECT_EQ(DB_E_ERRORSINCOMMAND, now[0].Number);
  EXPECT_NE(std::wstring::npos, now[0].Description.find(L"syntax error"));
  EXPECT_EQ(XACT_E_NOTRANSACTION, Conn->RollbackTrans());
  now = ErrorsOf(Conn);
  ASSERT_EQ(1u, now.size());
  EXPECT_EQ(XACT_E_NOTRANSACTION, now[0].Number);
  EXPECT_EQ(L"No transaction is active.", now[0].Description);

  ComPtr<Errors> errors;
  ASSERT_HRESULT_SUCCEEDED(Conn->get_Errors(&errors));
  ASSERT_HRESULT_SUCCEEDED(errors->Clear());
  EXPECT_TRUE(ErrorsOf(Conn).empty());
  ComPtr<Error> none;
  EXPECT_EQ(AdoErrorHResult(adErrItemNotFound), errors->get_Item(TVariant(0).V, &none));
}

TEST_F(AdoBridge, ClosedConnectionRefusesEveryOperation) {
  Db.CloseConnection();
  LONG state = adStateOpen;
  EXPECT_HRESULT_SUCCEEDED(Conn->get_State(&state));
  EXPECT_EQ(adStateClosed, state);

  long level = 0;
  EXPECT_EQ(AdoErrorHResult(adErrObjectClosed), Conn->BeginTrans(&level));
  EXPECT_EQ(L"Operation is not allowed when the object is closed.", ErrorDescription());
  TVariant affected;
  EXPECT_EQ(AdoErrorHResult(adErrObjectClosed), Conn->Execute(TBstr(L"SELECT 1").B, &affected.V, adCmdText, nullptr));

  // A command takes no closed connection, and runs nothing without one.
  const std::wstring invalid =
      L"The connection cannot be used to perform this operation. It is either closed or invalid in this context.";
  ComPtr<_Command> cmd;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_AdoCommand, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&cmd)));
  EXPECT_EQ(AdoErrorHResult(adErrInvalidConnection), cmd->put_ActiveConnection(TVariant(Conn).V));
  EXPECT_EQ(invalid, ErrorDescription());
  EXPECT_EQ(AdoErrorHResult(adErrInvalidConnection), cmd->putref_ActiveConnection(Conn));
  ASSERT_HRESULT_SUCCEEDED(cmd->put_CommandText(TBstr(L"UPDATE B_Scanner SET FSelect = 0").B));
  EXPECT_EQ(AdoErrorHResult(adErrInvalidConnection), cmd->Execute(&affected.V, nullptr, adCmdText, nullptr));
  EXPECT_EQ(invalid, ErrorDescription());
  auto rs = NewRecordset();
  EXPECT_EQ(AdoErrorHResult(adErrInvalidConnection), Open(rs.Get(), L"SELECT * FROM B_Scanner"));
  EXPECT_EQ(invalid, ErrorDescription());
  EXPECT_TRUE(Db.Statements().empty()) << "nothing reached the database";
  EXPECT_EQ(3u, Db.ScannerRows().size());
}

// Closing a connection closes its open recordsets and sets its commands' ActiveConnection to Nothing.
TEST_F(AdoBridge, ClosingTheConnectionClosesItsRecordsetsAndLeavesItsCommands) {
  ComPtr<_Connection> connection = Connect(L"");
  ComPtr<_Command> cmd = NewCommand(connection.Get(), L"SELECT FID FROM B_Scanner");
  auto rs = NewRecordset();
  TVariant source(std::wstring(L"SELECT FID FROM B_Scanner")), active(connection.Get());
  ASSERT_HRESULT_SUCCEEDED(rs->Open(source.V, active.V, adOpenStatic, adLockReadOnly, adCmdText));
  auto other = NewRecordset();
  ASSERT_HRESULT_SUCCEEDED(Open(other.Get(), L"SELECT FID FROM B_Scanner"));

  ASSERT_HRESULT_SUCCEEDED(connection->Close());
  LONG state = adStateOpen;
  EXPECT_HRESULT_SUCCEEDED(rs->get_State(&state));
  EXPECT_EQ(adStateClosed, state);
  ADO_LONGPTR count = 0;
  EXPECT_EQ(AdoErrorHResult(adErrObjectClosed), rs->get_RecordCount(&count));
  EXPECT_EQ(3, Count(other.Get())) << "a recordset on another connection stays open";

  ComPtr<_Connection> now;
  EXPECT_HRESULT_SUCCEEDED(cmd->get_ActiveConnection(&now));
  EXPECT_FALSE(now);
  // Reopening the connection does not give it back to the command.
  ASSERT_HRESULT_SUCCEEDED(connection->Open(TBstr(Db.ConnectionString()).B, nullptr, nullptr, adOptionUnspecified));
  TVariant affected;
  EXPECT_EQ(AdoErrorHResult(adErrInvalidConnection), cmd->Execute(&affected.V, nullptr, adCmdText, nullptr));
}

// What this server does not run is refused before anything reaches the database: ADO's errors for
// options and parameters, the provider's for a missing command text.
TEST_F(AdoBridge, StatementsRunOnlyAsTextWithoutParameters) {
  const HRESULT invalid = AdoErrorHResult(adErrInvalidArgument), unsupported = AdoErrorHResult(adErrFeatureNotAvailable);
  const std::wstring sql = L"UPDATE B_Scanner SET FSelect = 1";
  TVariant affected;
  struct TOptionCase {
    long Options;
    HRESULT Hr;
  };
  for (const TOptionCase& c : {TOptionCase{adCmdStoredProc, unsupported}, TOptionCase{adCmdTable, unsupported},
                               TOptionCase{adCmdText | adAsyncExecute, unsupported},
                               TOptionCase{adCmdText | adCmdTable, invalid}, TOptionCase{0x40000, invalid}}) {
    EXPECT_EQ(c.Hr, NewCommand(sql)->Execute(&affected.V, nullptr, c.Options, nullptr)) << c.Options;
    EXPECT_EQ(c.Hr, Conn->Execute(TBstr(sql).B, &affected.V, c.Options, nullptr)) << c.Options;
  }
  auto rs = NewRecordset();
  TVariant source(sql), connection(Conn);
  EXPECT_EQ(invalid, rs->Open(source.V, connection.V, adOpenStatic, adLockReadOnly, adCmdText | adExecuteNoRecords));
  EXPECT_EQ(invalid, rs->Open(source.V, connection.V, CursorTypeEnum(9), adLockReadOnly, adCmdText));

  // Parameter values: this server has no parameters.
  SAFEARRAY* values = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  TVariant parameters;
  V_VT(&parameters.V) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&parameters.V) = values;
  EXPECT_EQ(unsupported, NewCommand(sql)->Execute(&affected.V, &parameters.V, adCmdText, nullptr));
  EXPECT_TRUE(Db.Statements().empty()) << "nothing reached the database";

  // No command text: the provider's error, in Errors.
  EXPECT_EQ(DB_E_NOCOMMAND, NewCommand(L"")->Execute(&affected.V, nullptr, adCmdText, nullptr));
  const std::vector<TErrorSeen> errors = ErrorsOf(Conn);
  ASSERT_EQ(1u, errors.size());
  EXPECT_EQ(DB_E_NOCOMMAND, errors[0].Number);

  // Unspecified options run a statement text and hand back its rows.
  ComPtr<_Recordset> rows;
  ASSERT_HRESULT_SUCCEEDED(Conn->Execute(TBstr(L"SELECT FID FROM B_Scanner").B, &affected.V, adOptionUnspecified, &rows));
  ASSERT_TRUE(rows);
  EXPECT_FALSE(Eof(rows.Get()));
}

TEST_F(AdoBridge, LogHoldsEveryStatementInOrderByteForByte) {
  const std::string update = "UPDATE B_Scanner SET FName = '富士通' WHERE FID = '201'";
  ASSERT_HRESULT_SUCCEEDED(Execute(Wide(update)));
  TVariant affected;
  ASSERT_HRESULT_SUCCEEDED(Conn->Execute(TBstr(L"DELETE FROM B_Scanner WHERE 1 = 0").B, &affected.V, adCmdText, nullptr));
  auto rs = NewRecordset();
  ASSERT_HRESULT_SUCCEEDED(Open(rs.Get(), L"SELECT FID, FType FROM B_Scanner WHERE FSelect = 1"));
  EXPECT_HRESULT_FAILED(Execute(L"SELEC nonsense"));
  Db.Exec("UPDATE B_Scanner SET FSelect = 0");  // direct: not logged
  Db.ScannerRows();

  EXPECT_EQ((std::vector<std::string>{update, "DELETE FROM B_Scanner WHERE 1 = 0",
                                      "SELECT FID, FType FROM B_Scanner WHERE FSelect = 1", "SELEC nonsense"}),
            Db.Statements());
  Db.ClearLog();
  EXPECT_TRUE(Db.Statements().empty());
}

TEST_F(AdoBridge, CommandExecuteHandsBackTheResultOfAQuery) {
  ASSERT_HRESULT_SUCCEEDED(Conn->put_CursorLocation(adUseClient));  // a client cursor counts
  TVariant affected;
  ComPtr<_Recordset> rs;
  ASSERT_HRESULT_SUCCEEDED(
      NewCommand(L"SELECT FID FROM B_Scanner WHERE FSelect = 1")->Execute(&affected.V, nullptr, adCmdText, &rs));
  ASSERT_TRUE(rs);
  EXPECT_EQ(1, Count(rs.Get()));
  EXPECT_EQ(L"201", Text(rs.Get(), L"FID"));

  // The interfaces every ADO version answers lead to the same command.
  ComPtr<Command15> old;
  EXPECT_HRESULT_SUCCEEDED(NewCommand(L"").As(&old));
}

}  // namespace
