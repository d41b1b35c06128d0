// The database kit over ADO. Callers attach it to the host's open connection, run queries and
// statements, and free it; the host's connection is never closed by the kit.
#pragma once
#include <wrl/client.h>

#include <memory>
#include <string>

#include "data/UAdo.h"
#include "data/UAdoDataSet.h"
#include "data/UdsDBKit.h"

class TdsAdoDBKit : public TdsDBKit {
public:
  TdsAdoDBKit();
  ~TdsAdoDBKit() override;

  // Uses Connection (the host's, referenced) from now on without taking it over. Always true.
  bool AttachConnection(_Connection* Connection);

  // Empties the connection description; closes and frees the connection only when the kit owns it.
  void Disconnect() override;

  // DataSet is a TADODataSet (or derived), which is opened on the result itself, or a
  // TVirtualTable, which receives a copy of the result through FWorkDataSet. Any other class is
  // refused with an error in every form.
  int OpenQuery(TDataSet& DataSet, const std::string& SQL, bool RaiseOnError) override;
  int OpenQuery(TDataSet& DataSet, const std::string& SQL) override;
  int ExecSQL(const std::string& SQL, std::string& ErrorText) override;
  int ExecSQL(const std::string& SQL, bool RaiseOnError) override;
  int ExecSQL(const std::string& SQL) override;
  int ExecBatch(const TStringList& Statements, std::string& ErrorText) override;
  int ExecBatch(const TStringList& Statements, bool RaiseOnError) override;
  int ExecBatch(const TStringList& Statements) override;

  _Connection* Connection() const { return FConnection.Get(); }
  TADODataSet& WorkDataSet() { return *FWorkDataSet; }

protected:
  Microsoft::WRL::ComPtr<_Connection> FConnection;  // referenced; owned only when not borrowed
  std::unique_ptr<TADODataSet> FWorkDataSet;
  std::unique_ptr<TADOCommand> FCommand;

private:
  // Raises when no transaction can be begun; the caller's forms do not catch it.
  void BeginTransaction();
  void CommitTransaction();
  // After a failure: the failure being reported matters more than one of the rollback.
  void RollbackTransaction();
};
