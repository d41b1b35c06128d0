#include "TestDatabase.h"

#include <sql.h>
#include <sqlext.h>

#include <stdexcept>

#include "TestHost.h"
#include "data/UAdo.h"

namespace {

std::string Literal(const std::string& Text) {
  std::string out = "'";
  for (char c : Text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

// SQLite wants the Unix path of the file; wine's kernel32 gives it.
std::string UnixFileName(const std::wstring& WindowsPath) {
  typedef char*(CDECL * TUnixName)(LPCWSTR);
  const auto unixName = reinterpret_cast<TUnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixName) throw std::runtime_error("TTestDatabase: not running under wine (no wine_get_unix_file_name)");
  char* path = unixName(WindowsPath.c_str());
  if (!path) throw std::runtime_error("TTestDatabase: no Unix path for the database file");
  std::string result = path;
  HeapFree(GetProcessHeap(), 0, path);
  return result;
}

[[noreturn]] void OdbcFailure(const char* What, SQLSMALLINT Type, SQLHANDLE Handle) {
  SQLWCHAR state[6] = {}, message[SQL_MAX_MESSAGE_LENGTH] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLGetDiagRecW(Type, Handle, 1, state, &native, message, SQL_MAX_MESSAGE_LENGTH, &length);
  const std::wstring text(reinterpret_cast<wchar_t*>(message));
  throw std::runtime_error(std::string("TTestDatabase: ") + What + ": " +
                           Gbk(text));
}

struct TStatement {
  SQLHSTMT Handle = SQL_NULL_HSTMT;
  explicit TStatement(SQLHDBC Dbc) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, Dbc, &Handle))) OdbcFailure("statement", SQL_HANDLE_DBC, Dbc);
  }
  ~TStatement() { SQLFreeHandle(SQL_HANDLE_STMT, Handle); }
  void Run(const std::string& Sql) {
    std::wstring text = Wide(Sql);
    const SQLRETURN r = SQLExecDirectW(Handle, reinterpret_cast<SQLWCHAR*>(&text[0]), SQLINTEGER(text.size()));
    if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) OdbcFailure(Sql.c_str(), SQL_HANDLE_STMT, Handle);
  }
};

bool DriverConnect(SQLHDBC Dbc, std::wstring Text) {
  return SQL_SUCCEEDED(SQLDriverConnectW(Dbc, nullptr, reinterpret_cast<SQLWCHAR*>(&Text[0]), SQLSMALLINT(Text.size()),
                                        nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT));
}

std::wstring EnvironmentText(const wchar_t* Name) {
  wchar_t value[512];
  const DWORD n = GetEnvironmentVariableW(Name, value, 512);
  return n > 0 && n < 512 ? std::wstring(value, n) : std::wstring();
}

// The test server (tests/host/pg-server): its socket folder, a Unix path, in QRX_PG_SOCKET.
std::wstring PostgresConnectionString(const std::string& Database) {
  const std::wstring socket = EnvironmentText(L"QRX_PG_SOCKET");
  if (socket.empty()) throw std::runtime_error("TTestDatabase: QRX_PG_SOCKET names no PostgreSQL socket folder");
  return L"Driver={PostgreSQL Unicode};Servername=" + socket + L";Port=5432;Username=postgres;Database=" +
         Wide(Database);
}

// A connection of its own to the server, for making and dropping databases (which no connection
// to the database itself may do).
class TServerSession {
public:
  explicit TServerSession(const std::wstring& ConnectionString) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &FEnv)))
      throw std::runtime_error("TTestDatabase: no ODBC environment");
    SQLSetEnvAttr(FEnv, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, FEnv, &FDbc))) {
      Free();
      throw std::runtime_error("TTestDatabase: no ODBC connection handle");
    }
    if (!DriverConnect(FDbc, ConnectionString)) {
      const std::string why = Diagnostic(SQL_HANDLE_DBC, FDbc);
      Free();
      throw std::runtime_error("TTestDatabase: cannot reach the PostgreSQL test server: " + why);
    }
    FConnected = true;
  }
  ~TServerSession() { Free(); }
  TServerSession(const TServerSession&) = delete;
  TServerSession& operator=(const TServerSession&) = delete;
  void Run(const std::string& Sql) { TStatement(FDbc).Run(Sql); }

