#include "data/UDataSet.h"

#include "util/UStrConv.h"
#include "util/UdsErrors.h"

int32_t TField::AsInteger() const
{
  if (FValue.IsNull)
    return 0;
  return StrToInt(FValue.Text);
}

bool SameText(const std::string& A, const std::string& B)
{
  if (A.size() != B.size())
    return false;
  for (size_t i = 0; i < A.size(); ++i) {
    char a = A[i], b = B[i];
    if (a >= 'a' && a <= 'z')
      a = static_cast<char>(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z')
      b = static_cast<char>(b - 'a' + 'A');
    if (a != b)
      return false;
  }
  return true;
}

int TDataSet::FindField(const std::string& FieldName) const
{
  int count = FieldCount();
  for (int i = 0; i < count; ++i)
    if (SameText(FieldDefAt(i).Name, FieldName))
      return i;
  return -1;
}

TField TDataSet::FieldByName(const std::string& FieldName) const
{
  CheckActive();
  int index = FindField(FieldName);
  if (index < 0)
    throw EDatabaseError(FormatText("Field '%s' not found", FieldName));
  return TField(FieldDefAt(index).Name, FieldValueAt(index));
}

void TDataSet::CheckActive() const
{
  if (!Active())
    throw EDatabaseError("Cannot perform this operation on a closed dataset");
}
