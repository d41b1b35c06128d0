// ADODB.Connection over an ODBC connection.
#include "AdoOdbc.h"

#include <oledberr.h>

#include <cwctype>

#include "AdoColumns.h"
#include "AdoFaults.h"
#include "AdoErrors.h"

namespace {

const wchar_t ConnectionSource[] = L"ADODB.Connection";
// ADO's error number for closing a connection inside a transaction (adErrInTransaction).
const int AdoErrInTransaction = 3246;
// Open's ConnectOptionEnum flag for an asynchronous open.
const long AdoAsyncConnect = 0x10;

// Identifies this server's own connection object behind a foreign-looking _Connection pointer.
// {5C2E7A4B-9D1F-4E38-A6B0-3F41C8D20E17}
const IID IID_OdbcConnection = {0x5c2e7a4b, 0x9d1f, 0x4e38, {0xa6, 0xb0, 0x3f, 0x41, 0xc8, 0xd2, 0x0e, 0x17}};

BSTR AllocBstr(const std::wstring& Text) { return SysAllocStringLen(Text.data(), UINT(Text.size())); }

std::wstring FromBstr(BSTR Text) { return Text ? std::wstring(Text, SysStringLen(Text)) : std::wstring(); }

std::wstring Trimmed(const std::wstring& Text) {
  const size_t first = Text.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return {};
  return Text.substr(first, Text.find_last_not_of(L" \t") - first + 1);
}

bool SameText(const std::wstring& A, const wchar_t* B) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, A.c_str(), int(A.size()), B, -1) == CSTR_EQUAL;
}

// Takes our own key NoCount ("0" or "1") out of a connection string; the rest goes to ODBC as it
// is. Values in braces may hold semicolons. False when NoCount has any other value.
bool SplitNoCount(const std::wstring& Text, std::wstring& Odbc, bool& NoCount) {
  Odbc.clear();
  NoCount = false;
  size_t i = 0;
  while (i < Text.size()) {
    size_t end = i;
    bool braced = false;
    while (end < Text.size() && (braced || Text[end] != L';')) {
      if (Text[end] == L'{') braced = true;
      else if (Text[end] == L'}') braced = false;
      ++end;
    }
    const std::wstring attribute = Text.substr(i, end - i);
    const size_t equals = attribute.find(L'=');
    if (equals != std::wstring::npos && SameText(Trimmed(attribute.substr(0, equals)), L"NoCount")) {
      const std::wstring value = Trimmed(attribute.substr(equals + 1));
      if (value != L"0" && value != L"1") return false;
      NoCount = value == L"1";
    } else if (!Trimmed(attribute).empty()) {
      if (!Odbc.empty()) Odbc += L';';
      Odbc += attribute;
    }
    i = end + 1;
  }
  return true;
}

// Only these statements report rows affected; SQL Server says -1 for the others (DDL above all),
// where the SQLite driver would repeat an earlier count.
bool CountsRows(const std::wstring& Sql) {
  size_t i = 0;
  while (i < Sql.size() && (iswspace(Sql[i]) || Sql[i] == L'(')) ++i;
  size_t end = i;
  while (end < Sql.size() && iswalpha(Sql[end])) ++end;
  const std::wstring verb = Sql.substr(i, end - i);
  return SameText(verb, L"INSERT") || SameText(verb, L"UPDATE") || SameText(verb, L"DELETE") ||
         SameText(verb, L"REPLACE");
}

void SetRowsAffected(VARIANT* RecordsAffected, long Count) {
  if (!RecordsAffected) return;
  VariantClear(RecordsAffected);
  V_VT(RecordsAffected) = VT_I4;
  V_I4(RecordsAffected) = Count;
}

}  // namespace

bool IsCursorLocation(long Value) { return Value == adUseNone || Value == adUseServer || Value == adUseClient; }

TAdoConnection::~TAdoConnection() {
  // Falling out of scope inside a transaction rolls it back, as ADO does.
  if (FDbc && FInTransaction) SQLEndTran(SQL_HANDLE_DBC, FDbc.get(), SQL_ROLLBACK);
}

bool TAdoConnection::Answers(REFIID riid) const {
  return riid == __uuidof(_Connection) || riid == __uuidof(Connection15) || riid == __uuidof(_ADO);
}

HRESULT STDMETHODCALLTYPE TAdoConnection::QueryInterface(REFIID riid, void** ppv) {
  if (ppv && riid == IID_OdbcConnection) {
    *ppv = static_cast<TAdoConnection*>(this);
    AddRef();
    return S_OK;
  }
  return TComObject<_Connection>::QueryInterface(riid, ppv);
}