private:
  static std::string Diagnostic(SQLSMALLINT Type, SQLHANDLE Handle) {
    SQLWCHAR state[6] = {}, message[SQL_MAX_MESSAGE_LENGTH] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRecW(Type, Handle, 1, state, &native, message, SQL_MAX_MESSAGE_LENGTH, &length);
    return Gbk(reinterpret_cast<wchar_t*>(message));
  }
  void Free() {
    if (FConnected) SQLDisconnect(FDbc);
    if (FDbc) SQLFreeHandle(SQL_HANDLE_DBC, FDbc);
    if (FEnv) SQLFreeHandle(SQL_HANDLE_ENV, FEnv);
    FConnected = false;
    FDbc = SQL_NULL_HDBC;
    FEnv = SQL_NULL_HENV;
  }
  SQLHENV FEnv = SQL_NULL_HENV;
  SQLHDBC FDbc = SQL_NULL_HDBC;
  bool FConnected = false;
};

typedef int (*TLogCount)();
typedef BSTR (*TLogItem)(int);
typedef void (*TLogClear)();

}  // namespace

// The class of the fake connection component: only its address is ever looked at.
const void* const kFakeConnectionClass[8] = {};

TDatabaseKind TTestDatabase::Kind() {
  const std::wstring kind = EnvironmentText(L"QRX_TEST_DATABASE");
  if (kind.empty() || kind == L"sqlite") return TDatabaseKind::SQLite;
  if (kind == L"postgresql") return TDatabaseKind::PostgreSQL;
  throw std::runtime_error("TTestDatabase: QRX_TEST_DATABASE names no database this host knows (sqlite, postgresql)");
}

TTestDatabase::TTestDatabase(const std::vector<TScannerRow>& Rows, const TDatabaseOptions& Options) {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  FComInitialized = SUCCEEDED(init);
  try {
    CreateDatabase(Options);
    for (const TScannerRow& row : Rows) AddScanner(row);

    HRESULT hr = CoCreateInstance(CLSID_AdoConnection, nullptr, CLSCTX_INPROC_SERVER, __uuidof(_Connection),
                                  reinterpret_cast<void**>(&FConnection));
    if (FAILED(hr)) throw std::runtime_error("TTestDatabase: cannot create ADODB.Connection");
    // Held for the log functions, whatever COM does with the server meanwhile.
    if (!GetModuleHandleExW(0, L"adodb-odbc.dll", &FServer) || !GetProcAddress(FServer, "QrxAdoLogCount"))
      throw std::runtime_error("TTestDatabase: ADODB.Connection is not served by adodb-odbc.dll (regsvr32 not run?)");
    const std::wstring adoConnectionString = FConnectionString + (Options.NoCount ? L";NoCount=1" : L"");
    BSTR text = SysAllocString(adoConnectionString.c_str());
    hr = FConnection->Open(text, nullptr, nullptr, adOptionUnspecified);
    SysFreeString(text);
    if (FAILED(hr)) throw std::runtime_error("TTestDatabase: cannot open the ADO connection");
    // A component's fields: its class, then names, tags, owners, lists... and the interface.
    FHostObject[0] = const_cast<void**>(kFakeConnectionClass);
    FHostObject[1] = this;
    FHostObject[2] = reinterpret_cast<void*>(static_cast<INT_PTR>(7));
    FHostObject[5] = &FFolder;
    FHostObject[kHostObjectConnectionField] = FConnection;
    ClearLog();
  } catch (...) {
    Release();
    throw;
  }
}

TTestDatabase::~TTestDatabase() { Release(); }

void TTestDatabase::Release() {
  if (FServer) ClearFaults();  // what a test armed and did not use stays with its database
  if (FConnection) {
    LONG state = adStateClosed;
    if (SUCCEEDED(FConnection->get_State(&state)) && state == adStateOpen) FConnection->Close();
    FConnection->Release();
    FConnection = nullptr;
  }
  if (FServer) FreeLibrary(FServer);
  FServer = nullptr;
  CloseDirect();
  if (!FServerDatabase.empty()) {
    try {
      TServerSession(PostgresConnectionString("postgres")).Run("DROP DATABASE IF EXISTS " + FServerDatabase + " WITH (FORCE)");
    } catch (const std::exception&) {
      // The server goes with the test run; a database left on it harms no other test.
    }
    FServerDatabase.clear();
  }
  if (!FFile.empty()) DeleteFileW(FFile.c_str());
  if (!FFolder.empty()) RemoveDirectoryW(FFolder.c_str());
  FFile.clear();
  FFolder.clear();
  if (FComInitialized) CoUninitialize();
  FComInitialized = false;
}

