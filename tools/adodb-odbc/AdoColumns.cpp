// Result columns and their values as ADO over SQL Server gives them: integer as adInteger (VT_I4),
// varchar(n) as adVarChar (VT_BSTR), numeric(p,s) as adNumeric with exact VT_DECIMAL values.
#include "AdoColumns.h"

#include <oledberr.h>

#include <cwctype>

namespace {

BSTR AllocBstr(const std::wstring& Text) { return SysAllocStringLen(Text.data(), UINT(Text.size())); }

bool SameName(const std::wstring& A, const std::wstring& B) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, A.c_str(), int(A.size()), B.c_str(), int(B.size())) ==
         CSTR_EQUAL;
}

bool StartsWithWord(const std::wstring& Text, const wchar_t* Word) {
  const size_t n = wcslen(Word);
  return Text.size() >= n && SameName(Text.substr(0, n), Word) &&
         (Text.size() == n || !(iswalnum(Text[n]) || Text[n] == L'_'));
}

DataTypeEnum AdoType(SQLSMALLINT SqlType) {
  switch (SqlType) {
    case SQL_CHAR: return adChar;
    case SQL_VARCHAR: return adVarChar;
    case SQL_LONGVARCHAR: return adLongVarChar;
    case SQL_WCHAR: return adWChar;
    case SQL_WVARCHAR: return adVarWChar;
    case SQL_WLONGVARCHAR: return adLongVarWChar;
    case SQL_BIT: return adBoolean;
    case SQL_TINYINT: return adUnsignedTinyInt;
    case SQL_SMALLINT: return adSmallInt;
    case SQL_INTEGER: return adInteger;
    case SQL_BIGINT: return adBigInt;
    case SQL_REAL: return adSingle;
    case SQL_FLOAT: case SQL_DOUBLE: return adDouble;
    case SQL_NUMERIC: return adNumeric;
    case SQL_DECIMAL: return adDecimal;
    case SQL_TYPE_DATE: case SQL_DATE: return adDBDate;
    case SQL_TYPE_TIME: case SQL_TIME: return adDBTime;
    case SQL_TYPE_TIMESTAMP: case SQL_TIMESTAMP: return adDBTimeStamp;
    case SQL_BINARY: return adBinary;
    case SQL_VARBINARY: return adVarBinary;
    case SQL_LONGVARBINARY: return adLongVarBinary;
    case SQL_GUID: return adGUID;
    default: return adVarWChar;
  }
}

ADO_LONGPTR FixedSize(DataTypeEnum Type) {
  switch (Type) {
    case adBoolean: case adSmallInt: return 2;
    case adUnsignedTinyInt: return 1;
    case adInteger: case adSingle: return 4;
    case adBigInt: case adDouble: return 8;
    case adDBDate: return 6;
    case adDBTime: return 6;
    case adDBTimeStamp: return 16;
    case adNumeric: case adDecimal: return 19;
    default: return 0;
  }
}

bool IsLong(DataTypeEnum Type) { return Type == adLongVarChar || Type == adLongVarWChar || Type == adLongVarBinary; }
bool IsBinary(DataTypeEnum Type) { return Type == adBinary || Type == adVarBinary || Type == adLongVarBinary; }

// Precision of the other numeric types as SQL Server's provider reports it; 255 (OLE DB's ~0) for
// every type that is not numeric.
BYTE PrecisionOf(DataTypeEnum Type) {
  switch (Type) {
    case adUnsignedTinyInt: return 3;
    case adSmallInt: return 5;
    case adInteger: return 10;
    case adBigInt: return 19;
    case adSingle: return 7;
    case adDouble: return 15;
    default: return 255;
  }
}

std::wstring TextAttribute(SQLHSTMT Statement, SQLUSMALLINT Number, SQLUSMALLINT Field) {
  SQLWCHAR text[256] = {};
  SQLSMALLINT bytes = 0;
  if (!SQL_SUCCEEDED(SQLColAttributeW(Statement, Number, Field, text, sizeof text, &bytes, nullptr))) return {};
  return reinterpret_cast<wchar_t*>(text);
}

std::wstring TextData(SQLHSTMT Statement, SQLUSMALLINT Number) {
  SQLWCHAR text[256] = {};
  SQLLEN indicator = 0;
  if (!SQL_SUCCEEDED(SQLGetData(Statement, Number, SQL_C_WCHAR, text, sizeof text, &indicator)) ||
      indicator == SQL_NULL_DATA)
    return {};
  return reinterpret_cast<wchar_t*>(text);
}

// The declaration of the table column behind result column Number ("numeric(10,2)"); empty for
// an expression or when the catalog does not say.
std::wstring DeclaredType(SQLHDBC Dbc, SQLHSTMT Statement, SQLUSMALLINT Number) {
  std::wstring table = TextAttribute(Statement, Number, SQL_DESC_BASE_TABLE_NAME);
  std::wstring column = TextAttribute(Statement, Number, SQL_DESC_BASE_COLUMN_NAME);
  if (table.empty() || column.empty()) return {};
  SQLHSTMT handle = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, Dbc, &handle))) return {};
  TOdbcStatement catalog(handle);
  if (!SQL_SUCCEEDED(SQLColumnsW(handle, nullptr, 0, nullptr, 0, reinterpret_cast<SQLWCHAR*>(&table[0]), SQL_NTS,
                                 reinterpret_cast<SQLWCHAR*>(&column[0]), SQL_NTS)))
    return {};
  // The names are patterns to SQLColumns ("_" matches any character): take the exact one.
  while (SQL_SUCCEEDED(SQLFetch(handle)))
    if (SameName(TextData(handle, 3), table) && SameName(TextData(handle, 4), column)) return TextData(handle, 6);
  return {};
}

