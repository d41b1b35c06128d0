// The host's database for a test: a fresh SQLite file in a temporary folder with the table
// B_Scanner, opened as an ADO connection (ADODB.Connection, served by tools/adodb-odbc over ODBC)
// the way a host opens its own. The server logs every statement that ADO hands to the database;
// the test reads the log and checks the table through a separate ODBC connection that the log
// does not see.
//
// With QRX_TEST_DATABASE=postgresql in the environment the database is instead a fresh database on
// the PostgreSQL server whose socket folder QRX_PG_SOCKET names (tests/host/pg-server), reached
// through psqlODBC behind the same ADO bridge, with B_Scanner declared as a host declares it there:
// names folded to lower case, strict types, a padded char(1) scan mode.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct _Connection;

// One row of B_Scanner; texts are GBK.
struct TScannerRow {
  std::string FID;
  int FType = 0;
  std::string FName, FModel, FScanMode;
  int FSelect = 0;
  std::string FConfigFile;
};

// How the host's database differs from the plain one.
struct TDatabaseOptions {
  // FID declared char(10), a fixed-width column: PostgreSQL pads the identifiers it hands out with
  // blanks (and ignores them when it compares); SQLite keeps the text as it was stored.
  bool FixedWidthIds = false;
  // FType and FSelect declared numeric(10,0), as some hosts' databases have them (ADO hands such
  // values out as VT_DECIMAL).
  bool NumericColumns = false;
  // FSelect declared boolean, as a host may declare a flag: SQLite compares it with 1 as a number,
  // PostgreSQL refuses to compare a boolean with a number.
  bool BooleanSelect = false;
  // The connection reports no counts of affected rows, as SQL Server does under SET NOCOUNT ON.
  bool NoCount = false;
};

enum class TDatabaseKind { SQLite, PostgreSQL };

class TTestDatabase {
public:
  // The database this test program runs against (QRX_TEST_DATABASE).
  static TDatabaseKind Kind();

  // Initialises COM (apartment) on this thread, creates the database with B_Scanner holding Rows,
  // opens the ADO connection and clears the statement log. Throws std::runtime_error on failure.
  explicit TTestDatabase(const std::vector<TScannerRow>& Rows = {}, const TDatabaseOptions& Options = {});
  ~TTestDatabase();
  TTestDatabase(const TTestDatabase&) = delete;
  TTestDatabase& operator=(const TTestDatabase&) = delete;

  // The open ADO connection, as a host lends it (THostParams::Connection takes it as void*).
  _Connection* Connection() const { return FConnection; }
  void* HostConnection() const { return FConnection; }
  // The connection as a host built with Delphi's VCL passes it: the address of its connection
  // component, whose first field is its class and which holds the interface in a later field.
  void* HostConnectionObject() { return FHostObject; }
  static constexpr size_t kHostObjectConnectionField = 23;
  // "Driver=SQLite3;Database=<unix path>;..." or "Driver={PostgreSQL Unicode};...": for further
  // connections to the same database.
  const std::wstring& ConnectionString() const { return FConnectionString; }

  // Every statement text the ADO server ran since the last ClearLog, in order, in GBK.
  std::vector<std::string> Statements() const;
  void ClearLog();

  // Direct access that bypasses ADO and the log. Sql is GBK.
  void Exec(const std::string& Sql);
  // Every row of a query, each value as GBK text, a NULL as NullText.
  std::vector<std::vector<std::string>> Query(const std::string& Sql, const std::string& NullText = "(NULL)");
  // The database's own message refusing Sql (its first line), or "" when the database runs it.
  std::string QueryError(const std::string& Sql);
  // B_Scanner ordered by FID (NULLs read as empty text and 0).
  std::vector<TScannerRow> ScannerRows();
  void AddScanner(const TScannerRow& Row);

  // Failures as a host may cause them: a missing table, a closed connection.
  void DropTable(const std::string& Name = "B_Scanner");
  void CloseConnection();

  // Failures of the database itself, armed in the ADO server: the next statement that begins with
  // Start is rejected by the database (Execute) or breaks off while its rows are read (Read); after
  // Statements more statements the link to the database drops under the open connection.
  enum class TFaultStage { Execute = 1, Read = 2 };
  void FailStatement(const std::string& Start, TFaultStage Stage);
  void DropConnectionAfter(int Statements);
  void ClearFaults();

private:
  void Release();
  void CreateDatabase(const TDatabaseOptions& Options);
  void OpenDirect();
  void CloseDirect();

  bool FComInitialized = false;
  std::wstring FFolder, FFile, FConnectionString;
  std::string FServerDatabase;  // PostgreSQL: the database made for this object, dropped with it
  bool FBooleanSelect = false;
  void* FEnv = nullptr;  // direct ODBC environment and connection handles
  void* FDbc = nullptr;
  _Connection* FConnection = nullptr;
  HMODULE FServer = nullptr;
  void* FHostObject[40] = {};
};
