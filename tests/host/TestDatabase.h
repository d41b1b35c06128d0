// The host's database for a test: a fresh SQLite file in a temporary folder with the table
// B_Scanner, opened as an ADO connection (ADODB.Connection, served by tools/adodb-odbc over ODBC)
// the way a host opens its own. The server logs every statement that ADO hands to the database;
// the test reads the log and checks the table through a separate ODBC connection that the log
// does not see.
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

class TTestDatabase {
public:
  // Initialises COM (apartment) on this thread, creates the database with B_Scanner holding Rows,
  // opens the ADO connection and clears the statement log. Throws std::runtime_error on failure.
  explicit TTestDatabase(const std::vector<TScannerRow>& Rows = {});
  ~TTestDatabase();
  TTestDatabase(const TTestDatabase&) = delete;
  TTestDatabase& operator=(const TTestDatabase&) = delete;

  // The open ADO connection, as a host lends it (THostParams::Connection takes it as void*).
  _Connection* Connection() const { return FConnection; }
  void* HostConnection() const { return FConnection; }
  // "Driver=SQLite3;Database=<unix path>;...": for further connections to the same database.
  const std::wstring& ConnectionString() const { return FConnectionString; }

  // Every statement text the ADO server ran since the last ClearLog, in order, in GBK.
  std::vector<std::string> Statements() const;
  void ClearLog();

  // Direct access that bypasses ADO and the log. Sql is GBK.
  void Exec(const std::string& Sql);
  // Every row of a query, each value as GBK text, a NULL as NullText.
  std::vector<std::vector<std::string>> Query(const std::string& Sql, const std::string& NullText = "(NULL)");
  // B_Scanner ordered by FID (NULLs read as empty text and 0).
  std::vector<TScannerRow> ScannerRows();
  void AddScanner(const TScannerRow& Row);

  // Failures as a host may cause them: a missing table, a closed connection.
  void DropTable(const std::string& Name = "B_Scanner");
  void CloseConnection();

private:
  void Release();
  void OpenDirect();
  void CloseDirect();

  bool FComInitialized = false;
  std::wstring FFolder, FFile, FConnectionString;
  void* FEnv = nullptr;  // direct ODBC environment and connection handles
  void* FDbc = nullptr;
  _Connection* FConnection = nullptr;
  HMODULE FServer = nullptr;
};