// Precision and scale of "numeric(p,s)", "numeric(p)" or "numeric" (SQL Server's default is (18,0)).
void NumericDeclaration(const std::wstring& Declaration, BYTE& Precision, BYTE& Scale) {
  Precision = 18;
  Scale = 0;
  const size_t open = Declaration.find(L'(');
  if (open == std::wstring::npos) return;
  const wchar_t* p = Declaration.c_str() + open + 1;
  wchar_t* end = nullptr;
  const long precision = wcstol(p, &end, 10);
  if (end == p || precision < 1 || precision > 38) return;
  long scale = 0;
  while (iswspace(*end)) ++end;
  if (*end == L',') {
    p = end + 1;
    scale = wcstol(p, &end, 10);
    if (end == p || scale < 0 || scale > precision) return;
  }
  Precision = BYTE(precision);
  Scale = BYTE(scale);
}

// Reads a long value piece by piece; false on a driver error.
template <class T>
bool ReadAll(SQLHSTMT Statement, SQLUSMALLINT Column, SQLSMALLINT CType, std::vector<T>& Data, bool& Null) {
  const size_t terminator = CType == SQL_C_WCHAR ? 1 : 0;
  Data.clear();
  Null = false;
  T buffer[2048];
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN r = SQLGetData(Statement, Column, CType, buffer, sizeof buffer, &indicator);
    if (r == SQL_NO_DATA) return true;
    if (!SQL_SUCCEEDED(r)) return false;
    if (indicator == SQL_NULL_DATA) {
      Null = true;
      return true;
    }
    const size_t room = sizeof buffer / sizeof(T) - terminator;
    const size_t got = (indicator == SQL_NO_TOTAL || size_t(indicator) / sizeof(T) > room) ? room
                                                                                          : size_t(indicator) / sizeof(T);
    Data.insert(Data.end(), buffer, buffer + got);
    if (r == SQL_SUCCESS) return true;
  }
}

// Multiplies the 96-bit mantissa by ten and adds one to the scale; false when it would not fit.
bool RaiseScale(DECIMAL& Value) {
  ULONG words[3] = {Value.Lo32, Value.Mid32, Value.Hi32};
  ULONGLONG carry = 0;
  for (ULONG& word : words) {
    carry += ULONGLONG(word) * 10;
    word = ULONG(carry);
    carry >>= 32;
  }
  if (carry || Value.scale >= 28) return false;
  Value.Lo32 = words[0];
  Value.Mid32 = words[1];
  Value.Hi32 = words[2];
  ++Value.scale;
  return true;
}

// The exact value of a numeric column from the database's text (never through a double), at the
// column's scale as the server holds it: "12.5" in numeric(10,2) is 12.50.
HRESULT DecimalFromText(std::wstring Text, BYTE Scale, VARIANT& Out) {
  DECIMAL value;
  if (FAILED(VarDecFromStr(&Text[0], LOCALE_INVARIANT, 0, &value))) return DB_E_CANTCONVERTVALUE;
  while (value.scale < Scale && RaiseScale(value)) {
  }
  V_DECIMAL(&Out) = value;  // DECIMAL overlays the whole VARIANT: the type goes in afterwards
  V_VT(&Out) = VT_DECIMAL;
  return S_OK;
}

}  // namespace

