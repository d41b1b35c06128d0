// A Recordset's Filter criteria: comparisons "Column Op Value" joined by AND, as ADO's cursor
// service reads them.
#pragma once

#include "AdoOdbc.h"

struct TCondition {
  size_t Column;
  std::wstring Op;  // = <> < > <= >= LIKE
  TVar Value;       // VT_BSTR, VT_DECIMAL, VT_R8 or VT_NULL
};

// The column named Name, without regard to case; npos when there is none.
size_t ColumnNamed(const std::vector<TColumn>& Columns, const std::wstring& Name);

// Op one of = <> < > <= >= LIKE; Value a quoted text ('' inside for '), a number or NULL (with =
// and <> only). A LIKE pattern may have its wildcard (* or %) at the end, or at both ends, and
// nowhere else. S_OK, adErrItemNotFound for an unknown column, adErrInvalidArgument otherwise.
HRESULT ParseFilter(const std::wstring& Text, const std::vector<TColumn>& Columns, std::vector<TCondition>& Out,
                    REFIID Iid, const wchar_t* Source);

bool RowMatches(const std::vector<TVar>& Row, const std::vector<TCondition>& Conditions);