void TTestDatabase::CreateDatabase(const TDatabaseOptions& Options) {
  FBooleanSelect = Options.BooleanSelect;
  static LONG serial = 0;
  const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(InterlockedIncrement(&serial));
  if (Kind() == TDatabaseKind::PostgreSQL) {
    FServerDatabase = "qrx_" + Gbk(tag);
    TServerSession server(PostgresConnectionString("postgres"));
    server.Run("DROP DATABASE IF EXISTS " + FServerDatabase + " WITH (FORCE)");
    server.Run("CREATE DATABASE " + FServerDatabase);
    FConnectionString = PostgresConnectionString(FServerDatabase);
    OpenDirect();
    // As a host declares the table on this server: names unquoted (so folded to lower case, which
    // the library's unquoted statements match), exact numbers, a fixed-width scan mode letter.
    const std::string integer = Options.NumericColumns ? "numeric(10,0)" : "integer";
    const std::string flag = Options.BooleanSelect ? "boolean" : Options.NumericColumns ? "numeric(10,0)" : "smallint";
    Exec("CREATE TABLE B_Scanner (FID " + std::string(Options.FixedWidthIds ? "char(10)" : "varchar(20)") +
         ", FType " + integer + ", FName varchar(60), FModel varchar(60), FScanMode char(1), FSelect " + flag +
         ", FConfigFile varchar(255))");
    return;
  }
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  FFolder = std::wstring(temp) + L"qrx-db-" + tag;
  CreateDirectoryW(FFolder.c_str(), nullptr);
  FFile = FFolder + L"\\host.db";
  DeleteFileW(FFile.c_str());
  const std::string unixPath = UnixFileName(FFile);
  // A short busy timeout: a test that leaves a transaction open fails fast instead of hanging.
  FConnectionString = L"Driver=SQLite3;Database=" + Wide(unixPath) + L";Timeout=2000";
  OpenDirect();
  const std::string integer = Options.NumericColumns ? "numeric(10,0)" : "integer";
  Exec("CREATE TABLE B_Scanner (FID " + std::string(Options.FixedWidthIds ? "char(10)" : "varchar(20)") + ", FType " +
       integer + ", FName varchar(60), FModel varchar(60), FScanMode varchar(10), FSelect " +
       (Options.BooleanSelect ? "boolean" : integer) + ", FConfigFile varchar(255))");
}

void TTestDatabase::OpenDirect() {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
    throw std::runtime_error("TTestDatabase: no ODBC environment");
  FEnv = env;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) OdbcFailure("connection", SQL_HANDLE_ENV, env);
  if (!DriverConnect(dbc, FConnectionString)) {
    try {
      OdbcFailure("connect", SQL_HANDLE_DBC, dbc);
    } catch (...) {
      SQLFreeHandle(SQL_HANDLE_DBC, dbc);
      throw;
    }
  }
  FDbc = dbc;
}

void TTestDatabase::CloseDirect() {
  if (FDbc) {
    SQLDisconnect(FDbc);
    SQLFreeHandle(SQL_HANDLE_DBC, FDbc);
  }
  if (FEnv) SQLFreeHandle(SQL_HANDLE_ENV, FEnv);
  FDbc = FEnv = nullptr;
}

std::vector<std::string> TTestDatabase::Statements() const {
  const auto count = reinterpret_cast<TLogCount>(reinterpret_cast<void*>(GetProcAddress(FServer, "QrxAdoLogCount")));
  const auto item = reinterpret_cast<TLogItem>(reinterpret_cast<void*>(GetProcAddress(FServer, "QrxAdoLogItem")));
  std::vector<std::string> result;
  for (int i = 0, n = count(); i < n; ++i) {
    BSTR text = item(i);
    result.push_back(Gbk(std::wstring(text, SysStringLen(text))));
    SysFreeString(text);
  }
  return result;
}

void TTestDatabase::ClearLog() {
  reinterpret_cast<TLogClear>(reinterpret_cast<void*>(GetProcAddress(FServer, "QrxAdoLogClear")))();
}

