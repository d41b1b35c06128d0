#include "data/UdsAdoDBKit.h"

#include <exception>

#include "data/UVirtualTable.h"
#include "ui/UdsDialogs.h"
#include "util/UdsErrors.h"

TdsAdoDBKit::TdsAdoDBKit() : FWorkDataSet(std::make_unique<TADODataSet>()), FCommand(std::make_unique<TADOCommand>()) {}

TdsAdoDBKit::~TdsAdoDBKit()
{
  Disconnect();
  FWorkDataSet.reset();
  FCommand.reset();
}

bool TdsAdoDBKit::AttachConnection(_Connection* Connection)
{
  FConnectionBorrowed = true;  // first, so that Disconnect leaves any connection alone
  Disconnect();
  FConnectInfo->Clear();
  FConnection = Connection;
  return true;
}

void TdsAdoDBKit::Disconnect()
{
  TdsDBKit::Disconnect();
  if (FConnection && !FConnectionBorrowed) {
    HRESULT hr = FConnection->Close();
    if (FAILED(hr))
      SetErrorInfo(0, nullptr);
    FConnection.Reset();
  }
}

int TdsAdoDBKit::OpenQuery(TDataSet& DataSet, const std::string& SQL, bool RaiseOnError)
{
  TADODataSet* work = dynamic_cast<TADODataSet*>(&DataSet);
  TVirtualTable* table = nullptr;
  if (!work) {
    if (SameText(DataSet.ClassName(), "TVirtualTable"))
      table = dynamic_cast<TVirtualTable*>(&DataSet);
    if (!table)
      throw EdsError(FormatText("不支持的数据集类型“%s”！", DataSet.ClassName()));
    work = FWorkDataSet.get();
  }

  try {
    work->Close();
    work->SetConnection(FConnection.Get());
    work->SetFilter("");
    work->SetCommandText(SQL);
    work->Open();
    int count = work->RecordCount();
    if (table && count >= 0) {
      table->Close();
      table->SetFilter("");
      table->Assign(*work);
      table->Open();
    }
    return count;
  } catch (const std::exception& E) {
    if (RaiseOnError)
      throw;
    TdsDialogs::ShowMsg(E.what(), mkError);
    return -1;
  }
}

int TdsAdoDBKit::OpenQuery(TDataSet& DataSet, const std::string& SQL) { return OpenQuery(DataSet, SQL, false); }

int TdsAdoDBKit::ExecSQL(const std::string& SQL, std::string& ErrorText)
{
  ErrorText.clear();
  BeginTransaction();
  try {
    FCommand->SetConnection(FConnection.Get());
    FCommand->SetCommandText(SQL);
    int rows = FCommand->Execute();
    CommitTransaction();
    ErrorText.clear();
    return rows;
  } catch (const std::exception& E) {
    RollbackTransaction();
    ErrorText = E.what();
    return -1;
  }
}

int TdsAdoDBKit::ExecSQL(const std::string& SQL, bool RaiseOnError)
{
  std::string errorText;
  int rows = ExecSQL(SQL, errorText);
  if (rows < 0) {
    if (RaiseOnError)
      throw EDatabaseError(errorText);
    TdsDialogs::ShowWarning(errorText);
  }
  return rows;
}

int TdsAdoDBKit::ExecSQL(const std::string& SQL) { return ExecSQL(SQL, false); }

int TdsAdoDBKit::ExecBatch(const TStringList& Statements, std::string& ErrorText)
{
  ErrorText.clear();
  BeginTransaction();
  std::string current;  // the statement being run; empty while committing
  try {
    FCommand->SetConnection(FConnection.Get());
    int total = 0;
    for (const std::string& statement : Statements) {
      current = statement;
      FCommand->SetCommandText(statement);
      total += FCommand->Execute();
    }
    current.clear();
    CommitTransaction();
    ErrorText.clear();
    return total;
  } catch (const std::exception& E) {
    RollbackTransaction();
    ErrorText = E.what();
    FFailedSQL = current;
    return -1;
  }
}

int TdsAdoDBKit::ExecBatch(const TStringList& Statements, bool RaiseOnError)
{
  std::string errorText;
  int rows = ExecBatch(Statements, errorText);
  if (rows < 0) {
    if (RaiseOnError)
      throw EDatabaseError(errorText);
    TdsDialogs::ShowMsg(errorText, mkError);
  }
  return rows;
}

int TdsAdoDBKit::ExecBatch(const TStringList& Statements) { return ExecBatch(Statements, false); }

void TdsAdoDBKit::BeginTransaction()
{
  if (!FConnection)
    throw EDatabaseError("No database connection");
  long level = 0;
  AdoCheck(FConnection->BeginTrans(&level), FConnection.Get());
}

void TdsAdoDBKit::CommitTransaction() { AdoCheck(FConnection->CommitTrans(), FConnection.Get()); }

void TdsAdoDBKit::RollbackTransaction()
{
  if (FAILED(FConnection->RollbackTrans()))
    SetErrorInfo(0, nullptr);
}
