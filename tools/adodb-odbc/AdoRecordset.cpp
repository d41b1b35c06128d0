// ADODB.Recordset. Open fetches every row into memory; what a client may do with them is what
// ADO's cursor of the same location and type allows (CursorFor), so RecordCount, the moves and
// CursorType answer as real ADO does. Filter selects the visible rows.
#include "AdoOdbc.h"

#include <oledberr.h>

#include <algorithm>

#include "AdoFilter.h"

namespace {

const wchar_t RecordsetSource[] = L"ADODB.Recordset";
const wchar_t FieldSource[] = L"ADODB.Field";
const ADO_LONGPTR AdoPosUnknown = -1, AdoPosBof = -2, AdoPosEof = -3;

BSTR AllocBstr(const std::wstring& Text) { return SysAllocStringLen(Text.data(), UINT(Text.size())); }

bool IsCursorType(long Value) { return Value >= adOpenForwardOnly && Value <= adOpenStatic; }
bool IsLockType(long Value) { return Value >= adLockReadOnly && Value <= adLockBatchOptimistic; }

// What an open cursor can do.
struct TCursor {
  CursorTypeEnum Type;  // what CursorType reads once open
  bool Counts;          // RecordCount is the count (otherwise -1)
  bool Scrolls;         // moves backwards (MovePrevious, Move < 0, MoveLast, MoveFirst after moving)
};

// ADO's cursor rules, all of them: the client cursor service makes every cursor static; on the
// server a forward-only cursor neither counts nor scrolls, static and keyset cursors do both, and
// a dynamic one scrolls but cannot count.
TCursor CursorFor(CursorLocationEnum Location, CursorTypeEnum Asked) {
  if (Location == adUseClient) return {adOpenStatic, true, true};
  switch (Asked) {
    case adOpenStatic: return {adOpenStatic, true, true};
    case adOpenKeyset: return {adOpenKeyset, true, true};
    case adOpenDynamic: return {adOpenDynamic, false, true};
    default: return {adOpenForwardOnly, false, false};
  }
}

class TAdoRecordset : public TComObject<_Recordset>, public TConnectionUser {
public:
  ~TAdoRecordset() override {
    if (FConnection) FConnection->RemoveUser(this);
  }

  // Opens the recordset on Result with the cursor ADO gives for Location and Type (it stays
  // closed when the statement gave no result set).
  void Take(TAdoConnection* Connection, const std::wstring& Source, TResult&& Result, CursorLocationEnum Location,
            CursorTypeEnum Type, LockTypeEnum Lock) {
    FConnection = Connection;
    FSource = Source;
    FCursorLocation = Location;
    FCursor = CursorFor(Location, Type);
    FCursorType = FCursor.Type;
    FLockType = Lock;
    FOpen = !Result.Columns.empty();
    FColumns = std::move(Result.Columns);
    FRows = std::move(Result.Rows);
    FFilter = TVar();
    ShowAll();
    if (FOpen) FConnection->AddUser(this);
  }