void TTestDatabase::FailStatement(const std::string& Start, TFaultStage Stage) {
  using TFail = void (*)(const wchar_t*, int);
  reinterpret_cast<TFail>(reinterpret_cast<void*>(GetProcAddress(FServer, "QrxAdoFailStatement")))(
      Wide(Start).c_str(), static_cast<int>(Stage));
}

void TTestDatabase::DropConnectionAfter(int Statements) {
  using TDrop = void (*)(int);
  reinterpret_cast<TDrop>(reinterpret_cast<void*>(GetProcAddress(FServer, "QrxAdoDropConnectionAfter")))(Statements);
}

void TTestDatabase::ClearFaults() {
  using TClear = void (*)();
  reinterpret_cast<TClear>(reinterpret_cast<void*>(GetProcAddress(FServer, "QrxAdoClearFaults")))();
}

void TTestDatabase::Exec(const std::string& Sql) { TStatement(FDbc).Run(Sql); }

std::vector<std::vector<std::string>> TTestDatabase::Query(const std::string& Sql, const std::string& NullText) {
  TStatement st(FDbc);
  st.Run(Sql);
  SQLSMALLINT columns = 0;
  SQLNumResultCols(st.Handle, &columns);
  std::vector<std::vector<std::string>> rows;
  SQLRETURN r;
  while ((r = SQLFetch(st.Handle)) != SQL_NO_DATA) {
    if (!SQL_SUCCEEDED(r)) OdbcFailure(Sql.c_str(), SQL_HANDLE_STMT, st.Handle);
    std::vector<std::string> row;
    for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(columns); ++i) {
      SQLWCHAR value[4096];
      SQLLEN indicator = 0;
      if (!SQL_SUCCEEDED(SQLGetData(st.Handle, i, SQL_C_WCHAR, value, sizeof value, &indicator)))
        OdbcFailure(Sql.c_str(), SQL_HANDLE_STMT, st.Handle);
      row.push_back(indicator == SQL_NULL_DATA
                        ? NullText
                        : Gbk(reinterpret_cast<wchar_t*>(value)));
    }
    rows.push_back(row);
  }
  return rows;
}

std::string TTestDatabase::QueryError(const std::string& Sql) {
  TStatement st(FDbc);
  std::wstring text = Wide(Sql);
  const SQLRETURN r = SQLExecDirectW(st.Handle, reinterpret_cast<SQLWCHAR*>(&text[0]), SQLINTEGER(text.size()));
  if (SQL_SUCCEEDED(r) || r == SQL_NO_DATA) return "";
  SQLWCHAR state[6] = {}, message[SQL_MAX_MESSAGE_LENGTH] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLGetDiagRecW(SQL_HANDLE_STMT, st.Handle, 1, state, &native, message, SQL_MAX_MESSAGE_LENGTH, &length);
  const std::string all = Gbk(reinterpret_cast<wchar_t*>(message));
  return all.substr(0, all.find_first_of("\r\n"));
}

std::vector<TScannerRow> TTestDatabase::ScannerRows() {
  std::vector<TScannerRow> rows;
  for (const auto& r : Query("SELECT FID, FType, FName, FModel, FScanMode, FSelect, FConfigFile FROM B_Scanner "
                             "ORDER BY FID", ""))
    rows.push_back({r[0], atoi(r[1].c_str()), r[2], r[3], r[4], atoi(r[5].c_str()), r[6]});
  return rows;
}

void TTestDatabase::AddScanner(const TScannerRow& Row) {
  Exec("INSERT INTO B_Scanner (FID, FType, FName, FModel, FScanMode, FSelect, FConfigFile) VALUES (" +
       Literal(Row.FID) + ", " + std::to_string(Row.FType) + ", " + Literal(Row.FName) + ", " + Literal(Row.FModel) +
       ", " + Literal(Row.FScanMode) + ", " +
       (FBooleanSelect ? std::string(Row.FSelect ? "TRUE" : "FALSE") : std::to_string(Row.FSelect)) + ", " +
       Literal(Row.FConfigFile) + ")");
}

void TTestDatabase::DropTable(const std::string& Name) { Exec("DROP TABLE " + Name); }

void TTestDatabase::CloseConnection() {
  if (FAILED(FConnection->Close())) throw std::runtime_error("TTestDatabase: cannot close the ADO connection");
}
