#include "data/UAdoDataSet.h"

#include <climits>

#include "util/UStrConv.h"
#include "util/UdsErrors.h"

using Microsoft::WRL::ComPtr;

namespace {
// A BSTR owned by the object.
class TBStr {
public:
  TBStr() = default;
  explicit TBStr(const std::string& Text)
  {
    std::wstring wide = AnsiToWide(Text);
    FValue = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!FValue)
      throw EDatabaseError("Out of memory");
  }
  ~TBStr() { SysFreeString(FValue); }
  TBStr(const TBStr&) = delete;
  TBStr& operator=(const TBStr&) = delete;
  BSTR Get() const { return FValue; }
  BSTR* Out()
  {
    SysFreeString(FValue);
    FValue = nullptr;
    return &FValue;
  }
  std::string Ansi() const { return FValue ? WideToAnsi(std::wstring(FValue, SysStringLen(FValue))) : std::string(); }

private:
  BSTR FValue = nullptr;
};

// A VARIANT cleared with the object.
class TVariant {
public:
  TVariant() { VariantInit(&FValue); }
  ~TVariant() { VariantClear(&FValue); }
  TVariant(const TVariant&) = delete;
  TVariant& operator=(const TVariant&) = delete;
  VARIANT& Get() { return FValue; }
  VARIANT* Out()
  {
    VariantClear(&FValue);
    return &FValue;
  }

  // VT_BSTR holding Text (UTF-16 of the GBK text).
  static void Text(TVariant& v, const std::string& Text)
  {
    std::wstring wide = AnsiToWide(Text);
    v.Out()->vt = VT_BSTR;
    v.FValue.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!v.FValue.bstrVal) {
      v.FValue.vt = VT_EMPTY;
      throw EDatabaseError("Out of memory");
    }
  }
  // An optional argument that is left out.
  static void Missing(TVariant& v)
  {
    v.Out()->vt = VT_ERROR;
    v.FValue.scode = DISP_E_PARAMNOTFOUND;
  }

private:
  VARIANT FValue;
};

// The description an error object holds, if the failing call left one on this thread.
std::string ErrorInfoText()
{
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, &info) != S_OK || !info)
    return {};
  TBStr description;
  if (FAILED(info->GetDescription(description.Out())))
    return {};
  return description.Ansi();
}

std::string SystemErrorText(HRESULT hr)
{
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (n && buffer)
    text = Trim(WideToAnsi(std::wstring(buffer, n)));
  LocalFree(buffer);
  if (text.empty()) {
    char code[32];
    snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    text = std::string("ADO error ") + code;
  }
  return text;
}

// Drops the error object a failure left behind, so that it is not taken for a later one's.
void ForgetError(HRESULT hr)
{
  if (FAILED(hr))
    SetErrorInfo(0, nullptr);
}

// A variant as text; NULL and empty are NULL.
TFieldValue VariantText(VARIANT& Value)
{
  TFieldValue out;
  if (Value.vt == VT_NULL || Value.vt == VT_EMPTY)
    return out;
  out.IsNull = false;
  if (Value.vt == VT_BSTR) {
    out.Text = Value.bstrVal ? WideToAnsi(std::wstring(Value.bstrVal, SysStringLen(Value.bstrVal))) : std::string();
    return out;
  }
  if (Value.vt == (VT_ARRAY | VT_UI1) && Value.parray) {
    void* data = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(Value.parray, &data))) {
      LONG lower = 0, upper = -1;
      SafeArrayGetLBound(Value.parray, 1, &lower);
      SafeArrayGetUBound(Value.parray, 1, &upper);
      if (upper >= lower)
        out.Text.assign(static_cast<const char*>(data), static_cast<size_t>(upper - lower + 1));
      SafeArrayUnaccessData(Value.parray);
    }
    return out;
  }
  TVariant text;
  if (FAILED(VariantChangeType(text.Out(), &Value, VARIANT_ALPHABOOL, VT_BSTR)) || text.Get().vt != VT_BSTR)
    throw EDatabaseError("Field value cannot be read as text");
  BSTR b = text.Get().bstrVal;
  out.Text = b ? WideToAnsi(std::wstring(b, SysStringLen(b))) : std::string();
  return out;
}
}  // namespace

void RaiseAdoError(HRESULT hr, IUnknown* Object, REFIID Iid)
{
  // COM's rule: the thread's error object describes this failure only when the object says it
  // reports errors through it for that interface. Otherwise it is some earlier failure's.
  std::string text;
  ComPtr<ISupportErrorInfo> support;
  if (Object && SUCCEEDED(Object->QueryInterface(IID_PPV_ARGS(&support))) &&
      support->InterfaceSupportsErrorInfo(Iid) == S_OK)
    text = ErrorInfoText();
  else
    SetErrorInfo(0, nullptr);
  // Never the connection's Errors collection: ADO keeps it across successful calls, so it may
  // describe a failure long past.
  if (text.empty())
    text = SystemErrorText(hr);
  throw EDatabaseError(text);
}

