// Filter criteria of a Recordset: parsing and matching rows.
#include "AdoFilter.h"

#include <cwctype>

namespace {

BSTR AllocBstr(const std::wstring& Text) { return SysAllocStringLen(Text.data(), UINT(Text.size())); }

bool SameText(const std::wstring& A, const std::wstring& B) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, A.c_str(), int(A.size()), B.c_str(), int(B.size())) ==
         CSTR_EQUAL;
}

bool IsWildcard(wchar_t C) { return C == L'*' || C == L'%'; }

// A wildcard at the end, or at both ends, and none inside.
bool IsFilterPattern(const std::wstring& Pattern) {
  if (Pattern.empty()) return true;
  const bool leading = IsWildcard(Pattern.front());
  const bool trailing = Pattern.size() > 1 ? IsWildcard(Pattern.back()) : leading;
  if (leading && !trailing) return false;
  const size_t begin = leading ? 1 : 0;
  const size_t end = trailing ? Pattern.size() - 1 : Pattern.size();
  for (size_t i = begin; i < end; ++i)
    if (IsWildcard(Pattern[i])) return false;
  return true;
}

bool Like(const wchar_t* Text, const wchar_t* Pattern) {
  if (*Pattern == 0) return *Text == 0;
  if (IsWildcard(*Pattern)) {
    for (const wchar_t* t = Text;; ++t) {
      if (Like(t, Pattern + 1)) return true;
      if (*t == 0) return false;
    }
  }
  return *Text && towupper(*Text) == towupper(*Pattern) && Like(Text + 1, Pattern + 1);
}

bool Matches(const VARIANT& Field, const TCondition& C) {
  const bool fieldNull = V_VT(&Field) == VT_NULL || V_VT(&Field) == VT_EMPTY;
  if (V_VT(&C.Value.V) == VT_NULL) return (C.Op == L"=") == fieldNull;
  if (fieldNull) return false;
  int order;
  TVar field;
  if (FAILED(VariantChangeTypeEx(&field.V, const_cast<VARIANT*>(&Field), LOCALE_INVARIANT, 0, V_VT(&C.Value.V))))
    return false;
  if (V_VT(&C.Value.V) == VT_BSTR) {
    if (C.Op == L"LIKE") return Like(V_BSTR(&field.V), V_BSTR(&C.Value.V));
    order = CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, V_BSTR(&field.V), int(SysStringLen(V_BSTR(&field.V))),
                           V_BSTR(&C.Value.V), int(SysStringLen(V_BSTR(&C.Value.V)))) - CSTR_EQUAL;
  } else {
    // Numbers compare exactly (decimal against decimal where the value fits one).
    const HRESULT cmp = VarCmp(&field.V, const_cast<VARIANT*>(&C.Value.V), LOCALE_INVARIANT, 0);
    if (cmp != VARCMP_LT && cmp != VARCMP_EQ && cmp != VARCMP_GT) return false;
    order = cmp == VARCMP_LT ? -1 : cmp == VARCMP_GT ? 1 : 0;
  }
  if (C.Op == L"=") return order == 0;
  if (C.Op == L"<>") return order != 0;
  if (C.Op == L"<") return order < 0;
  if (C.Op == L">") return order > 0;
  if (C.Op == L"<=") return order <= 0;
  if (C.Op == L">=") return order >= 0;
  return false;
}

}  // namespace

size_t ColumnNamed(const std::vector<TColumn>& Columns, const std::wstring& Name) {
  for (size_t i = 0; i < Columns.size(); ++i)
    if (SameText(Columns[i].Name, Name)) return i;
  return std::wstring::npos;
}

HRESULT ParseFilter(const std::wstring& Text, const std::vector<TColumn>& Columns, std::vector<TCondition>& Out,
                    REFIID Iid, const wchar_t* Source) {
  auto invalid = [&] { return AdoError(Iid, Source, adErrInvalidArgument); };
  size_t i = 0;
  auto skipBlanks = [&] { while (i < Text.size() && iswspace(Text[i])) ++i; };
  auto word = [&](const wchar_t* w) {
    const size_t n = wcslen(w);
    if (Text.size() - i < n || !SameText(Text.substr(i, n), w)) return false;
    if (i + n < Text.size() && (iswalnum(Text[i + n]) || Text[i + n] == L'_')) return false;
    i += n;
    return true;
  };
  for (;;) {
    TCondition c;
    skipBlanks();
    std::wstring name;
    if (i < Text.size() && Text[i] == L'[') {
      const size_t close = Text.find(L']', i);
      if (close == std::wstring::npos) return invalid();
      name = Text.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      while (i < Text.size() && (iswalnum(Text[i]) || Text[i] == L'_')) name += Text[i++];
    }
    if (name.empty()) return invalid();
    c.Column = ColumnNamed(Columns, name);
    if (c.Column == std::wstring::npos) return AdoError(Iid, Source, adErrItemNotFound);

    skipBlanks();
    for (const wchar_t* op : {L"<=", L">=", L"<>", L"=", L"<", L">"})
      if (Text.compare(i, wcslen(op), op) == 0) {
        c.Op = op;
        i += wcslen(op);
        break;
      }
    if (c.Op.empty() && word(L"LIKE")) c.Op = L"LIKE";
    if (c.Op.empty()) return invalid();

    skipBlanks();
    if (i < Text.size() && Text[i] == L'\'') {
      std::wstring value;
      for (++i;; ++i) {
        if (i >= Text.size()) return invalid();
        if (Text[i] == L'\'') {
          if (i + 1 < Text.size() && Text[i + 1] == L'\'') ++i;
          else break;
        }
        value += Text[i];
      }
      ++i;
      if (c.Op == L"LIKE" && !IsFilterPattern(value)) return invalid();
      V_VT(&c.Value.V) = VT_BSTR;
      V_BSTR(&c.Value.V) = AllocBstr(value);
    } else if (word(L"NULL")) {
      if (c.Op != L"=" && c.Op != L"<>") return invalid();
      V_VT(&c.Value.V) = VT_NULL;
    } else {
      const size_t start = i;
      while (i < Text.size() && (iswdigit(Text[i]) || Text[i] == L'.' || Text[i] == L'-' || Text[i] == L'+' ||
                                 Text[i] == L'e' || Text[i] == L'E'))
        ++i;
      TVar number;
      V_VT(&number.V) = VT_BSTR;
      V_BSTR(&number.V) = AllocBstr(Text.substr(start, i - start));
      if (i == start || c.Op == L"LIKE") return invalid();
      if (FAILED(VariantChangeTypeEx(&c.Value.V, &number.V, LOCALE_INVARIANT, 0, VT_DECIMAL)) &&
          FAILED(VariantChangeTypeEx(&c.Value.V, &number.V, LOCALE_INVARIANT, 0, VT_R8)))
        return invalid();
    }
    Out.push_back(std::move(c));
    skipBlanks();
    if (i == Text.size()) return S_OK;
    if (!word(L"AND")) return invalid();
  }
}

bool RowMatches(const std::vector<TVar>& Row, const std::vector<TCondition>& Conditions) {
  for (const TCondition& c : Conditions)
    if (!Matches(Row[c.Column].V, c)) return false;
  return true;
}
