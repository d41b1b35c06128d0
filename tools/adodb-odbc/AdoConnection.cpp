// ADODB.Connection and ADODB.Command over an ODBC connection, and the Errors collection.
#include "AdoOdbc.h"

namespace {

const wchar_t ConnectionSource[] = L"ADODB.Connection";
const wchar_t CommandSource[] = L"ADODB.Command";
// ADO reports what the database said under the name of the provider that said it.
const wchar_t ProviderSource[] = L"Microsoft OLE DB Provider for ODBC Drivers";

// Identifies this server's own connection object behind a foreign-looking _Connection pointer.
// {5C2E7A4B-9D1F-4E38-A6B0-3F41C8D20E17}
const IID IID_OdbcConnection = {0x5c2e7a4b, 0x9d1f, 0x4e38, {0xa6, 0xb0, 0x3f, 0x41, 0xc8, 0xd2, 0x0e, 0x17}};

BSTR AllocBstr(const std::wstring& Text) { return SysAllocStringLen(Text.data(), UINT(Text.size())); }

std::wstring FromBstr(BSTR Text) { return Text ? std::wstring(Text, SysStringLen(Text)) : std::wstring(); }

void SetRowsAffected(VARIANT* RecordsAffected, long Count) {
  if (!RecordsAffected) return;
  VariantClear(RecordsAffected);
  V_VT(RecordsAffected) = VT_I4;
  V_I4(RecordsAffected) = Count;
}

// ---- the Errors collection: the errors of the connection's last operation ----

class TAdoError : public TComObject<Error> {
public:
  explicit TAdoError(const TErrorRecord& Record) : FRecord(Record) {}
  HRESULT STDMETHODCALLTYPE get_Number(long* pl) override { return pl ? (*pl = FRecord.Number, S_OK) : E_POINTER; }
  HRESULT STDMETHODCALLTYPE get_Source(BSTR* pbstr) override { return Text(FRecord.Source, pbstr); }
  HRESULT STDMETHODCALLTYPE get_Description(BSTR* pbstr) override { return Text(FRecord.Description, pbstr); }
  HRESULT STDMETHODCALLTYPE get_HelpFile(BSTR* pbstr) override { return Text(L"", pbstr); }
  HRESULT STDMETHODCALLTYPE get_HelpContext(long* pl) override { return pl ? (*pl = 0, S_OK) : E_POINTER; }
  HRESULT STDMETHODCALLTYPE get_SQLState(BSTR* pbstr) override { return Text(FRecord.SqlState, pbstr); }
  HRESULT STDMETHODCALLTYPE get_NativeError(long* pl) override {
    return pl ? (*pl = FRecord.NativeError, S_OK) : E_POINTER;
  }

protected:
  bool Answers(REFIID riid) const override { return riid == __uuidof(Error); }

private:
  static HRESULT Text(const std::wstring& Value, BSTR* pbstr) {
    if (!pbstr) return E_POINTER;
    *pbstr = AllocBstr(Value);
    return S_OK;
  }
  TErrorRecord FRecord;
};

class TAdoErrors : public TComObject<Errors> {
public:
  explicit TAdoErrors(TAdoConnection* Connection) : FConnection(Connection) {}
  HRESULT STDMETHODCALLTYPE get_Count(long* c) override {
    return c ? (*c = long(FConnection->ErrorList().size()), S_OK) : E_POINTER;
  }
  HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Refresh() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT Index, Error** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    VARIANT number;
    VariantInit(&number);
    if (FAILED(VariantChangeType(&number, &Index, 0, VT_I4)) || V_I4(&number) < 0 ||
        size_t(V_I4(&number)) >= FConnection->ErrorList().size())
      return AdoError(__uuidof(Errors), L"ADODB.Errors", adErrItemNotFound);
    *ppvObject = new TAdoError(FConnection->ErrorList()[V_I4(&number)]);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clear() override {
    FConnection->ClearErrors();
    return S_OK;
  }

protected:
  bool Answers(REFIID riid) const override { return riid == __uuidof(Errors) || riid == __uuidof(_Collection); }

private:
  ComPtr<TAdoConnection> FConnection;
};

// ---- ADODB.Command ----

class TAdoCommand : public TComObject<_Command> {
public:
  HRESULT STDMETHODCALLTYPE get_Properties(Properties**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ActiveConnection(_Connection** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    *ppvObject = FConnection.Get();
    if (*ppvObject) (*ppvObject)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE putref_ActiveConnection(_Connection* pCon) override {
    return SetConnection(TAdoConnection::FromUnknown(pCon), pCon == nullptr);
  }
  HRESULT STDMETHODCALLTYPE put_ActiveConnection(VARIANT vConn) override {
    const VARTYPE type = V_VT(&vConn);
    return SetConnection(TAdoConnection::FromVariant(vConn), type == VT_EMPTY || type == VT_NULL);
  }
  HRESULT STDMETHODCALLTYPE get_CommandText(BSTR* pbstr) override {
    return pbstr ? (*pbstr = AllocBstr(FText), S_OK) : E_POINTER;
  }
  HRESULT STDMETHODCALLTYPE put_CommandText(BSTR bstr) override {
    FText = FromBstr(bstr);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_CommandTimeout(LONG* pl) override { return pl ? (*pl = FTimeout, S_OK) : E_POINTER; }
  HRESULT STDMETHODCALLTYPE put_CommandTimeout(LONG Timeout) override {
    FTimeout = Timeout;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Prepared(VARIANT_BOOL* pf) override { return pf ? (*pf = VARIANT_FALSE, S_OK) : E_POINTER; }
  HRESULT STDMETHODCALLTYPE put_Prepared(VARIANT_BOOL) override { return S_OK; }

  // Parameters are not supported: the statement text is run as it is.
  HRESULT STDMETHODCALLTYPE Execute(VARIANT* RecordsAffected, VARIANT* Parameters, long Options,
                                    _Recordset** ppirs) override {
    if (ppirs) *ppirs = nullptr;
    if (!FConnection) return AdoError(__uuidof(_Command), CommandSource, adErrInvalidConnection);
    TResult result;
    const HRESULT hr = FConnection->Run(FText, __uuidof(_Command), CommandSource, adErrInvalidConnection, result);
    if (FAILED(hr)) return hr;
    SetRowsAffected(RecordsAffected, result.RowsAffected);
    if (ppirs && !(Options & adExecuteNoRecords))
      *ppirs = NewRecordset(FConnection.Get(), FText, std::move(result)).Detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateParameter(BSTR, DataTypeEnum, ParameterDirectionEnum, ADO_LONGPTR, VARIANT,
                                            _Parameter**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_Parameters(Parameters**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_CommandType(CommandTypeEnum lCmdType) override {
    FType = lCmdType;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_CommandType(CommandTypeEnum* plCmdType) override {
    return plCmdType ? (*plCmdType = FType, S_OK) : E_POINTER;
  }
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstrName) override {
    return pbstrName ? (*pbstrName = AllocBstr(FName), S_OK) : E_POINTER;
  }
  HRESULT STDMETHODCALLTYPE put_Name(BSTR bstrName) override {
    FName = FromBstr(bstrName);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_State(LONG* plObjState) override {
    return plObjState ? (*plObjState = adStateClosed, S_OK) : E_POINTER;
  }
  HRESULT STDMETHODCALLTYPE Cancel() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE putref_CommandStream(IUnknown*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_CommandStream(VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Dialect(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Dialect(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_NamedParameters(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NamedParameters(VARIANT_BOOL*) override { return E_NOTIMPL; }

protected:
  bool Answers(REFIID riid) const override {
    return riid == __uuidof(_Command) || riid == __uuidof(Command25) || riid == __uuidof(Command15) ||
           riid == __uuidof(_ADO);
  }

private:
  HRESULT SetConnection(TAdoConnection* Connection, bool Clearing) {
    if (!Connection && !Clearing) return AdoError(__uuidof(_Command), CommandSource, adErrInvalidConnection);
    FConnection = Connection;
    return S_OK;
  }

  ComPtr<TAdoConnection> FConnection;
  std::wstring FText, FName;
  LONG FTimeout = 30;
  CommandTypeEnum FType = adCmdUnknown;
};

}  // namespace

// ---- ADODB.Connection ----

TAdoConnection::~TAdoConnection() {
  if (FDbc) {
    if (FInTransaction) SQLEndTran(SQL_HANDLE_DBC, FDbc, SQL_ROLLBACK);
    SQLDisconnect(FDbc);
    SQLFreeHandle(SQL_HANDLE_DBC, FDbc);
  }
  if (FEnv) SQLFreeHandle(SQL_HANDLE_ENV, FEnv);
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

// Keeps every diagnostic record in Errors; the first one is the error's description.
HRESULT TAdoConnection::DatabaseError(REFIID Iid, SQLSMALLINT HandleType, SQLHANDLE Handle) {
  FErrors.clear();
  for (SQLSMALLINT i = 1;; ++i) {
    SQLWCHAR state[6] = {};
    SQLWCHAR message[SQL_MAX_MESSAGE_LENGTH];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN r = SQLGetDiagRecW(HandleType, Handle, i, state, &native, message,
                                       SQL_MAX_MESSAGE_LENGTH, &length);
    if (!SQL_SUCCEEDED(r)) break;
    length = std::min<SQLSMALLINT>(length, SQL_MAX_MESSAGE_LENGTH - 1);
    FErrors.push_back({E_FAIL, ProviderSource, std::wstring(reinterpret_cast<wchar_t*>(message), length),
                       reinterpret_cast<wchar_t*>(state), long(native)});
  }
  if (FErrors.empty()) FErrors.push_back({E_FAIL, ProviderSource, L"Unspecified error", L"", 0});
  return RaiseError(Iid, E_FAIL, ProviderSource, FErrors.front().Description);
}

namespace {

DataTypeEnum AdoType(SQLSMALLINT SqlType) {
  switch (SqlType) {
    case SQL_CHAR: return adChar;
    case SQL_VARCHAR: return adVarChar;
    case SQL_LONGVARCHAR: return adLongVarChar;
    case SQL_WCHAR: return adWChar;
    case SQL_WVARCHAR: return adVarWChar;
    case SQL_WLONGVARCHAR: return adLongVarWChar;
    case SQL_BIT: return adBoolean;
    case SQL_TINYINT: return adUnsignedTinyInt;
    case SQL_SMALLINT: return adSmallInt;
    case SQL_INTEGER: return adInteger;
    case SQL_BIGINT: return adBigInt;
    case SQL_REAL: return adSingle;
    case SQL_FLOAT: case SQL_DOUBLE: return adDouble;
    case SQL_NUMERIC: return adNumeric;
    case SQL_DECIMAL: return adDecimal;
    case SQL_TYPE_DATE: case SQL_DATE: return adDBDate;
    case SQL_TYPE_TIME: case SQL_TIME: return adDBTime;
    case SQL_TYPE_TIMESTAMP: case SQL_TIMESTAMP: return adDBTimeStamp;
    case SQL_BINARY: return adBinary;
    case SQL_VARBINARY: return adVarBinary;
    case SQL_LONGVARBINARY: return adLongVarBinary;
    case SQL_GUID: return adGUID;
    default: return adVarWChar;
  }
}

ADO_LONGPTR FixedSize(DataTypeEnum Type) {
  switch (Type) {
    case adBoolean: case adSmallInt: return 2;
    case adUnsignedTinyInt: return 1;
    case adInteger: case adSingle: return 4;
    case adBigInt: case adDouble: return 8;
    case adDBDate: return 6;
    case adDBTime: return 6;
    case adDBTimeStamp: return 16;
    case adNumeric: case adDecimal: return 19;
    default: return 0;
  }
}

bool IsBinary(DataTypeEnum Type) { return Type == adBinary || Type == adVarBinary || Type == adLongVarBinary; }

// Reads a long value piece by piece; false on a driver error.
template <class T>
bool ReadAll(SQLHSTMT Statement, SQLUSMALLINT Column, SQLSMALLINT CType, std::vector<T>& Data, bool& Null) {
  const size_t terminator = CType == SQL_C_WCHAR ? 1 : 0;
  Data.clear();
  Null = false;
  T buffer[2048];
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN r = SQLGetData(Statement, Column, CType, buffer, sizeof buffer, &indicator);
    if (r == SQL_NO_DATA) return true;
    if (!SQL_SUCCEEDED(r)) return false;
    if (indicator == SQL_NULL_DATA) {
      Null = true;
      return true;
    }
    const size_t room = sizeof buffer / sizeof(T) - terminator;
    const size_t got = (indicator == SQL_NO_TOTAL || size_t(indicator) / sizeof(T) > room) ? room
                                                                                          : size_t(indicator) / sizeof(T);
    Data.insert(Data.end(), buffer, buffer + got);
    if (r == SQL_SUCCESS) return true;
  }
}

// The value of one column of the current row as ADO hands it out for the column's type.
bool ReadValue(SQLHSTMT Statement, SQLUSMALLINT Column, DataTypeEnum Type, TVar& Out) {
  VARIANT& v = Out.V;
  SQLLEN indicator = 0;
  switch (Type) {
    case adBoolean: case adUnsignedTinyInt: case adSmallInt: case adInteger: case adBigInt: {
      SQLBIGINT number = 0;
      if (!SQL_SUCCEEDED(SQLGetData(Statement, Column, SQL_C_SBIGINT, &number, 0, &indicator))) return false;
      if (indicator == SQL_NULL_DATA) break;
      V_VT(&v) = VT_I8;
      V_I8(&v) = number;
      // SQLite keeps any integer in any integer column: one too wide for the type stays VT_I8.
      TVar narrow;
      if (Type != adBigInt && SUCCEEDED(VariantChangeType(&narrow.V, &v, 0, VARTYPE(Type)))) std::swap(v, narrow.V);
      return true;
    }
    case adSingle: case adDouble: case adNumeric: case adDecimal: {
      double number = 0;
      if (!SQL_SUCCEEDED(SQLGetData(Statement, Column, SQL_C_DOUBLE, &number, 0, &indicator))) return false;
      if (indicator == SQL_NULL_DATA) break;
      V_VT(&v) = VT_R8;
      V_R8(&v) = number;
      return Type == adDouble || SUCCEEDED(VariantChangeType(&v, &v, 0, Type == adSingle ? VT_R4 : VT_DECIMAL));
    }
    case adDBDate: case adDBTime: case adDBTimeStamp: {
      SQL_TIMESTAMP_STRUCT t = {};
      if (!SQL_SUCCEEDED(SQLGetData(Statement, Column, SQL_C_TYPE_TIMESTAMP, &t, 0, &indicator))) return false;
      if (indicator == SQL_NULL_DATA) break;
      SYSTEMTIME st = {WORD(t.year ? t.year : 1899), WORD(t.month ? t.month : 12), 0, WORD(t.day ? t.day : 30),
                       t.hour, t.minute, t.second, WORD(t.fraction / 1000000)};
      V_VT(&v) = VT_DATE;
      return SystemTimeToVariantTime(&st, &V_DATE(&v)) != 0;
    }
    default:
      if (IsBinary(Type)) {
        std::vector<BYTE> data;
        bool null = false;
        if (!ReadAll(Statement, Column, SQL_C_BINARY, data, null)) return false;
        if (null) break;
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, ULONG(data.size()));
        if (!array) return false;
        if (!data.empty()) memcpy(array->pvData, data.data(), data.size());
        V_VT(&v) = VT_ARRAY | VT_UI1;
        V_ARRAY(&v) = array;
        return true;
      } else {
        std::vector<wchar_t> text;
        bool null = false;
        if (!ReadAll(Statement, Column, SQL_C_WCHAR, text, null)) return false;
        if (null) break;
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocStringLen(text.data(), UINT(text.size()));
        return true;
      }
  }
  V_VT(&v) = VT_NULL;
  return true;
}

struct TStatement {
  SQLHSTMT Handle = SQL_NULL_HSTMT;
  ~TStatement() {
    if (Handle) SQLFreeHandle(SQL_HANDLE_STMT, Handle);
  }
};

}  // namespace

HRESULT TAdoConnection::Run(const std::wstring& Sql, REFIID Iid, const wchar_t* Source, int ClosedError,
                            TResult& Out) {
  if (!FDbc) return AdoError(Iid, Source, ClosedError);
  FErrors.clear();
  LogStatement(Sql);
  TStatement st;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, FDbc, &st.Handle)))
    return DatabaseError(Iid, SQL_HANDLE_DBC, FDbc);
  SQLRETURN r = SQLExecDirectW(st.Handle, reinterpret_cast<SQLWCHAR*>(const_cast<wchar_t*>(Sql.c_str())),
                               SQLINTEGER(Sql.size()));
  // An UPDATE or DELETE that matched nothing.
  if (r == SQL_NO_DATA) {
    Out.RowsAffected = 0;
    return S_OK;
  }
  if (!SQL_SUCCEEDED(r)) return DatabaseError(Iid, SQL_HANDLE_STMT, st.Handle);

  SQLSMALLINT columns = 0;
  SQLNumResultCols(st.Handle, &columns);
  if (columns == 0) {
    SQLLEN count = -1;
    SQLRowCount(st.Handle, &count);
    Out.RowsAffected = long(count);
    return S_OK;
  }
  std::vector<SQLSMALLINT> sqlTypes(columns);
  for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(columns); ++i) {
    SQLWCHAR name[256] = {};
    SQLSMALLINT nameLength = 0, digits = 0, nullable = SQL_NULLABLE_UNKNOWN;
    SQLULEN size = 0;
    if (!SQL_SUCCEEDED(SQLDescribeColW(st.Handle, i, name, 256, &nameLength, &sqlTypes[i - 1], &size, &digits,
                                       &nullable)))
      return DatabaseError(Iid, SQL_HANDLE_STMT, st.Handle);
    TColumn column;
    column.Name.assign(reinterpret_cast<wchar_t*>(name), std::min<SQLSMALLINT>(nameLength, 255));
    column.Type = AdoType(sqlTypes[i - 1]);
    column.DefinedSize = FixedSize(column.Type) ? FixedSize(column.Type) : ADO_LONGPTR(size);
    column.Attributes = (nullable != SQL_NO_NULLS ? adFldIsNullable | adFldMayBeNull : 0) |
                        (FixedSize(column.Type) ? adFldFixed : 0) |
                        (column.Type == adLongVarChar || column.Type == adLongVarWChar ||
                                 column.Type == adLongVarBinary ? adFldLong : 0);
    column.Precision = BYTE(std::min<SQLULEN>(size, 255));
    column.Scale = BYTE(digits);
    Out.Columns.push_back(column);
  }
  while ((r = SQLFetch(st.Handle)) != SQL_NO_DATA) {
    if (!SQL_SUCCEEDED(r)) return DatabaseError(Iid, SQL_HANDLE_STMT, st.Handle);
    std::vector<TVar> row(columns);
    for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(columns); ++i)
      if (!ReadValue(st.Handle, i, Out.Columns[i - 1].Type, row[i - 1]))
        return DatabaseError(Iid, SQL_HANDLE_STMT, st.Handle);
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
  FCommandTimeout = lTimeout;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::get_ConnectionTimeout(LONG* plTimeout) {
  return plTimeout ? (*plTimeout = FConnectionTimeout, S_OK) : E_POINTER;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::put_ConnectionTimeout(LONG lTimeout) {
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

HRESULT STDMETHODCALLTYPE TAdoConnection::put_CursorLocation(CursorLocationEnum lCursorLoc) {
  FCursorLocation = lCursorLoc;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::get_State(LONG* plObjState) {
  return plObjState ? (*plObjState = FDbc ? adStateOpen : adStateClosed, S_OK) : E_POINTER;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::get_Errors(Errors** ppvObject) {
  if (!ppvObject) return E_POINTER;
  *ppvObject = new TAdoErrors(this);
  return S_OK;
}

// The connection string goes to the ODBC driver manager as it is ("Driver=SQLite3;Database=...").
HRESULT STDMETHODCALLTYPE TAdoConnection::Open(BSTR ConnectionString, BSTR, BSTR, long) {
  if (FDbc) return AdoError(__uuidof(_Connection), ConnectionSource, adErrObjectOpen);
  if (ConnectionString && SysStringLen(ConnectionString)) FConnectionString = FromBstr(ConnectionString);
  FErrors.clear();
  if (!FEnv) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &FEnv))) return E_OUTOFMEMORY;
    SQLSetEnvAttr(FEnv, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  }
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, FEnv, &dbc))) return DatabaseError(__uuidof(_Connection), SQL_HANDLE_ENV, FEnv);
  const SQLRETURN r = SQLDriverConnectW(dbc, nullptr,
                                        reinterpret_cast<SQLWCHAR*>(const_cast<wchar_t*>(FConnectionString.c_str())),
                                        SQLSMALLINT(FConnectionString.size()), nullptr, 0, nullptr,
                                        SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(r)) {
    const HRESULT hr = DatabaseError(__uuidof(_Connection), SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    return hr;
  }
  FDbc = dbc;
  FInTransaction = false;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::Close() {
  if (!FDbc) return AdoError(__uuidof(_Connection), ConnectionSource, adErrObjectClosed);
  if (FInTransaction) return AdoError(__uuidof(_Connection), ConnectionSource, 3246);
  SQLDisconnect(FDbc);
  SQLFreeHandle(SQL_HANDLE_DBC, FDbc);
  FDbc = SQL_NULL_HDBC;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::Execute(BSTR CommandText, VARIANT* RecordsAffected, long Options,
                                                  _Recordset** ppiRset) {
  if (ppiRset) *ppiRset = nullptr;
  const std::wstring sql = FromBstr(CommandText);
  TResult result;
  const HRESULT hr = Run(sql, __uuidof(_Connection), ConnectionSource, adErrObjectClosed, result);
  if (FAILED(hr)) return hr;
  SetRowsAffected(RecordsAffected, result.RowsAffected);
  if (ppiRset && !(Options & adExecuteNoRecords)) *ppiRset = NewRecordset(this, sql, std::move(result)).Detach();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::BeginTrans(long* TransactionLevel) {
  if (!FDbc) return AdoError(__uuidof(_Connection), ConnectionSource, adErrObjectClosed);
  if (FInTransaction)
    return RaiseError(__uuidof(_Connection), XACT_E_XTIONEXISTS, ProviderSource,
                      L"Only one transaction can be active on this session.");
  FErrors.clear();
  if (!SQL_SUCCEEDED(SQLSetConnectAttr(FDbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF),
                                       SQL_IS_UINTEGER)))
    return DatabaseError(__uuidof(_Connection), SQL_HANDLE_DBC, FDbc);
  FInTransaction = true;
  if (TransactionLevel) *TransactionLevel = 1;
  return S_OK;
}

HRESULT TAdoConnection::EndTransaction(SQLSMALLINT Completion) {
  if (!FDbc) return AdoError(__uuidof(_Connection), ConnectionSource, adErrObjectClosed);
  if (!FInTransaction)
    return RaiseError(__uuidof(_Connection), XACT_E_NOTRANSACTION, ProviderSource, L"No transaction is active.");
  FErrors.clear();
  const SQLRETURN r = SQLEndTran(SQL_HANDLE_DBC, FDbc, Completion);
  HRESULT hr = SQL_SUCCEEDED(r) ? S_OK : DatabaseError(__uuidof(_Connection), SQL_HANDLE_DBC, FDbc);
  // A failed commit leaves the transaction open, as ADO does; the caller rolls back.
  if (SUCCEEDED(hr)) {
    FInTransaction = false;
    SQLSetConnectAttr(FDbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER);
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE TAdoConnection::CommitTrans() { return EndTransaction(SQL_COMMIT); }
HRESULT STDMETHODCALLTYPE TAdoConnection::RollbackTrans() { return EndTransaction(SQL_ROLLBACK); }

HRESULT CreateConnection(REFIID riid, void** ppv) {
  ComPtr<TAdoConnection> object = Adopt<TAdoConnection>(new TAdoConnection);
  return object->QueryInterface(riid, ppv);
}

HRESULT CreateCommand(REFIID riid, void** ppv) {
  ComPtr<_Command> object = Adopt<_Command>(new TAdoCommand);
  return object->QueryInterface(riid, ppv);
}