int RowsAffectedCount(const VARIANT& RowsAffected)
{
  // A provider that keeps no count leaves the variant empty; VT_EMPTY would convert to 0.
  if (RowsAffected.vt == VT_EMPTY || RowsAffected.vt == VT_NULL)
    return -1;
  VARIANT count;
  VariantInit(&count);
  if (FAILED(VariantChangeType(&count, const_cast<VARIANT*>(&RowsAffected), 0, VT_I4)))
    return -1;
  return count.lVal;
}

TFieldType FieldTypeOfAdo(DataTypeEnum AdoType, ADO_LONGPTR DefinedSize, int& Size)
{
  int size = DefinedSize < 0 ? 0 : DefinedSize > INT_MAX ? INT_MAX : static_cast<int>(DefinedSize);
  Size = 0;
  switch (AdoType) {
    case adTinyInt:
    case adSmallInt:
      return ftSmallint;
    case adUnsignedTinyInt:
    case adUnsignedSmallInt:
      return ftWord;
    case adInteger:
    case adUnsignedInt:
      return ftInteger;
    case adBigInt:
    case adUnsignedBigInt:
      return ftLargeint;
    case adBoolean:
      return ftBoolean;
    case adSingle:
    case adDouble:
      return ftFloat;
    case adCurrency:
      return ftCurrency;
    case adDecimal:
    case adNumeric:
    case adVarNumeric:
      return ftBCD;
    case adDBDate:
      return ftDate;
    case adDBTime:
      return ftTime;
    case adDate:
    case adDBTimeStamp:
    case adFileTime:
      return ftDateTime;
    case adGUID:
      return ftGuid;
    case adChar:
    case adVarChar:
    case adBSTR:
      Size = size;
      return ftString;
    case adWChar:
    case adVarWChar:
      Size = size;
      return ftWideString;
    case adLongVarChar:
      return ftMemo;
    case adLongVarWChar:
      return ftWideMemo;
    case adBinary:
      Size = size;
      return ftBytes;
    case adVarBinary:
      Size = size;
      return ftVarBytes;
    case adLongVarBinary:
      return ftBlob;
    default:
      return ftUnknown;
  }
}

// ---- TADODataSet ----

TADODataSet::~TADODataSet() { Close(); }

void TADODataSet::SetConnection(_Connection* Connection) { FConnection = Connection; }

void TADODataSet::Open()
{
  if (Active())
    return;
  // Recordset15: every method used here is in it, and ADO has answered it since version 1.5.
  ComPtr<Recordset15> recordset;
  HRESULT hr = CoCreateInstance(CLSID_AdoRecordset, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&recordset));
  if (FAILED(hr))
    RaiseAdoError(hr, nullptr, IID_NULL);
  // A client-side cursor counts its records, whatever the connection's cursor location.
  AdoCheck(recordset->put_CursorLocation(adUseClient), recordset.Get());

  TVariant source, connection;
  TVariant::Text(source, FCommandText);
  if (FConnection) {
    connection.Get().vt = VT_DISPATCH;
    connection.Get().pdispVal = FConnection.Get();
    FConnection->AddRef();
  } else {
    TVariant::Missing(connection);
  }
  AdoCheck(recordset->Open(source.Get(), connection.Get(), adOpenStatic, adLockOptimistic, adCmdText), recordset.Get());

  LONG state = adStateClosed;
  if (FAILED(recordset->get_State(&state)) || !(state & adStateOpen))
    throw EDatabaseError("CommandText does not return a result set");

  ComPtr<Fields> fields;
  long count = 0;
  AdoCheck(recordset->get_Fields(&fields), recordset.Get());
  AdoCheck(fields->get_Count(&count), fields.Get());
  std::vector<TFieldDef> defs;
  std::vector<ComPtr<Field>> items;
  std::vector<bool> fixedWidth;
  for (long i = 0; i < count; ++i) {
    TVariant index;
    index.Get().vt = VT_I4;
    index.Get().lVal = i;
    ComPtr<Field> field;
    AdoCheck(fields->get_Item(index.Get(), &field), fields.Get());
    TBStr name;
    DataTypeEnum type = adEmpty;
    ADO_LONGPTR definedSize = 0;
    AdoCheck(field->get_Name(name.Out()), field.Get());
    AdoCheck(field->get_Type(&type), field.Get());
    AdoCheck(field->get_DefinedSize(&definedSize), field.Get());
    TFieldDef def;
    def.Name = name.Ansi();
    def.DataType = FieldTypeOfAdo(type, definedSize, def.Size);
    defs.push_back(def);
    items.push_back(field);
    fixedWidth.push_back(type == adChar || type == adWChar);
  }

  FRecordset = recordset;
  FFieldDefs.swap(defs);
  FFields.swap(items);
  FFixedWidth.swap(fixedWidth);
  try {
    ApplyFilter();
  } catch (...) {
    Close();
    throw;
  }
}

