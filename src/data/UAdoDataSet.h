// ADO's recordset and command, wrapped for the database kit: a dataset that opens a query text
// over a connection, and a command that executes a statement without parameters. Texts are GBK;
// they cross to ADO as UTF-16 (ANSI code page) and come back the same way.
#pragma once
#include <wrl/client.h>

#include <string>
#include <vector>

#include "data/UAdo.h"
#include "data/UDataSet.h"

// Raises EDatabaseError with the text of the failure hr of a call on Object through interface Iid:
// the thread's error object when Object reports its errors that way (ISupportErrorInfo), else the
// system's text for hr.
[[noreturn]] void RaiseAdoError(HRESULT hr, IUnknown* Object, REFIID Iid);
template <class TInterface>
void AdoCheck(HRESULT hr, TInterface* Object)
{
  if (FAILED(hr))
    RaiseAdoError(hr, Object, __uuidof(TInterface));
}

// The count of a RecordsAffected argument: -1 when the provider kept none (VT_EMPTY, VT_NULL or
// not a number).
int RowsAffectedCount(const VARIANT& RowsAffected);

// A query result over an ADO recordset (client-side cursor, so it counts its records).
class TADODataSet : public TDataSet {
public:
  TADODataSet() = default;
  ~TADODataSet() override;

  std::string ClassName() const override { return "TADODataSet"; }

  // Referenced (not owned) while set.
  void SetConnection(_Connection* Connection);
  _Connection* Connection() const { return FConnection.Get(); }
  void SetCommandText(const std::string& SQL) { FCommandText = SQL; }
  const std::string& CommandText() const { return FCommandText; }

  // Runs the command text over the connection; raises EDatabaseError when that fails or when the
  // text returns no result set.
  void Open() override;
  void Close() override;
  bool Active() const override { return FRecordset != nullptr; }

  // The filter text is an ADO filter criterion; it applies while Filtered is on.
  void SetFilter(const std::string& Filter) override;
  std::string Filter() const override { return FFilter; }
  void SetFiltered(bool Filtered) override;
  bool Filtered() const override { return FFiltered; }

  int RecordCount() override;

  int FieldCount() const override { return static_cast<int>(FFieldDefs.size()); }
  TFieldDef FieldDefAt(int Index) const override;

  void First() override;
  void Next() override;
  bool Eof() const override;
  TFieldValue FieldValueAt(int Index) const override;

  Recordset15* Recordset() const { return FRecordset.Get(); }

private:
  void ApplyFilter();

  Microsoft::WRL::ComPtr<_Connection> FConnection;
  Microsoft::WRL::ComPtr<Recordset15> FRecordset;  // set while open
  std::vector<TFieldDef> FFieldDefs;              // of the open recordset
  std::vector<Microsoft::WRL::ComPtr<Field>> FFields;
  std::vector<bool> FFixedWidth;                  // char(n) columns: their text ends at the pad
  std::string FCommandText;
  std::string FFilter;
  bool FFiltered = false;
};

// A statement run over a connection, without parameters.
class TADOCommand {
public:
  TADOCommand() = default;

  // Referenced (not owned) while set.
  void SetConnection(_Connection* Connection);
  void SetCommandText(const std::string& SQL);
  const std::string& CommandText() const { return FCommandText; }
  // Executes the command text; returns the rows affected as the database reports them. A result
  // set that the statement returns is discarded.
  int Execute();

private:
  Command15* Command();

  Microsoft::WRL::ComPtr<Command15> FCommand;  // created on first use
  Microsoft::WRL::ComPtr<_Connection> FConnection;
  std::string FCommandText;
};

// The field type of an ADO column type; Size receives the size the field keeps (characters or
// bytes for strings and binaries, 0 for the rest).
TFieldType FieldTypeOfAdo(DataTypeEnum AdoType, ADO_LONGPTR DefinedSize, int& Size);
