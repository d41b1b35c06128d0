#include "data/UVirtualTable.h"

#include "util/UdsErrors.h"

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

bool ParseFilterCondition(const std::string& Text, TFilterCondition& Condition, bool& Empty)
{
  size_t i = 0, n = Text.size();
  auto skipBlanks = [&] {
    while (i < n && IsBlank(Text[i]))
      ++i;
  };
  skipBlanks();
  Empty = i == n;
  if (Empty)
    return true;

  size_t nameStart = i;
  while (i < n && !IsBlank(Text[i]) && Text[i] != '=' && Text[i] != '\'')
    ++i;
  if (i == nameStart)
    return false;
  std::string name = Text.substr(nameStart, i - nameStart);

  skipBlanks();
  if (i == n || Text[i] != '=')
    return false;
  ++i;
  skipBlanks();
  if (i == n || Text[i] != '\'')
    return false;
  ++i;
  std::string value;
  for (;;) {
    if (i == n)
      return false;  // unterminated literal
    if (Text[i] == '\'') {
      if (i + 1 < n && Text[i + 1] == '\'') {
        value += '\'';
        i += 2;
        continue;
      }
      ++i;
      break;
    }
    value += Text[i++];
  }
  skipBlanks();
  if (i != n)
    return false;
  Condition.FieldName = std::move(name);
  Condition.Value = std::move(value);
  return true;
}

void TVirtualTable::Open()
{
  FActive = true;
  ApplyFilter();
}

void TVirtualTable::Close()
{
  FActive = false;
  FEof = true;
}

void TVirtualTable::SetFilter(const std::string& Filter)
{
  std::string previous = FFilter;
  FFilter = Filter;
  try {
    ApplyFilter();
  } catch (...) {
    FFilter = previous;
    ApplyFilter();
    throw;
  }
}

void TVirtualTable::SetFiltered(bool Filtered)
{
  bool previous = FFiltered;
  FFiltered = Filtered;
  try {
    ApplyFilter();
  } catch (...) {
    FFiltered = previous;
    ApplyFilter();
    throw;
  }
}

int TVirtualTable::RecordCount() { return FActive ? static_cast<int>(FVisible.size()) : 0; }

TFieldDef TVirtualTable::FieldDefAt(int Index) const
{
  if (Index < 0 || Index >= FieldCount())
    throw EDatabaseError("Field index out of range");
  return FFieldDefs[static_cast<size_t>(Index)];
}

void TVirtualTable::First()
{
  CheckActive();
  FCursor = 0;
  FEof = FVisible.empty();
}

void TVirtualTable::Next()
{
  CheckActive();
  if (FCursor + 1 < FVisible.size())
    ++FCursor;
  else
    FEof = true;
}

bool TVirtualTable::Eof() const { return !FActive || FEof; }

TFieldValue TVirtualTable::FieldValueAt(int Index) const
{
  CheckActive();
  if (Index < 0 || Index >= FieldCount())
    throw EDatabaseError("Field index out of range");
  if (FVisible.empty())
    return {};
  return FRecords[FVisible[FCursor]][static_cast<size_t>(Index)];
}

void TVirtualTable::Assign(TDataSet& Source)
{
  if (&Source == this)
    return;
  if (!Source.Active())
    throw EDatabaseError("Cannot perform this operation on a closed dataset");

  std::vector<TFieldDef> defs;
  int count = Source.FieldCount();
  for (int i = 0; i < count; ++i)
    defs.push_back(Source.FieldDefAt(i));

  std::vector<TRecord> records;
  for (Source.First(); !Source.Eof(); Source.Next()) {
    TRecord record;
    record.reserve(defs.size());
    for (int i = 0; i < count; ++i)
      record.push_back(Source.FieldValueAt(i));
    records.push_back(std::move(record));
  }
  Source.First();

  FFieldDefs.swap(defs);
  FRecords.swap(records);
  FVisible.clear();
  FCursor = 0;
  FEof = true;
  ApplyFilter();
}

void TVirtualTable::AddFieldDef(const TFieldDef& Def)
{
  FFieldDefs.push_back(Def);
  for (TRecord& record : FRecords)
    record.emplace_back();
}

void TVirtualTable::AppendRecord(const std::vector<TFieldValue>& Values)
{
  if (Values.size() != FFieldDefs.size())
    throw EDatabaseError("Record does not match the table's fields");
  FRecords.push_back(Values);
  ApplyFilter();
}

bool TVirtualTable::RecordPasses(const TRecord& Record, int FieldIndex, const std::string& Value) const
{
  const TFieldValue& v = Record[static_cast<size_t>(FieldIndex)];
  return !v.IsNull && v.Text == Value;
}

void TVirtualTable::ApplyFilter()
{
  std::vector<size_t> visible;
  TFilterCondition condition;
  bool empty = true;
  if (FFiltered && !ParseFilterCondition(FFilter, condition, empty))
    throw EDatabaseError(FormatText("Invalid filter: %s", FFilter));
  if (FFiltered && !empty) {
    int field = FindField(condition.FieldName);
    if (field < 0)
      throw EDatabaseError(FormatText("Field '%s' not found", condition.FieldName));
    for (size_t i = 0; i < FRecords.size(); ++i)
      if (RecordPasses(FRecords[i], field, condition.Value))
        visible.push_back(i);
  } else {
    for (size_t i = 0; i < FRecords.size(); ++i)
      visible.push_back(i);
  }
  FVisible.swap(visible);
  FCursor = 0;
  FEof = FVisible.empty();
}