void TADODataSet::Close()
{
  FFields.clear();
  FFixedWidth.clear();
  FFieldDefs.clear();
  if (FRecordset) {
    ForgetError(FRecordset->Close());
    FRecordset.Reset();
  }
}

void TADODataSet::SetFilter(const std::string& Filter)
{
  FFilter = Filter;
  ApplyFilter();
}

void TADODataSet::SetFiltered(bool Filtered)
{
  FFiltered = Filtered;
  ApplyFilter();
}

void TADODataSet::ApplyFilter()
{
  if (!FRecordset)
    return;
  TVariant criteria;
  TVariant::Text(criteria, FFiltered ? FFilter : std::string());
  AdoCheck(FRecordset->put_Filter(criteria.Get()), FRecordset.Get());
}

int TADODataSet::RecordCount()
{
  if (!FRecordset)
    return 0;
  ADO_LONGPTR count = 0;
  AdoCheck(FRecordset->get_RecordCount(&count), FRecordset.Get());
  if (count > INT_MAX)
    return INT_MAX;
  return count < 0 ? -1 : static_cast<int>(count);
}

TFieldDef TADODataSet::FieldDefAt(int Index) const
{
  if (Index < 0 || Index >= FieldCount())
    throw EDatabaseError("Field index out of range");
  return FFieldDefs[static_cast<size_t>(Index)];
}

void TADODataSet::First()
{
  CheckActive();
  VARIANT_BOOL bof = VARIANT_FALSE, eof = VARIANT_FALSE;
  AdoCheck(FRecordset->get_BOF(&bof), FRecordset.Get());
  AdoCheck(FRecordset->get_EOF(&eof), FRecordset.Get());
  if (bof && eof)
    return;  // no records: ADO refuses to move
  AdoCheck(FRecordset->MoveFirst(), FRecordset.Get());
}

void TADODataSet::Next()
{
  CheckActive();
  if (!Eof())
    AdoCheck(FRecordset->MoveNext(), FRecordset.Get());
}

bool TADODataSet::Eof() const
{
  if (!FRecordset)
    return true;
  VARIANT_BOOL eof = VARIANT_TRUE;
  AdoCheck(FRecordset->get_EOF(&eof), FRecordset.Get());
  return eof != VARIANT_FALSE;
}

TFieldValue TADODataSet::FieldValueAt(int Index) const
{
  CheckActive();
  if (Index < 0 || Index >= FieldCount())
    throw EDatabaseError("Field index out of range");
  VARIANT_BOOL bof = VARIANT_FALSE, eof = VARIANT_FALSE;
  AdoCheck(FRecordset->get_BOF(&bof), FRecordset.Get());
  AdoCheck(FRecordset->get_EOF(&eof), FRecordset.Get());
  if (bof || eof)
    return {};  // no current record
  TVariant value;
  const ComPtr<Field>& field = FFields[static_cast<size_t>(Index)];
  AdoCheck(field->get_Value(value.Out()), field.Get());
  TFieldValue result = VariantText(value.Get());
  // A fixed-width column (char(n)) hands its text out padded with blanks to its width; as text the
  // value ends before them, as the database itself converts it and compares it ("201       " is
  // the identifier 201, "G " the mode G).
  if (FFixedWidth[static_cast<size_t>(Index)])
    result.Text.erase(result.Text.find_last_not_of(' ') + 1);
  return result;
}

// ---- TADOCommand ----

Command15* TADOCommand::Command()
{
  if (!FCommand) {
    HRESULT hr = CoCreateInstance(CLSID_AdoCommand, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&FCommand));
    if (FAILED(hr))
      RaiseAdoError(hr, nullptr, IID_NULL);
  }
  return FCommand.Get();
}

void TADOCommand::SetConnection(_Connection* Connection)
{
  AdoCheck(Command()->putref_ActiveConnection(Connection), Command());
  FConnection = Connection;
}

void TADOCommand::SetCommandText(const std::string& SQL)
{
  TBStr text(SQL);
  AdoCheck(Command()->put_CommandText(text.Get()), Command());
  FCommandText = SQL;
}

int TADOCommand::Execute()
{
  TVariant rowsAffected, parameters;
  TVariant::Missing(parameters);
  ComPtr<_Recordset> discarded;
  AdoCheck(Command()->Execute(rowsAffected.Out(), &parameters.Get(), adCmdText, &discarded), Command());
  if (discarded) {
    LONG state = adStateClosed;
    if (SUCCEEDED(discarded->get_State(&state)) && (state & adStateOpen))
      ForgetError(discarded->Close());
  }
  return RowsAffectedCount(rowsAffected.Get());
}
