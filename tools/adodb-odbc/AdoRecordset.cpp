// ADODB.Recordset: a static client cursor. Open fetches every row into memory, so RecordCount is
// the real count; Filter selects the visible rows from them.
#include "AdoOdbc.h"

#include <algorithm>
#include <cwctype>

namespace {

const wchar_t RecordsetSource[] = L"ADODB.Recordset";
const wchar_t FieldSource[] = L"ADODB.Field";

BSTR AllocBstr(const std::wstring& Text) { return SysAllocStringLen(Text.data(), UINT(Text.size())); }

bool SameText(const std::wstring& A, const std::wstring& B) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, A.c_str(), int(A.size()), B.c_str(), int(B.size())) ==
         CSTR_EQUAL;
}

// One comparison of a filter: Column Op Value.
struct TCondition {
  size_t Column;
  std::wstring Op;  // = <> < > <= >= LIKE
  TVar Value;       // VT_BSTR, VT_R8 or VT_NULL
};

// "*" and "%" match any run of characters (ADO allows them at the ends of a LIKE pattern).
bool Like(const wchar_t* Text, const wchar_t* Pattern) {
  if (*Pattern == 0) return *Text == 0;
  if (*Pattern == L'*' || *Pattern == L'%') {
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
  if (V_VT(&C.Value.V) == VT_BSTR) {
    if (FAILED(VariantChangeTypeEx(&field.V, const_cast<VARIANT*>(&Field), LOCALE_INVARIANT, 0, VT_BSTR))) return false;
    if (C.Op == L"LIKE") return Like(V_BSTR(&field.V), V_BSTR(&C.Value.V));
    order = CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, V_BSTR(&field.V), int(SysStringLen(V_BSTR(&field.V))),
                           V_BSTR(&C.Value.V), int(SysStringLen(V_BSTR(&C.Value.V)))) - CSTR_EQUAL;
  } else {
    if (FAILED(VariantChangeTypeEx(&field.V, const_cast<VARIANT*>(&Field), LOCALE_INVARIANT, 0, VT_R8))) return false;
    order = V_R8(&field.V) < V_R8(&C.Value.V) ? -1 : V_R8(&field.V) > V_R8(&C.Value.V) ? 1 : 0;
  }
  if (C.Op == L"=") return order == 0;
  if (C.Op == L"<>") return order != 0;
  if (C.Op == L"<") return order < 0;
  if (C.Op == L">") return order > 0;
  if (C.Op == L"<=") return order <= 0;
  if (C.Op == L">=") return order >= 0;
  return false;
}

class TAdoRecordset : public TComObject<_Recordset> {
public:
  // Makes the recordset open on Result (it stays closed when the statement gave no result set).
  void Take(TAdoConnection* Connection, const std::wstring& Source, TResult&& Result) {
    FConnection = Connection;
    FSource = Source;
    FOpen = !Result.Columns.empty();
    FColumns = std::move(Result.Columns);
    FRows = std::move(Result.Rows);
    ShowAll();
  }

  // For Fields and Field.
  const std::vector<TColumn>& Columns() const { return FColumns; }
  HRESULT CurrentValue(size_t Column, VARIANT* Value, REFIID Iid) {
    if (!FOpen) return AdoError(Iid, FieldSource, adErrObjectClosed);
    if (FPos < 0 || size_t(FPos) >= FVisible.size()) return AdoError(Iid, FieldSource, adErrNoCurrentRecord);
    return VariantCopy(Value, &FRows[FVisible[FPos]][Column].V);
  }
  // The column named by Index (position or name); npos when there is none.
  size_t ColumnOf(const VARIANT& Index) const {
    TVar number;
    if (V_VT(&Index) == VT_BSTR || V_VT(&Index) == (VT_BSTR | VT_BYREF)) {
      const BSTR name = V_VT(&Index) == VT_BSTR ? V_BSTR(&Index) : *V_BSTRREF(&Index);
      const std::wstring wanted(name ? name : L"", name ? SysStringLen(name) : 0);
      for (size_t i = 0; i < FColumns.size(); ++i)
        if (SameText(FColumns[i].Name, wanted)) return i;
    } else if (SUCCEEDED(VariantChangeType(&number.V, const_cast<VARIANT*>(&Index), 0, VT_I4)) &&
               V_I4(&number.V) >= 0 && size_t(V_I4(&number.V)) < FColumns.size()) {
      return size_t(V_I4(&number.V));
    }
    return std::wstring::npos;
  }

