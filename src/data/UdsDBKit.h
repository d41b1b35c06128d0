// The database kit: the library's only road to the host's database. A kit wraps a connection,
// runs statements and batches, each in a transaction of its own, and runs queries into a dataset.
// Every operation comes in forms that differ only in how a failure reaches the caller: raised,
// returned as -1 with the error's text, or shown in a message box followed by -1.
#pragma once
#include <memory>
#include <string>

#include "data/UDataSet.h"
#include "util/UdsStrUtils.h"

// An object whose state can be copied from another object of a compatible class.
class TPersistent {
public:
  virtual ~TPersistent() = default;
  // Copies what it can take over from Source; the base takes over nothing.
  virtual void Assign(const TPersistent& Source) {}
};

// Description of a connection by four texts. The library never fills or reads them.
class TConnectInfo : public TPersistent {
public:
  // Copies the four texts from a TConnectInfo (or a class derived from it); ignores anything else.
  void Assign(const TPersistent& Source) override;
  void Clear();

  std::string Text1, Text2, Text3, Text4;
};

class TdsDBKit {
public:
  TdsDBKit();
  virtual ~TdsDBKit();
  TdsDBKit(const TdsDBKit&) = delete;
  TdsDBKit& operator=(const TdsDBKit&) = delete;

  // Empties the connection description.
  virtual void Disconnect();

  // Runs the query SQL into DataSet; returns its record count, or -1 after a reported failure.
  virtual int OpenQuery(TDataSet& DataSet, const std::string& SQL, bool RaiseOnError) = 0;
  virtual int OpenQuery(TDataSet& DataSet, const std::string& SQL) = 0;
  // Runs one statement in a transaction of its own; returns the rows it affected, or -1.
  virtual int ExecSQL(const std::string& SQL, std::string& ErrorText) = 0;
  virtual int ExecSQL(const std::string& SQL, bool RaiseOnError) = 0;
  virtual int ExecSQL(const std::string& SQL) = 0;
  // Runs the statements in list order in one transaction; returns the rows they affected, or -1.
  virtual int ExecBatch(const TStringList& Statements, std::string& ErrorText) = 0;
  virtual int ExecBatch(const TStringList& Statements, bool RaiseOnError) = 0;
  virtual int ExecBatch(const TStringList& Statements) = 0;

  bool ConnectionBorrowed() const { return FConnectionBorrowed; }
  TConnectInfo& ConnectInfo() { return *FConnectInfo; }
  // The statement at which the last failed batch stopped.
  const std::string& FailedSQL() const { return FFailedSQL; }

protected:
  bool FConnectionBorrowed;
  std::unique_ptr<TConnectInfo> FConnectInfo;
  std::string FFailedSQL;
};
