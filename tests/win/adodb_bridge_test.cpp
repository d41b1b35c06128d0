// ADO over ODBC (tools/adodb-odbc) through ADO's own interfaces, as the library and a host use it:
// rows affected, transactions, recordsets, filters, texts, errors and the statement log.
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "TestDatabase.h"
#include "TestHost.h"
#include "data/UAdo.h"

using Microsoft::WRL::ComPtr;

namespace {

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

const std::vector<TScannerRow> Catalogue = {
  {"201", 2, "富士通", "fi-6130", "G", 1, "Fjtw\\fjtw.ds"},
  {"202", 2, "佳能", "DR-C225", "", 0, "Canon\\dr.ds"},
  {"X01", 7, "Test", "T", "P", 0, "x.ds"},
};

class AdoBridge : public ::testing::Test {
protected:
  TTestDatabase Db{Catalogue};
  _Connection* Conn = Db.Connection();

  ComPtr<_Command> NewCommand(const std::wstring& Sql) {
    ComPtr<_Command> cmd;
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_AdoCommand, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&cmd)));
    TVariant connection(Conn);
    EXPECT_HRESULT_SUCCEEDED(cmd->put_ActiveConnection(connection.V));
    EXPECT_HRESULT_SUCCEEDED(cmd->put_CommandText(TBstr(Sql).B));
    return cmd;
  }

  // Command.Execute as the database kit runs a statement; Rows gets RecordsAffected.
  HRESULT Execute(const std::wstring& Sql, long* Rows = nullptr) {
    TVariant affected;
    const HRESULT hr = NewCommand(Sql)->Execute(&affected.V, nullptr, adCmdText | adExecuteNoRecords, nullptr);
    if (Rows) *Rows = V_VT(&affected.V) == VT_I4 ? V_I4(&affected.V) : -999;
    return hr;
  }

  ComPtr<_Recordset> NewRecordset() {
    ComPtr<_Recordset> rs;
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_AdoRecordset, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&rs)));
    return rs;
  }

  HRESULT Open(_Recordset* Rs, const std::wstring& Sql) {
    TVariant source(Sql), connection(Conn);
    return Rs->Open(source.V, connection.V, adOpenStatic, adLockOptimistic, adCmdText);
  }

  static ADO_LONGPTR Count(_Recordset* Rs) {
    ADO_LONGPTR n = -1;  // every byte set: the call must write all of them
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

TEST_F(AdoBridge, RollbackUndoesAndCommitKeepsTheTransactionsStatements) {
  long level = 0;
  ASSERT_HRESULT_SUCCEEDED(Conn->BeginTrans(&level));
  EXPECT_EQ(1, level);
  EXPECT_HRESULT_SUCCEEDED(Execute(L"UPDATE B_Scanner SET FSelect = 1"));
  EXPECT_HRESULT_SUCCEEDED(Execute(L"DELETE FROM B_Scanner WHERE FID = '202'"));
  EXPECT_HRESULT_FAILED(Conn->BeginTrans(&level)) << "no nested transactions";
  ASSERT_HRESULT_SUCCEEDED(Conn->RollbackTrans());
  std::vector<TScannerRow> rows = Db.ScannerRows();
  ASSERT_EQ(3u, rows.size());
  EXPECT_EQ(0, rows[1].FSelect);

  ASSERT_HRESULT_SUCCEEDED(Conn->BeginTrans(&level));
  EXPECT_HRESULT_SUCCEEDED(Execute(L"UPDATE B_Scanner SET FSelect = 1 WHERE FID = '202'"));
  ASSERT_HRESULT_SUCCEEDED(Conn->CommitTrans());
  rows = Db.ScannerRows();
  EXPECT_EQ(1, rows[1].FSelect);

  EXPECT_HRESULT_FAILED(Conn->CommitTrans()) << "no transaction is active";
  EXPECT_HRESULT_FAILED(Conn->RollbackTrans());
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

  struct TColumnCase {
    int Index;
    const wchar_t* Name;
    DataTypeEnum Type;
    ADO_LONGPTR Size;
    VARTYPE ValueType;
  };
  const TColumnCase expected[] = {
    {0, L"FID", adVarChar, 20, VT_BSTR},
    {1, L"FType", adInteger, 4, VT_I4},
    {2, L"FName", adVarChar, 60, VT_BSTR},
    {4, L"FScanMode", adVarChar, 10, VT_BSTR},
    {5, L"FSelect", adInteger, 4, VT_I4},
    {6, L"FConfigFile", adVarChar, 255, VT_BSTR},
  };
  for (const TColumnCase& c : expected) {
    auto field = FieldOf(rs.Get(), TVariant(c.Index));
    ASSERT_TRUE(field);
    TBstr name;
    DataTypeEnum type = adEmpty;
    ADO_LONGPTR size = -1;
    TVariant value;
    EXPECT_HRESULT_SUCCEEDED(field->get_Name(&name.B));
    EXPECT_HRESULT_SUCCEEDED(field->get_Type(&type));
    EXPECT_HRESULT_SUCCEEDED(field->get_DefinedSize(&size));
    EXPECT_HRESULT_SUCCEEDED(field->get_Value(&value.V));
    EXPECT_EQ(c.Name, name.Str());
    EXPECT_EQ(c.Type, type) << c.Name;
    EXPECT_EQ(c.Size, size) << c.Name;
    EXPECT_EQ(c.ValueType, V_VT(&value.V)) << c.Name;
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
    {L"FName = '佳能'", {L"202"}},
    {L"", {L"201", L"202", L"X01"}},
  };
  for (const TCase& c : cases) {
    ASSERT_HRESULT_SUCCEEDED(rs->put_Filter(TVariant(std::wstring(c.Filter)).V)) << c.Filter;
    EXPECT_EQ(ADO_LONGPTR(c.Ids.size()), Count(rs.Get())) << c.Filter;
    EXPECT_EQ(c.Ids, Column(rs.Get(), L"FID")) << c.Filter;
  }
  EXPECT_EQ(AdoErrorHResult(adErrItemNotFound), rs->put_Filter(TVariant(std::wstring(L"FNothing = '1'")).V));
  EXPECT_EQ(AdoErrorHResult(adErrInvalidArgument), rs->put_Filter(TVariant(std::wstring(L"FID = 'open")).V));
  ASSERT_HRESULT_SUCCEEDED(rs->put_Filter(TVariant(int(adFilterNone)).V));
  EXPECT_EQ(3, Count(rs.Get()));

  ASSERT_HRESULT_SUCCEEDED(rs->Close());
  EXPECT_EQ(AdoErrorHResult(adErrObjectClosed), rs->put_Filter(TVariant(std::wstring(L"")).V));
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

TEST_F(AdoBridge, FailuresCarryTheDatabasesOwnMessage) {
  struct TCase {
    const wchar_t* Sql;
    const wchar_t* Message;
  };
  const TCase cases[] = {
    {L"UPDATE B_Scanner SET WHERE", L"syntax error"},
    {L"SELECT * FROM B_Missing", L"no such table: B_Missing"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(E_FAIL, Execute(c.Sql)) << c.Sql;
    const std::wstring description = ErrorDescription();
    EXPECT_NE(std::wstring::npos, description.find(c.Message)) << description;

    // The connection's Errors hold the same text.
    ComPtr<Errors> errors;
    ComPtr<Error> first;
    ASSERT_HRESULT_SUCCEEDED(Conn->get_Errors(&errors));
    ASSERT_HRESULT_SUCCEEDED(errors->get_Item(TVariant(0).V, &first));
    TBstr text;
    first->get_Description(&text.B);
    EXPECT_EQ(description, text.Str());

    auto rs = NewRecordset();
    EXPECT_EQ(E_FAIL, Open(rs.Get(), c.Sql)) << c.Sql;
    EXPECT_EQ(description, ErrorDescription());
  }
  // A failure inside a transaction leaves it to the caller to roll back.
  long level = 0;
  ASSERT_HRESULT_SUCCEEDED(Conn->BeginTrans(&level));
  EXPECT_HRESULT_SUCCEEDED(Execute(L"DELETE FROM B_Scanner"));
  EXPECT_HRESULT_FAILED(Execute(L"DELETE FROM B_Missing"));
  ASSERT_HRESULT_SUCCEEDED(Conn->RollbackTrans());
  EXPECT_EQ(3u, Db.ScannerRows().size());
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

  const std::wstring invalid =
      L"The connection cannot be used to perform this operation. It is either closed or invalid in this context.";
  EXPECT_EQ(AdoErrorHResult(adErrInvalidConnection), Execute(L"UPDATE B_Scanner SET FSelect = 0"));
  EXPECT_EQ(invalid, ErrorDescription());
  auto rs = NewRecordset();
  EXPECT_EQ(AdoErrorHResult(adErrInvalidConnection), Open(rs.Get(), L"SELECT * FROM B_Scanner"));
  EXPECT_EQ(invalid, ErrorDescription());
  EXPECT_TRUE(Db.Statements().empty()) << "nothing reached the database";
  EXPECT_EQ(3u, Db.ScannerRows().size());
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
