// The dataset abstraction shared by the ADO dataset and the in-memory table: open/close, a filter,
// record count, field definitions, navigation and field values of the current record as text.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum TFieldType {
  ftUnknown,
  ftString,
  ftWideString,
  ftSmallint,
  ftInteger,
  ftWord,
  ftLargeint,
  ftAutoInc,
  ftBoolean,
  ftFloat,
  ftCurrency,
  ftBCD,
  ftDate,
  ftTime,
  ftDateTime,
  ftBytes,
  ftVarBytes,
  ftBlob,
  ftMemo,
  ftWideMemo,
  ftGuid
};

struct TFieldDef {
  std::string Name;
  TFieldType DataType = ftUnknown;
  int Size = 0;  // characters or bytes for string and binary types, 0 otherwise
};

// One field value: its text (GBK) and whether it is NULL.
struct TFieldValue {
  std::string Text;
  bool IsNull = true;
};

// A field of the current record, as read (a copy: later navigation does not change it).
class TField {
public:
  TField(std::string FieldName, TFieldValue Value) : FFieldName(std::move(FieldName)), FValue(std::move(Value)) {}
  const std::string& FieldName() const { return FFieldName; }
  bool IsNull() const { return FValue.IsNull; }
  // NULL reads as "" and 0.
  const std::string& AsString() const { return FValue.Text; }
  // Raises EConvertError when the text is not an integer.
  int32_t AsInteger() const;

private:
  std::string FFieldName;
  TFieldValue FValue;
};

class TDataSet {
public:
  TDataSet() = default;
  virtual ~TDataSet() = default;
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  // The name of the object's class; every class overrides it.
  virtual std::string ClassName() const { return "TDataSet"; }

  virtual void Open() = 0;
  virtual void Close() = 0;
  virtual bool Active() const = 0;

  // The filter text applies while Filtered is on; an empty text filters nothing.
  virtual void SetFilter(const std::string& Filter) = 0;
  virtual std::string Filter() const = 0;
  virtual void SetFiltered(bool Filtered) = 0;
  virtual bool Filtered() const = 0;

  // Records that pass the filter; 0 when closed. Negative when the dataset cannot count them.
  virtual int RecordCount() = 0;

  // Structure of the open dataset.
  virtual int FieldCount() const = 0;
  virtual TFieldDef FieldDefAt(int Index) const = 0;

  // Navigation over the records that pass the filter. First on an empty dataset sets Eof.
  virtual void First() = 0;
  virtual void Next() = 0;
  virtual bool Eof() const = 0;
  // Value of field Index in the current record; NULL when there is no current record.
  virtual TFieldValue FieldValueAt(int Index) const = 0;

  // Position of the field with that name (letter case ignored), -1 when there is none.
  int FindField(const std::string& FieldName) const;
  // The field of the current record; raises EDatabaseError when the dataset has no such field.
  TField FieldByName(const std::string& FieldName) const;

protected:
  // Raises EDatabaseError unless the dataset is open.
  void CheckActive() const;
};

// ASCII letter case ignored (field names, class names).
bool SameText(const std::string& A, const std::string& B);