bool DescribeColumns(SQLHDBC Dbc, SQLHSTMT Statement, std::vector<TColumn>& Out) {
  SQLSMALLINT columns = 0;
  if (!SQL_SUCCEEDED(SQLNumResultCols(Statement, &columns))) return false;
  for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(columns); ++i) {
    SQLWCHAR name[256] = {};
    SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = SQL_NULLABLE_UNKNOWN;
    SQLULEN size = 0;
    if (!SQL_SUCCEEDED(SQLDescribeColW(Statement, i, name, 256, &nameLength, &sqlType, &size, &digits, &nullable)))
      return false;
    TColumn column;
    column.Name.assign(reinterpret_cast<wchar_t*>(name), std::min<SQLSMALLINT>(nameLength, 255));
    column.Type = AdoType(sqlType);
    column.Precision = PrecisionOf(column.Type);
    column.Scale = 255;
    if (column.Type == adDBTimeStamp) {
      column.Precision = BYTE(std::min<SQLULEN>(size, 255));
      column.Scale = BYTE(digits);
    }
    // The SQLite driver reports numeric columns as double and decimal ones as text, and keeps
    // their declared scale to itself.
    const std::wstring typeName = TextAttribute(Statement, i, SQL_DESC_TYPE_NAME);
    const bool isDecimal = StartsWithWord(typeName, L"decimal") || sqlType == SQL_DECIMAL;
    if (isDecimal || StartsWithWord(typeName, L"numeric") || sqlType == SQL_NUMERIC) {
      column.Type = isDecimal ? adDecimal : adNumeric;
      const std::wstring declaration = DeclaredType(Dbc, Statement, i);
      if (!declaration.empty()) {
        NumericDeclaration(declaration, column.Precision, column.Scale);
      } else if (sqlType == SQL_NUMERIC || sqlType == SQL_DECIMAL) {
        column.Precision = BYTE(std::min<SQLULEN>(size, 38));
        column.Scale = BYTE(digits);
      } else {
        // The driver names an alias as the base column, so its declaration is not found; it does
        // report the declared precision as the column size, but not the scale.
        NumericDeclaration(L"", column.Precision, column.Scale);
        if (size >= 1 && size <= 38) column.Precision = BYTE(size);
      }
    }
    if (FixedSize(column.Type))
      column.DefinedSize = FixedSize(column.Type);
    else if (IsLong(column.Type))  // text, ntext, image: SQL Server's sizes
      column.DefinedSize = column.Type == adLongVarWChar ? 1073741823 : 2147483647;
    else
      column.DefinedSize = ADO_LONGPTR(size);
    column.Attributes = (nullable != SQL_NO_NULLS ? adFldIsNullable | adFldMayBeNull : 0) |
                        (FixedSize(column.Type) ? adFldFixed : 0) | (IsLong(column.Type) ? adFldLong : 0);
    Out.push_back(column);
  }
  return true;
}

HRESULT ReadValue(SQLHSTMT Statement, SQLUSMALLINT Number, const TColumn& Column, TVar& Out) {
  VARIANT& v = Out.V;
  SQLLEN indicator = 0;
  switch (Column.Type) {
    case adBoolean: case adUnsignedTinyInt: case adSmallInt: case adInteger: case adBigInt: {
      SQLBIGINT number = 0;
      if (!SQL_SUCCEEDED(SQLGetData(Statement, Number, SQL_C_SBIGINT, &number, 0, &indicator))) return E_FAIL;
      if (indicator == SQL_NULL_DATA) break;
      V_VT(&v) = VT_I8;
      V_I8(&v) = number;
      // SQLite keeps any integer in any integer column: one too wide for the type stays VT_I8.
      TVar narrow;
      if (Column.Type != adBigInt && SUCCEEDED(VariantChangeType(&narrow.V, &v, 0, VARTYPE(Column.Type))))
        std::swap(v, narrow.V);
      return S_OK;
    }
    case adSingle: case adDouble: {
      double number = 0;
      if (!SQL_SUCCEEDED(SQLGetData(Statement, Number, SQL_C_DOUBLE, &number, 0, &indicator))) return E_FAIL;
      if (indicator == SQL_NULL_DATA) break;
      V_VT(&v) = VT_R8;
      V_R8(&v) = number;
      return Column.Type == adDouble || SUCCEEDED(VariantChangeType(&v, &v, 0, VT_R4)) ? S_OK : E_FAIL;
    }
    case adNumeric: case adDecimal: {
      std::vector<wchar_t> text;
      bool null = false;
      if (!ReadAll(Statement, Number, SQL_C_WCHAR, text, null)) return E_FAIL;
      if (null) break;
      return DecimalFromText(std::wstring(text.begin(), text.end()), Column.Scale, v);
    }
    case adDBDate: case adDBTime: case adDBTimeStamp: {
      SQL_TIMESTAMP_STRUCT t = {};
      if (!SQL_SUCCEEDED(SQLGetData(Statement, Number, SQL_C_TYPE_TIMESTAMP, &t, 0, &indicator))) return E_FAIL;
      if (indicator == SQL_NULL_DATA) break;
      SYSTEMTIME st = {WORD(t.year ? t.year : 1899), WORD(t.month ? t.month : 12), 0, WORD(t.day ? t.day : 30),
                       t.hour, t.minute, t.second, WORD(t.fraction / 1000000)};
      V_VT(&v) = VT_DATE;
      return SystemTimeToVariantTime(&st, &V_DATE(&v)) ? S_OK : E_FAIL;
    }
    default:
      if (IsBinary(Column.Type)) {
        std::vector<BYTE> data;
        bool null = false;
        if (!ReadAll(Statement, Number, SQL_C_BINARY, data, null)) return E_FAIL;
        if (null) break;
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, ULONG(data.size()));
        if (!array) return E_OUTOFMEMORY;
        if (!data.empty()) memcpy(array->pvData, data.data(), data.size());
        V_VT(&v) = VT_ARRAY | VT_UI1;
        V_ARRAY(&v) = array;
        return S_OK;
      } else {
        std::vector<wchar_t> text;
        bool null = false;
        if (!ReadAll(Statement, Number, SQL_C_WCHAR, text, null)) return E_FAIL;
        if (null) break;
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = AllocBstr(std::wstring(text.begin(), text.end()));
        return S_OK;
      }
  }
  V_VT(&v) = VT_NULL;
  return S_OK;
}