TAdoConnection* TAdoConnection::FromUnknown(IUnknown* Unknown) {
  void* self = nullptr;
  if (!Unknown || FAILED(Unknown->QueryInterface(IID_OdbcConnection, &self))) return nullptr;
  TAdoConnection* connection = static_cast<TAdoConnection*>(self);
  connection->Release();  // the caller holds its own reference through Unknown
  return connection;
}

TAdoConnection* TAdoConnection::FromVariant(const VARIANT& Value) {
  switch (V_VT(&Value)) {
    case VT_DISPATCH: return FromUnknown(V_DISPATCH(&Value));
    case VT_UNKNOWN: return FromUnknown(V_UNKNOWN(&Value));
    case VT_DISPATCH | VT_BYREF: return V_DISPATCHREF(&Value) ? FromUnknown(*V_DISPATCHREF(&Value)) : nullptr;
    case VT_UNKNOWN | VT_BYREF: return V_UNKNOWNREF(&Value) ? FromUnknown(*V_UNKNOWNREF(&Value)) : nullptr;
    case VT_VARIANT | VT_BYREF: return V_VARIANTREF(&Value) ? FromVariant(*V_VARIANTREF(&Value)) : nullptr;
    default: return nullptr;
  }
}

void TAdoConnection::AddUser(TConnectionUser* User) {
  if (std::find(FUsers.begin(), FUsers.end(), User) == FUsers.end()) FUsers.push_back(User);
}

void TAdoConnection::RemoveUser(TConnectionUser* User) {
  FUsers.erase(std::remove(FUsers.begin(), FUsers.end(), User), FUsers.end());
}

// The provider's failure replaces what Errors held: every diagnostic record, the first one being
// the error's description.
HRESULT TAdoConnection::DatabaseError(REFIID Iid, SQLSMALLINT HandleType, SQLHANDLE Handle) {
  FErrors = ReadDiagnostics(HandleType, Handle);
  return RaiseError(Iid, FErrors.front().Number, ProviderSource, FErrors.front().Description);
}

HRESULT TAdoConnection::ProviderError(REFIID Iid, HRESULT Hr, const std::wstring& Description) {
  FErrors = {{Hr, ProviderSource, Description, L"", 0}};
  return RaiseError(Iid, Hr, ProviderSource, Description);
}

