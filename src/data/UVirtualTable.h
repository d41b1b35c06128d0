// In-memory table that receives a copy of a query result: field definitions, records held as text
// with a NULL flag, open/close, a filter of the form FID = 'value', and navigation.
#pragma once
#include <string>
#include <vector>

#include "data/UDataSet.h"

// A filter text reduced to its one condition: FieldName = 'Value'.
struct TFilterCondition {
  std::string FieldName;
  std::string Value;
};

// Parses "Name = 'literal'" (blanks around the parts allowed, '' inside the literal stands for one
// quote). An empty or blank text is no condition: returns true with Empty set. Returns false for
// anything else.
bool ParseFilterCondition(const std::string& Text, TFilterCondition& Condition, bool& Empty);

class TVirtualTable : public TDataSet {
public:
  std::string ClassName() const override { return "TVirtualTable"; }

  void Open() override;
  void Close() override;
  bool Active() const override { return FActive; }

  // Raise EDatabaseError when the filter is on and the text does not parse or names no field.
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

  // Replaces the field definitions by those of Source's fields and the records by copies of every
  // record of Source (which must be open; its position moves to its first record). Nothing changes
  // here when reading Source fails. The table stays open or closed as it was.
  void Assign(TDataSet& Source);

  // Building a table by hand. A new field is NULL in the records already held; a record must
  // have one value per field.
  void AddFieldDef(const TFieldDef& Def);
  void AppendRecord(const std::vector<TFieldValue>& Values);

private:
  using TRecord = std::vector<TFieldValue>;

  // Recomputes the records that pass the filter and moves to the first of them.
  void ApplyFilter();
  bool RecordPasses(const TRecord& Record, int FieldIndex, const std::string& Value) const;

  std::vector<TFieldDef> FFieldDefs;
  std::vector<TRecord> FRecords;
  std::vector<size_t> FVisible;  // indices into FRecords of the records that pass the filter
  size_t FCursor = 0;            // index into FVisible
  bool FEof = true;
  bool FActive = false;
  std::string FFilter;
  bool FFiltered = false;
};