  // Closing the connection closes its recordsets.
  void ConnectionClosed() override { CloseCursor(); }

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
      return ColumnNamed(FColumns, std::wstring(name ? name : L"", name ? SysStringLen(name) : 0));
    }
    if (SUCCEEDED(VariantChangeType(&number.V, const_cast<VARIANT*>(&Index), 0, VT_I4)) && V_I4(&number.V) >= 0 &&
        size_t(V_I4(&number.V)) < FColumns.size())
      return size_t(V_I4(&number.V));
    return std::wstring::npos;
  }

  HRESULT STDMETHODCALLTYPE get_Properties(Properties**) override { return E_NOTIMPL; }
  // A cursor that cannot count has no positions either.
  HRESULT STDMETHODCALLTYPE get_AbsolutePosition(ADO_LONGPTR* pl) override {
    if (!pl) return E_POINTER;
    if (!FOpen) return Closed();
    *pl = !FCursor.Counts ? AdoPosUnknown : Bof() ? AdoPosBof : Eof() ? AdoPosEof : FPos + 1;
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
    if (!IsCursorType(c)) return InvalidArgument();
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
    if (!IsLockType(l)) return InvalidArgument();
    FLockType = l;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_MaxRecords(ADO_LONGPTR* pl) override { return pl ? (*pl = 0, S_OK) : E_POINTER; }
  HRESULT STDMETHODCALLTYPE put_MaxRecords(ADO_LONGPTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_RecordCount(ADO_LONGPTR* pl) override {
    if (!pl) return E_POINTER;
    if (!FOpen) return Closed();
    *pl = FCursor.Counts ? ADO_LONGPTR(FVisible.size()) : -1;
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
    CloseCursor();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Delete(AffectEnum) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRows(long, VARIANT, VARIANT, VARIANT*) override { return E_NOTIMPL; }
  // Moves as ADO's table of BOF/EOF rules says: a move away from a current record is allowed,
  // a further move past either end is an error, and nothing moves in an empty recordset. A cursor
  // that does not scroll refuses every move backwards; no cursor here has bookmarks (Start).
  HRESULT STDMETHODCALLTYPE Move(ADO_LONGPTR NumRecords, VARIANT Start) override {
    if (!FOpen) return Closed();
    if (!IsMissing(Start) || (NumRecords < 0 && !FCursor.Scrolls)) return NotSupported();
    if (FVisible.empty() || (NumRecords <= 0 && Bof()) || (NumRecords >= 0 && Eof())) return NoCurrentRecord();
    FPos = std::max<ADO_LONGPTR>(-1, std::min<ADO_LONGPTR>(FPos + NumRecords, ADO_LONGPTR(FVisible.size())));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE MoveNext() override { return Move(1, VARIANT()); }
  HRESULT STDMETHODCALLTYPE MovePrevious() override { return Move(-1, VARIANT()); }
  // A forward-only cursor is still on its first record until it moves: MoveFirst is allowed there.
  HRESULT STDMETHODCALLTYPE MoveFirst() override {
    if (!FOpen) return Closed();
    if (!FCursor.Scrolls && FPos > 0) return NotSupported();
    if (FVisible.empty()) return NoCurrentRecord();
    FPos = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE MoveLast() override {
    if (!FOpen) return Closed();
    if (!FCursor.Scrolls) return NotSupported();
    if (FVisible.empty()) return NoCurrentRecord();
    FPos = ADO_LONGPTR(FVisible.size()) - 1;
    return S_OK;
  }
  // Source: the statement text (or missing: the Source property). ActiveConnection: this server's
  // connection (or missing: the ActiveConnection property). The cursor is the one ADO gives for
  // this recordset's own CursorLocation and the cursor type asked for.
  HRESULT STDMETHODCALLTYPE Open(VARIANT Source, VARIANT ActiveConnection, CursorTypeEnum CursorType,
                                 LockTypeEnum LockType, LONG Options) override {
    if (FOpen) return AdoError(__uuidof(_Recordset), RecordsetSource, adErrObjectOpen);
    if (V_VT(&Source) != VT_BSTR && !IsMissing(Source)) return InvalidArgument();
    if ((CursorType != adOpenUnspecified && !IsCursorType(CursorType)) ||
        (LockType != adLockUnspecified && !IsLockType(LockType)))
      return InvalidArgument();
    HRESULT hr = CheckCommandOptions(Options, false, __uuidof(_Recordset), RecordsetSource);
    if (FAILED(hr)) return hr;
    if (V_VT(&Source) == VT_BSTR)
      FSource.assign(V_BSTR(&Source) ? V_BSTR(&Source) : L"", V_BSTR(&Source) ? SysStringLen(V_BSTR(&Source)) : 0);
    if (!IsMissing(ActiveConnection)) {
      hr = put_ActiveConnection(ActiveConnection);
      if (FAILED(hr)) return hr;
    }
    if (!FConnection || !FConnection->IsOpen())
      return AdoError(__uuidof(_Recordset), RecordsetSource, adErrInvalidConnection);
    if (FSource.empty())
      return FConnection->ProviderError(__uuidof(_Recordset), DB_E_NOCOMMAND,
                                        L"Command text was not set for the command object.");
    TResult result;
    hr = FConnection->Run(FSource, __uuidof(_Recordset), RecordsetSource, adErrInvalidConnection, result);
    if (FAILED(hr)) return hr;
    Take(FConnection.Get(), FSource, std::move(result), FCursorLocation,
         CursorType != adOpenUnspecified ? CursorType : FCursorType, LockType != adLockUnspecified ? LockType : FLockType);
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
  // Criteria: "" or adFilterNone shows every row; otherwise the criteria ParseFilter reads. The
  // current record is the first visible one afterwards, on every cursor (a forward-only one too:
  // ADO documents no exception, so a filter restarts it).
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
    if (V_VT(&Criteria) != VT_BSTR) return InvalidArgument();
    std::vector<TCondition> conditions;
    const HRESULT hr = ParseFilter(std::wstring(V_BSTR(&Criteria), SysStringLen(V_BSTR(&Criteria))), FColumns,
                                   conditions, __uuidof(_Recordset), RecordsetSource);
    if (FAILED(hr)) return hr;
    FVisible.clear();
    for (size_t row = 0; row < FRows.size(); ++row)
      if (RowMatches(FRows[row], conditions)) FVisible.push_back(row);
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
    return p ? (*p = FCursorLocation, S_OK) : E_POINTER;
  }
  // Read-write while closed, read-only while open.
  HRESULT STDMETHODCALLTYPE put_CursorLocation(CursorLocationEnum Location) override {
    if (FOpen) return AdoError(__uuidof(_Recordset), RecordsetSource, adErrObjectOpen);
    if (!IsCursorLocation(Location)) return InvalidArgument();
    FCursorLocation = Location;
    return S_OK;
  }
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
  HRESULT NotSupported() { return AdoError(__uuidof(_Recordset), RecordsetSource, adErrFeatureNotAvailable); }
  HRESULT InvalidArgument() { return AdoError(__uuidof(_Recordset), RecordsetSource, adErrInvalidArgument); }
  void ShowAll() {
    FVisible.resize(FRows.size());
    for (size_t i = 0; i < FRows.size(); ++i) FVisible[i] = i;
    FPos = 0;
  }
  void CloseCursor() {
    if (FOpen && FConnection) FConnection->RemoveUser(this);
    FOpen = false;
    FColumns.clear();
    FRows.clear();
    FVisible.clear();
    FFilter = TVar();
  }

  ComPtr<TAdoConnection> FConnection;
  std::wstring FSource;
  CursorLocationEnum FCursorLocation = adUseServer;
  CursorTypeEnum FCursorType = adOpenForwardOnly;
  LockTypeEnum FLockType = adLockReadOnly;
  TCursor FCursor = CursorFor(adUseServer, adOpenForwardOnly);
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
  recordset->Take(Connection, Source, std::move(Result), Connection->CursorLocation(), adOpenForwardOnly,
                  adLockReadOnly);
  return ComPtr<_Recordset>(recordset.Get());
}

HRESULT CreateRecordset(REFIID riid, void** ppv) {
  ComPtr<_Recordset> object = Adopt<_Recordset>(new TAdoRecordset);
  return object->QueryInterface(riid, ppv);
}