// A success leaves Errors as they are: only the next provider error (or Errors.Clear) replaces them.
HRESULT TAdoConnection::Run(const std::wstring& Sql, REFIID Iid, const wchar_t* Source, int ClosedError,
                            TResult& Out) {
  if (!FDbc) return AdoError(Iid, Source, ClosedError);
  LogStatement(Sql);
  if (ConnectionDropsNow()) {
    // Armed by a test: the link is gone, and with it the transaction the server had open.
    SQLEndTran(SQL_HANDLE_DBC, FDbc.get(), SQL_ROLLBACK);
    SQLDisconnect(FDbc.get());
  }
  const TFaultStage fault = TakeStatementFault(Sql);
  const std::wstring run = fault == TFaultStage::Execute ? std::wstring(RejectedStatement) : Sql;
  SQLHSTMT handle = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, FDbc.get(), &handle)))
    return DatabaseError(Iid, SQL_HANDLE_DBC, FDbc.get());
  TOdbcStatement st(handle);
  SQLRETURN r = SQLExecDirectW(handle, reinterpret_cast<SQLWCHAR*>(const_cast<wchar_t*>(run.c_str())),
                               SQLINTEGER(run.size()));
  const bool counts = !FNoCount && CountsRows(Sql);
  // An UPDATE or DELETE that matched nothing.
  if (r == SQL_NO_DATA) {
    Out.RowsAffected = counts ? 0 : -1;
    return S_OK;
  }
  if (!SQL_SUCCEEDED(r)) return DatabaseError(Iid, SQL_HANDLE_STMT, handle);

  SQLSMALLINT columns = 0;
  SQLNumResultCols(handle, &columns);
  if (columns == 0) {
    SQLLEN count = -1;
    if (counts && !SQL_SUCCEEDED(SQLRowCount(handle, &count))) count = -1;
    Out.RowsAffected = counts ? long(count) : -1;
    return S_OK;
  }
  if (!DescribeColumns(FDbc.get(), handle, Out.Columns)) return DatabaseError(Iid, SQL_HANDLE_STMT, handle);
  if (fault == TFaultStage::Read) {
    SQLFetch(handle);
    return ProviderError(Iid, E_FAIL, L"Communication link failure: the result set broke off while its rows were read.");
  }
  while ((r = SQLFetch(handle)) != SQL_NO_DATA) {
    if (!SQL_SUCCEEDED(r)) return DatabaseError(Iid, SQL_HANDLE_STMT, handle);
    std::vector<TVar> row(columns);
    for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(columns); ++i) {
      const HRESULT hr = ReadValue(handle, i, Out.Columns[i - 1], row[i - 1]);
      if (hr == E_FAIL) return DatabaseError(Iid, SQL_HANDLE_STMT, handle);
      if (FAILED(hr))
        return ProviderError(Iid, hr, L"The value in column " + Out.Columns[i - 1].Name +
                                          L" cannot be converted to the column's type.");
    }
    Out.Rows.push_back(std::move(row));
  }
  Out.RowsAffected = -1;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::get_ConnectionString(BSTR* pbstr) {
  return pbstr ? (*pbstr = AllocBstr(FConnectionString), S_OK) : E_POINTER;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::put_ConnectionString(BSTR bstr) {
  if (FDbc) return AdoError(__uuidof(_Connection), ConnectionSource, adErrObjectOpen);
  FConnectionString = FromBstr(bstr);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::get_CommandTimeout(LONG* plTimeout) {
  return plTimeout ? (*plTimeout = FCommandTimeout, S_OK) : E_POINTER;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::put_CommandTimeout(LONG lTimeout) {
  if (lTimeout < 0) return AdoError(__uuidof(_Connection), ConnectionSource, adErrInvalidArgument);
  FCommandTimeout = lTimeout;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::get_ConnectionTimeout(LONG* plTimeout) {
  return plTimeout ? (*plTimeout = FConnectionTimeout, S_OK) : E_POINTER;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::put_ConnectionTimeout(LONG lTimeout) {
  if (FDbc) return AdoError(__uuidof(_Connection), ConnectionSource, adErrObjectOpen);
  if (lTimeout < 0) return AdoError(__uuidof(_Connection), ConnectionSource, adErrInvalidArgument);
  FConnectionTimeout = lTimeout;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::get_Version(BSTR* pbstr) {
  return pbstr ? (*pbstr = SysAllocString(L"2.8"), S_OK) : E_POINTER;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::get_Provider(BSTR* pbstr) {
  return pbstr ? (*pbstr = SysAllocString(L"MSDASQL"), S_OK) : E_POINTER;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::get_CursorLocation(CursorLocationEnum* plCursorLoc) {
  return plCursorLoc ? (*plCursorLoc = FCursorLocation, S_OK) : E_POINTER;
}

// Read and written at any time; it decides the cursors of the recordsets Execute hands back later.
HRESULT STDMETHODCALLTYPE TAdoConnection::put_CursorLocation(CursorLocationEnum lCursorLoc) {
  if (!IsCursorLocation(lCursorLoc)) return AdoError(__uuidof(_Connection), ConnectionSource, adErrInvalidArgument);
  FCursorLocation = lCursorLoc;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::get_State(LONG* plObjState) {
  return plObjState ? (*plObjState = FDbc ? adStateOpen : adStateClosed, S_OK) : E_POINTER;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::get_Errors(Errors** ppvObject) {
  if (!ppvObject) return E_POINTER;
  *ppvObject = NewErrors(this).Detach();
  return S_OK;
}

// The connection string goes to the ODBC driver manager as it is ("Driver=SQLite3;Database=..."),
// less our own NoCount key.
HRESULT STDMETHODCALLTYPE TAdoConnection::Open(BSTR ConnectionString, BSTR, BSTR, long Options) {
  if (FDbc) return AdoError(__uuidof(_Connection), ConnectionSource, adErrObjectOpen);
  if (Options != adOptionUnspecified && (Options & AdoAsyncConnect))
    return AdoError(__uuidof(_Connection), ConnectionSource, adErrFeatureNotAvailable);
  if (ConnectionString && SysStringLen(ConnectionString)) FConnectionString = FromBstr(ConnectionString);
  std::wstring odbc;
  bool noCount = false;
  if (!SplitNoCount(FConnectionString, odbc, noCount))
    return AdoError(__uuidof(_Connection), ConnectionSource, adErrInvalidArgument);
  if (!FEnv) {
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return E_OUTOFMEMORY;
    FEnv.reset(env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  }
  SQLHDBC handle = SQL_NULL_HDBC;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, FEnv.get(), &handle)))
    return DatabaseError(__uuidof(_Connection), SQL_HANDLE_ENV, FEnv.get());
  TOdbcConnection dbc(handle);
  SQLSetConnectAttr(handle, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(FConnectionTimeout)), 0);
  const SQLRETURN r = SQLDriverConnectW(handle, nullptr, reinterpret_cast<SQLWCHAR*>(&odbc[0]),
                                        SQLSMALLINT(odbc.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(r)) return DatabaseError(__uuidof(_Connection), SQL_HANDLE_DBC, handle);
  FDbc = std::move(dbc);
  FNoCount = noCount;
  FInTransaction = false;
  return S_OK;
}

// Closes the recordsets open on this connection and takes it from the commands that use it.
HRESULT STDMETHODCALLTYPE TAdoConnection::Close() {
  if (!FDbc) return AdoError(__uuidof(_Connection), ConnectionSource, adErrObjectClosed);
  if (FInTransaction) return AdoError(__uuidof(_Connection), ConnectionSource, AdoErrInTransaction);
  ComPtr<TAdoConnection> self(this);  // a command may drop the last reference but the caller's
  const std::vector<TConnectionUser*> users = FUsers;
  FUsers.clear();
  for (TConnectionUser* user : users) user->ConnectionClosed();
  FDbc.reset();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::Execute(BSTR CommandText, VARIANT* RecordsAffected, long Options,
                                                  _Recordset** ppiRset) {
  if (ppiRset) *ppiRset = nullptr;
  if (!FDbc) return AdoError(__uuidof(_Connection), ConnectionSource, adErrObjectClosed);
  HRESULT hr = CheckCommandOptions(Options, true, __uuidof(_Connection), ConnectionSource);
  if (FAILED(hr)) return hr;
  const std::wstring sql = FromBstr(CommandText);
  if (sql.empty())
    return ProviderError(__uuidof(_Connection), DB_E_NOCOMMAND, L"Command text was not set for the command object.");
  TResult result;
  hr = Run(sql, __uuidof(_Connection), ConnectionSource, adErrObjectClosed, result);
  if (FAILED(hr)) return hr;
  SetRowsAffected(RecordsAffected, result.RowsAffected);
  if (ppiRset && !WantsNoRecords(Options)) *ppiRset = NewRecordset(this, sql, std::move(result)).Detach();
  return S_OK;
}

// The provider for ODBC has no nested transactions: a second BeginTrans is its error.
HRESULT STDMETHODCALLTYPE TAdoConnection::BeginTrans(long* TransactionLevel) {
  if (!FDbc) return AdoError(__uuidof(_Connection), ConnectionSource, adErrObjectClosed);
  if (FInTransaction)
    return ProviderError(__uuidof(_Connection), XACT_E_XTIONEXISTS,
                         L"Only one transaction can be active on this session.");
  if (!SQL_SUCCEEDED(SQLSetConnectAttr(FDbc.get(), SQL_ATTR_AUTOCOMMIT,
                                       reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER)))
    return DatabaseError(__uuidof(_Connection), SQL_HANDLE_DBC, FDbc.get());
  FInTransaction = true;
  if (TransactionLevel) *TransactionLevel = 1;
  return S_OK;
}

HRESULT TAdoConnection::EndTransaction(SQLSMALLINT Completion) {
  if (!FDbc) return AdoError(__uuidof(_Connection), ConnectionSource, adErrObjectClosed);
  if (!FInTransaction) return ProviderError(__uuidof(_Connection), XACT_E_NOTRANSACTION, L"No transaction is active.");
  const SQLRETURN r = SQLEndTran(SQL_HANDLE_DBC, FDbc.get(), Completion);
  // A failed commit leaves the transaction open, as ADO does; the caller rolls back.
  if (!SQL_SUCCEEDED(r)) return DatabaseError(__uuidof(_Connection), SQL_HANDLE_DBC, FDbc.get());
  FInTransaction = false;
  SQLSetConnectAttr(FDbc.get(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::CommitTrans() { return EndTransaction(SQL_COMMIT); }
HRESULT STDMETHODCALLTYPE TAdoConnection::RollbackTrans() { return EndTransaction(SQL_ROLLBACK); }

HRESULT CreateConnection(REFIID riid, void** ppv) {
  ComPtr<TAdoConnection> object = Adopt<TAdoConnection>(new TAdoConnection);
  return object->QueryInterface(riid, ppv);
}