  HRESULT STDMETHODCALLTYPE get_Properties(Properties**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_AbsolutePosition(ADO_LONGPTR* pl) override {
    if (!pl) return E_POINTER;
    if (!FOpen) return Closed();
    *pl = Bof() ? -2 : Eof() ? -3 : FPos + 1;  // adPosBOF, adPosEOF
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_AbsolutePosition(ADO_LONGPTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE putref_ActiveConnection(IDispatch* pconn) override {
    if (FOpen) return AdoError(__uuidof(_Recordset), RecordsetSource, adErrObjectOpen);
    FConnection = TAdoConnection::FromUnknown(pconn);
    return FConnection || !pconn ? S_OK : AdoError(__uuidof(_Recordset), RecordsetSource, adErrInvalidConnection);
  }
  HRESULT STDMETHODCALLTYPE put_ActiveConnection(VARIANT vConn) override {
    if (FOpen) return AdoError(__uuidof(_Recordset), RecordsetSource, adErrObjectOpen);
    FConnection = TAdoConnection::FromVariant(vConn);
    const bool clearing = V_VT(&vConn) == VT_EMPTY || V_VT(&vConn) == VT_NULL;
    return FConnection || clearing ? S_OK : AdoError(__uuidof(_Recordset), RecordsetSource, adErrInvalidConnection);
  }
  HRESULT STDMETHODCALLTYPE get_ActiveConnection(VARIANT* pvar) override {
    if (!pvar) return E_POINTER;
    VariantInit(pvar);
    if (FConnection) {
      V_VT(pvar) = VT_DISPATCH;
      V_DISPATCH(pvar) = static_cast<_Connection*>(FConnection.Get());
      FConnection->AddRef();
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_BOF(VARIANT_BOOL* pb) override {
    if (!pb) return E_POINTER;
    if (!FOpen) return Closed();
    *pb = Bof() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Bookmark(VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Bookmark(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_CacheSize(long* pl) override { return pl ? (*pl = 1, S_OK) : E_POINTER; }
  HRESULT STDMETHODCALLTYPE put_CacheSize(long) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_CursorType(CursorTypeEnum* p) override { return p ? (*p = FCursorType, S_OK) : E_POINTER; }
  HRESULT STDMETHODCALLTYPE put_CursorType(CursorTypeEnum c) override {
    if (FOpen) return AdoError(__uuidof(_Recordset), RecordsetSource, adErrObjectOpen);
    FCursorType = c;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_EOF(VARIANT_BOOL* pb) override {
    if (!pb) return E_POINTER;
    if (!FOpen) return Closed();
    *pb = Eof() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Fields(Fields** ppvObject) override;
  HRESULT STDMETHODCALLTYPE get_LockType(LockTypeEnum* p) override { return p ? (*p = FLockType, S_OK) : E_POINTER; }
  HRESULT STDMETHODCALLTYPE put_LockType(LockTypeEnum l) override {
    if (FOpen) return AdoError(__uuidof(_Recordset), RecordsetSource, adErrObjectOpen);
    FLockType = l;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_MaxRecords(ADO_LONGPTR* pl) override { return pl ? (*pl = 0, S_OK) : E_POINTER; }
  HRESULT STDMETHODCALLTYPE put_MaxRecords(ADO_LONGPTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_RecordCount(ADO_LONGPTR* pl) override {
    if (!pl) return E_POINTER;
    if (!FOpen) return Closed();
    *pl = ADO_LONGPTR(FVisible.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE putref_Source(IDispatch*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Source(BSTR bstrConn) override {
    if (FOpen) return AdoError(__uuidof(_Recordset), RecordsetSource, adErrObjectOpen);
    FSource.assign(bstrConn ? bstrConn : L"", bstrConn ? SysStringLen(bstrConn) : 0);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Source(VARIANT* pvSource) override {
    if (!pvSource) return E_POINTER;
    VariantInit(pvSource);
    V_VT(pvSource) = VT_BSTR;
    V_BSTR(pvSource) = AllocBstr(FSource);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE AddNew(VARIANT, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CancelUpdate() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Close() override {
    if (!FOpen) return Closed();
    FOpen = false;
    FColumns.clear();
    FRows.clear();
    FVisible.clear();
    FFilter = TVar();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Delete(AffectEnum) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRows(long, VARIANT, VARIANT, VARIANT*) override { return E_NOTIMPL; }
  // Moves as ADO's table of BOF/EOF rules says: a move away from a current record is allowed,
  // a further move past either end is an error, and nothing moves in an empty recordset.
  HRESULT STDMETHODCALLTYPE Move(ADO_LONGPTR NumRecords, VARIANT) override {
    if (!FOpen) return Closed();
    if (FVisible.empty() || (NumRecords <= 0 && Bof()) || (NumRecords >= 0 && Eof())) return NoCurrentRecord();
    FPos = std::max<ADO_LONGPTR>(-1, std::min<ADO_LONGPTR>(FPos + NumRecords, ADO_LONGPTR(FVisible.size())));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE MoveNext() override { return Move(1, VARIANT()); }
  HRESULT STDMETHODCALLTYPE MovePrevious() override { return Move(-1, VARIANT()); }
  HRESULT STDMETHODCALLTYPE MoveFirst() override {
    if (!FOpen) return Closed();
    if (FVisible.empty()) return NoCurrentRecord();
    FPos = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE MoveLast() override {
    if (!FOpen) return Closed();
    if (FVisible.empty()) return NoCurrentRecord();
    FPos = ADO_LONGPTR(FVisible.size()) - 1;
    return S_OK;
  }
  // Source: the statement text (or missing: the Source property). ActiveConnection: this server's
  // connection (or missing: the ActiveConnection property). Cursor and lock types are kept but the
  // cursor is always a static client cursor.
  HRESULT STDMETHODCALLTYPE Open(VARIANT Source, VARIANT ActiveConnection, CursorTypeEnum CursorType,
                                 LockTypeEnum LockType, LONG) override {
    if (FOpen) return AdoError(__uuidof(_Recordset), RecordsetSource, adErrObjectOpen);
    if (V_VT(&Source) == VT_BSTR) {
      FSource.assign(V_BSTR(&Source) ? V_BSTR(&Source) : L"", V_BSTR(&Source) ? SysStringLen(V_BSTR(&Source)) : 0);
    } else if (V_VT(&Source) != VT_EMPTY && V_VT(&Source) != VT_ERROR) {
      return AdoError(__uuidof(_Recordset), RecordsetSource, adErrInvalidArgument);
    }
    if (V_VT(&ActiveConnection) != VT_EMPTY && V_VT(&ActiveConnection) != VT_ERROR) {
      const HRESULT hr = put_ActiveConnection(ActiveConnection);
      if (FAILED(hr)) return hr;
    }
    if (CursorType != adOpenUnspecified) FCursorType = CursorType;
    if (LockType != adLockUnspecified) FLockType = LockType;
    if (!FConnection) return AdoError(__uuidof(_Recordset), RecordsetSource, adErrInvalidConnection);
    TResult result;
    const HRESULT hr = FConnection->Run(FSource, __uuidof(_Recordset), RecordsetSource, adErrInvalidConnection, result);
    if (FAILED(hr)) return hr;
    Take(FConnection.Get(), FSource, std::move(result));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Requery(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE _xResync(AffectEnum) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Update(VARIANT, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_AbsolutePage(ADO_LONGPTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_AbsolutePage(ADO_LONGPTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_EditMode(EditModeEnum*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Filter(VARIANT* Criteria) override {
    if (!Criteria) return E_POINTER;
    if (!FOpen) return Closed();
    VariantInit(Criteria);
    if (V_VT(&FFilter.V) == VT_EMPTY) {
      V_VT(Criteria) = VT_I4;
      V_I4(Criteria) = adFilterNone;
      return S_OK;
    }
    return VariantCopy(Criteria, &FFilter.V);
  }
  // Criteria: "" or adFilterNone shows every row; otherwise comparisons "Column Op Value" joined
  // by AND, Op one of = <> < > <= >= LIKE, Value a quoted text ('' inside for '), a number or NULL.
  HRESULT STDMETHODCALLTYPE put_Filter(VARIANT Criteria) override {
    if (!FOpen) return Closed();
    TVar text;
    if (V_VT(&Criteria) == VT_EMPTY || V_VT(&Criteria) == VT_NULL ||
        (V_VT(&Criteria) != VT_BSTR && SUCCEEDED(VariantChangeType(&text.V, &Criteria, 0, VT_I4)) &&
         V_I4(&text.V) == adFilterNone) ||
        (V_VT(&Criteria) == VT_BSTR && SysStringLen(V_BSTR(&Criteria)) == 0)) {
      FFilter = TVar();
      ShowAll();
      return S_OK;
    }
    if (V_VT(&Criteria) != VT_BSTR) return AdoError(__uuidof(_Recordset), RecordsetSource, adErrInvalidArgument);
    std::vector<TCondition> conditions;
    const HRESULT hr = ParseFilter(std::wstring(V_BSTR(&Criteria), SysStringLen(V_BSTR(&Criteria))), conditions);
    if (FAILED(hr)) return hr;
    FVisible.clear();
    for (size_t row = 0; row < FRows.size(); ++row) {
      bool all = true;
      for (const TCondition& c : conditions) all = all && Matches(FRows[row][c.Column].V, c);
      if (all) FVisible.push_back(row);
    }
    FPos = 0;
    VariantCopy(&FFilter.V, &Criteria);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_PageCount(ADO_LONGPTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_PageSize(long*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_PageSize(long) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Sort(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Sort(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Status(long*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_State(LONG* plObjState) override {
    return plObjState ? (*plObjState = FOpen ? adStateOpen : adStateClosed, S_OK) : E_POINTER;
  }
  HRESULT STDMETHODCALLTYPE _xClone(_Recordset**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UpdateBatch(AffectEnum) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CancelBatch(AffectEnum) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_CursorLocation(CursorLocationEnum* p) override {
    return p ? (*p = adUseClient, S_OK) : E_POINTER;
  }
  HRESULT STDMETHODCALLTYPE put_CursorLocation(CursorLocationEnum) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE NextRecordset(VARIANT*, _Recordset**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Supports(CursorOptionEnum, VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Collect(VARIANT Index, VARIANT* pvar) override {
    if (!pvar) return E_POINTER;
    VariantInit(pvar);
    if (!FOpen) return Closed();
    const size_t column = ColumnOf(Index);
    if (column == std::wstring::npos) return AdoError(__uuidof(_Recordset), RecordsetSource, adErrItemNotFound);
    return CurrentValue(column, pvar, __uuidof(_Recordset));
  }
  HRESULT STDMETHODCALLTYPE put_Collect(VARIANT, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_MarshalOptions(MarshalOptionsEnum*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_MarshalOptions(MarshalOptionsEnum) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Find(BSTR, ADO_LONGPTR, SearchDirectionEnum, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Cancel() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DataSource(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE putref_DataSource(IUnknown*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE _xSave(BSTR, PersistFormatEnum) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ActiveCommand(IDispatch**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_StayInSync(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_StayInSync(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetString(StringFormatEnum, long, BSTR, BSTR, BSTR, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DataMember(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_DataMember(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CompareBookmarks(VARIANT, VARIANT, CompareEnum*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(LockTypeEnum, _Recordset**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Resync(AffectEnum, ResyncEnum) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Seek(VARIANT, SeekEnum) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Index(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Index(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Save(VARIANT, PersistFormatEnum) override { return E_NOTIMPL; }

protected:
  bool Answers(REFIID riid) const override {
    return riid == __uuidof(_Recordset) || riid == __uuidof(Recordset21) || riid == __uuidof(Recordset20) ||
           riid == __uuidof(Recordset15) || riid == __uuidof(_ADO);
  }

private:
  bool Bof() const { return FVisible.empty() || FPos < 0; }
  bool Eof() const { return FVisible.empty() || FPos >= ADO_LONGPTR(FVisible.size()); }
  HRESULT Closed() { return AdoError(__uuidof(_Recordset), RecordsetSource, adErrObjectClosed); }
  HRESULT NoCurrentRecord() { return AdoError(__uuidof(_Recordset), RecordsetSource, adErrNoCurrentRecord); }
  void ShowAll() {
    FVisible.resize(FRows.size());
    for (size_t i = 0; i < FRows.size(); ++i) FVisible[i] = i;
    FPos = 0;
  }
  HRESULT ParseFilter(const std::wstring& Text, std::vector<TCondition>& Out) const;

  ComPtr<TAdoConnection> FConnection;
  std::wstring FSource;
  CursorTypeEnum FCursorType = adOpenForwardOnly;
  LockTypeEnum FLockType = adLockReadOnly;
  bool FOpen = false;
  std::vector<TColumn> FColumns;
  std::vector<std::vector<TVar>> FRows;
  std::vector<size_t> FVisible;  // rows that pass the filter, in order
  ADO_LONGPTR FPos = 0;          // index into FVisible; -1 is BOF, FVisible.size() is EOF
  TVar FFilter;                  // VT_EMPTY: no filter
};

class TAdoField : public TComObject<Field> {
public:
  TAdoField(TAdoRecordset* Recordset, size_t Column);
  HRESULT STDMETHODCALLTYPE get_Properties(Properties**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ActualSize(ADO_LONGPTR* pl) override;
  HRESULT STDMETHODCALLTYPE get_Attributes(long* pl) override;
  HRESULT STDMETHODCALLTYPE get_DefinedSize(ADO_LONGPTR* pl) override;
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstr) override;
  HRESULT STDMETHODCALLTYPE get_Type(DataTypeEnum* pDataType) override;
  HRESULT STDMETHODCALLTYPE get_Value(VARIANT* pvar) override;
  HRESULT STDMETHODCALLTYPE put_Value(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Precision(BYTE* pb) override;
  HRESULT STDMETHODCALLTYPE get_NumericScale(BYTE* pb) override;
  HRESULT STDMETHODCALLTYPE AppendChunk(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetChunk(long, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_OriginalValue(VARIANT* pvar) override { return get_Value(pvar); }
  HRESULT STDMETHODCALLTYPE get_UnderlyingValue(VARIANT* pvar) override { return get_Value(pvar); }
  HRESULT STDMETHODCALLTYPE get_DataFormat(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE putref_DataFormat(IUnknown*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Precision(BYTE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_NumericScale(BYTE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Type(DataTypeEnum) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_DefinedSize(ADO_LONGPTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Attributes(long) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Status(long* pFStatus) override { return pFStatus ? (*pFStatus = 0, S_OK) : E_POINTER; }

protected:
  bool Answers(REFIID riid) const override {
    return riid == __uuidof(Field) || riid == __uuidof(Field20) || riid == __uuidof(_ADO);
  }

private:
  const TColumn* Column() const;
  ComPtr<TAdoRecordset> FRecordset;
  size_t FColumn;
};

class TAdoFields : public TComObject<Fields> {
public:
  explicit TAdoFields(TAdoRecordset* Recordset) : FRecordset(Recordset) {}
  HRESULT STDMETHODCALLTYPE get_Count(long* c) override;
  HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Refresh() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT Index, Field** ppvObject) override;
  HRESULT STDMETHODCALLTYPE _Append(BSTR, DataTypeEnum, ADO_LONGPTR, FieldAttributeEnum) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Delete(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Append(BSTR, DataTypeEnum, ADO_LONGPTR, FieldAttributeEnum, VARIANT) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Update() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Resync(ResyncEnum) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CancelUpdate() override { return E_NOTIMPL; }

protected:
  bool Answers(REFIID riid) const override {
    return riid == __uuidof(Fields) || riid == __uuidof(Fields20) || riid == __uuidof(Fields15) ||
           riid == __uuidof(_Collection);
  }

private:
  ComPtr<TAdoRecordset> FRecordset;
};

HRESULT TAdoRecordset::ParseFilter(const std::wstring& Text, std::vector<TCondition>& Out) const {
  auto invalid = [] { return AdoError(__uuidof(_Recordset), RecordsetSource, adErrInvalidArgument); };
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
    VARIANT index;
    V_VT(&index) = VT_BSTR;
    V_BSTR(&index) = AllocBstr(name);
    c.Column = ColumnOf(index);
    VariantClear(&index);
    if (c.Column == std::wstring::npos) return AdoError(__uuidof(_Recordset), RecordsetSource, adErrItemNotFound);

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
      V_VT(&c.Value.V) = VT_BSTR;
      V_BSTR(&c.Value.V) = AllocBstr(value);
    } else if (word(L"NULL")) {
      if (c.Op != L"=" && c.Op != L"<>") return invalid();
      V_VT(&c.Value.V) = VT_NULL;
    } else {
      const size_t start = i;
      while (i < Text.size() && (iswdigit(Text[i]) || Text[i] == L'.' || Text[i] == L'-' || Text[i] == L'+')) ++i;
      TVar number;
      V_VT(&number.V) = VT_BSTR;
      V_BSTR(&number.V) = AllocBstr(Text.substr(start, i - start));
      if (i == start || c.Op == L"LIKE" ||
          FAILED(VariantChangeTypeEx(&c.Value.V, &number.V, LOCALE_INVARIANT, 0, VT_R8)))
        return invalid();
    }
    Out.push_back(std::move(c));
    skipBlanks();
    if (i == Text.size()) return S_OK;
    if (!word(L"AND")) return invalid();
  }
}

// ---- Fields and Field ----

HRESULT STDMETHODCALLTYPE TAdoRecordset::get_Fields(Fields** ppvObject) {
  if (!ppvObject) return E_POINTER;
  *ppvObject = new TAdoFields(this);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TAdoFields::get_Count(long* c) {
  return c ? (*c = long(FRecordset->Columns().size()), S_OK) : E_POINTER;
}

HRESULT STDMETHODCALLTYPE TAdoFields::get_Item(VARIANT Index, Field** ppvObject) {
  if (!ppvObject) return E_POINTER;
  *ppvObject = nullptr;
  const size_t column = FRecordset->ColumnOf(Index);
  if (column == std::wstring::npos) return AdoError(__uuidof(Fields), L"ADODB.Fields", adErrItemNotFound);
  *ppvObject = new TAdoField(FRecordset.Get(), column);
  return S_OK;
}

TAdoField::TAdoField(TAdoRecordset* Recordset, size_t Column) : FRecordset(Recordset), FColumn(Column) {}

// The column's description, or nullptr once the recordset was closed or reopened on fewer columns.
const TColumn* TAdoField::Column() const {
  return FColumn < FRecordset->Columns().size() ? &FRecordset->Columns()[FColumn] : nullptr;
}

#define QRX_FIELD_GET(Ptr, Expr)                                                  \
  if (!(Ptr)) return E_POINTER;                                                   \
  const TColumn* column = Column();                                               \
  if (!column) return AdoError(__uuidof(Field), FieldSource, adErrObjectClosed);  \
  *(Ptr) = (Expr);                                                                \
  return S_OK;

HRESULT STDMETHODCALLTYPE TAdoField::get_Attributes(long* pl) { QRX_FIELD_GET(pl, column->Attributes) }
HRESULT STDMETHODCALLTYPE TAdoField::get_DefinedSize(ADO_LONGPTR* pl) { QRX_FIELD_GET(pl, column->DefinedSize) }
HRESULT STDMETHODCALLTYPE TAdoField::get_Name(BSTR* pbstr) { QRX_FIELD_GET(pbstr, AllocBstr(column->Name)) }
HRESULT STDMETHODCALLTYPE TAdoField::get_Type(DataTypeEnum* p) { QRX_FIELD_GET(p, column->Type) }
HRESULT STDMETHODCALLTYPE TAdoField::get_Precision(BYTE* pb) { QRX_FIELD_GET(pb, column->Precision) }
HRESULT STDMETHODCALLTYPE TAdoField::get_NumericScale(BYTE* pb) { QRX_FIELD_GET(pb, column->Scale) }
#undef QRX_FIELD_GET

HRESULT STDMETHODCALLTYPE TAdoField::get_Value(VARIANT* pvar) {
  if (!pvar) return E_POINTER;
  VariantInit(pvar);
  if (!Column()) return AdoError(__uuidof(Field), FieldSource, adErrObjectClosed);
  return FRecordset->CurrentValue(FColumn, pvar, __uuidof(Field));
}

// Bytes of the current value: text in UTF-16 code units times two for the W types, as ADO counts.
HRESULT STDMETHODCALLTYPE TAdoField::get_ActualSize(ADO_LONGPTR* pl) {
  if (!pl) return E_POINTER;
  TVar value;
  const HRESULT hr = get_Value(&value.V);
  if (FAILED(hr)) return hr;
  switch (V_VT(&value.V)) {
    case VT_NULL: *pl = 0; break;
    case VT_BSTR: *pl = ADO_LONGPTR(SysStringByteLen(V_BSTR(&value.V))); break;
    case VT_ARRAY | VT_UI1: *pl = ADO_LONGPTR(V_ARRAY(&value.V)->rgsabound[0].cElements); break;
    default: *pl = Column()->DefinedSize; break;
  }
  return S_OK;
}

}  // namespace

ComPtr<_Recordset> NewRecordset(TAdoConnection* Connection, const std::wstring& Source, TResult&& Result) {
  ComPtr<TAdoRecordset> recordset = Adopt<TAdoRecordset>(new TAdoRecordset);
  recordset->Take(Connection, Source, std::move(Result));
  return ComPtr<_Recordset>(recordset.Get());
}

HRESULT CreateRecordset(REFIID riid, void** ppv) {
  ComPtr<_Recordset> object = Adopt<_Recordset>(new TAdoRecordset);
  return object->QueryInterface(riid, ppv);
}
