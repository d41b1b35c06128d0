// ADO's COM interfaces, declared here as the ADO type library lays them out (msado15.dll),
// for the database kit and for the ADO-over-ODBC server the tests use.
//
// Every method before the last one anybody calls is declared, in ADO's own order: a COM call goes
// through the vtable slot, so one missing or swapped method calls the wrong code. Counts that ADO
// declares as ADO_LONGPTR are pointer-sized: 4 bytes in 32-bit ADO, 8 bytes in 64-bit ADO.
// Enumerations are 4 bytes, as in the type library.
#pragma once

#include <windows.h>
#include <oaidl.h>

typedef LONG_PTR ADO_LONGPTR;

// ---- enumerations (the values a client or the server uses) ----

enum CursorTypeEnum : int {
  adOpenUnspecified = -1,
  adOpenForwardOnly = 0,
  adOpenKeyset = 1,
  adOpenDynamic = 2,
  adOpenStatic = 3
};

enum LockTypeEnum : int {
  adLockUnspecified = -1,
  adLockReadOnly = 1,
  adLockPessimistic = 2,
  adLockOptimistic = 3,
  adLockBatchOptimistic = 4
};

enum CursorLocationEnum : int {
  adUseNone = 1,
  adUseServer = 2,
  adUseClient = 3
};

// The Options argument of Execute and Open: a CommandTypeEnum or'ed with ExecuteOptionEnum flags.
enum CommandTypeEnum : int {
  adCmdUnspecified = -1,
  adCmdText = 1,
  adCmdTable = 2,
  adCmdStoredProc = 4,
  adCmdUnknown = 8,
  adCmdFile = 256,
  adCmdTableDirect = 512
};

enum ExecuteOptionEnum : int {
  adOptionUnspecified = -1,
  adAsyncExecute = 0x10,
  adAsyncFetch = 0x20,
  adAsyncFetchNonBlocking = 0x40,
  adExecuteNoRecords = 0x80,
  adExecuteStream = 0x400,
  adExecuteRecord = 0x800
};

enum ObjectStateEnum : int {
  adStateClosed = 0,
  adStateOpen = 1,
  adStateConnecting = 2,
  adStateExecuting = 4,
  adStateFetching = 8
};

enum DataTypeEnum : int {
  adEmpty = 0,
  adSmallInt = 2,
  adInteger = 3,
  adSingle = 4,
  adDouble = 5,
  adCurrency = 6,
  adDate = 7,
  adBSTR = 8,
  adIDispatch = 9,
  adError = 10,
  adBoolean = 11,
  adVariant = 12,
  adIUnknown = 13,
  adDecimal = 14,
  adTinyInt = 16,
  adUnsignedTinyInt = 17,
  adUnsignedSmallInt = 18,
  adUnsignedInt = 19,
  adBigInt = 20,
  adUnsignedBigInt = 21,
  adFileTime = 64,
  adGUID = 72,
  adBinary = 128,
  adChar = 129,
  adWChar = 130,
  adNumeric = 131,
  adUserDefined = 132,
  adDBDate = 133,
  adDBTime = 134,
  adDBTimeStamp = 135,
  adChapter = 136,
  adPropVariant = 138,
  adVarNumeric = 139,
  adVarChar = 200,
  adLongVarChar = 201,
  adVarWChar = 202,
  adLongVarWChar = 203,
  adVarBinary = 204,
  adLongVarBinary = 205
};

enum FieldAttributeEnum : int {
  adFldUnspecified = -1,
  adFldMayDefer = 0x2,
  adFldUpdatable = 0x4,
  adFldUnknownUpdatable = 0x8,
  adFldFixed = 0x10,
  adFldIsNullable = 0x20,
  adFldMayBeNull = 0x40,
  adFldLong = 0x80
};

enum FilterGroupEnum : int {
  adFilterNone = 0,
  adFilterPendingRecords = 1,
  adFilterAffectedRecords = 2,
  adFilterFetchedRecords = 3,
  adFilterConflictingRecords = 5
};

// ADO's error numbers; the HRESULT is MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number).
enum ErrorValueEnum : int {
  adErrInvalidArgument = 3001,
  adErrNoCurrentRecord = 3021,
  adErrFeatureNotAvailable = 3251,
  adErrItemNotFound = 3265,
  adErrObjectClosed = 3704,
  adErrObjectOpen = 3705,
  adErrInvalidConnection = 3709
};

// Enumerations that only appear in signatures here.
enum ParameterDirectionEnum : int {};
enum IsolationLevelEnum : int {};
enum ConnectModeEnum : int {};
enum SchemaEnum : int {};
enum AffectEnum : int {};
enum EditModeEnum : int {};
enum CursorOptionEnum : int {};
enum MarshalOptionsEnum : int {};
enum SearchDirectionEnum : int {};
enum PersistFormatEnum : int {};
enum StringFormatEnum : int {};
enum CompareEnum : int {};
enum ResyncEnum : int {};
enum SeekEnum : int {};

// ---- interfaces ----

struct _Connection;
struct _Recordset;
struct Properties;
struct _Parameter;   // not used: only named in signatures
struct Parameters;   // not used: only named in signatures

struct _ADO : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Properties(Properties **ppvObject) = 0;
};

struct _Collection : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Count(long *c) = 0;
  virtual HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown **ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;
};

struct _DynaCollection : _Collection {
  virtual HRESULT STDMETHODCALLTYPE Append(IDispatch *Object) = 0;
  virtual HRESULT STDMETHODCALLTYPE Delete(VARIANT Index) = 0;
};

struct Property : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Value(VARIANT *pval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Value(VARIANT val) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR *pbstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Type(DataTypeEnum *ptype) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Attributes(long *plAttributes) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Attributes(long lAttributes) = 0;
};

struct Properties : _Collection {
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT Index, Property **ppvObject) = 0;
};

struct Error : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Number(long *pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Source(BSTR *pbstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Description(BSTR *pbstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HelpFile(BSTR *pbstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HelpContext(long *pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SQLState(BSTR *pbstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NativeError(long *pl) = 0;
};

struct Errors : _Collection {
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT Index, Error **ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
};

struct Connection15 : _ADO {
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionString(BSTR *pbstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionString(BSTR bstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CommandTimeout(LONG *plTimeout) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CommandTimeout(LONG lTimeout) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionTimeout(LONG *plTimeout) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionTimeout(LONG lTimeout) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Version(BSTR *pbstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
  virtual HRESULT STDMETHODCALLTYPE Execute(BSTR CommandText, VARIANT *RecordsAffected, long Options,
                                            _Recordset **ppiRset) = 0;
  virtual HRESULT STDMETHODCALLTYPE BeginTrans(long *TransactionLevel) = 0;
  virtual HRESULT STDMETHODCALLTYPE CommitTrans() = 0;
  virtual HRESULT STDMETHODCALLTYPE RollbackTrans() = 0;
  virtual HRESULT STDMETHODCALLTYPE Open(BSTR ConnectionString, BSTR UserID, BSTR Password, long Options) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Errors(Errors **ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DefaultDatabase(BSTR *pbstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DefaultDatabase(BSTR bstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsolationLevel(IsolationLevelEnum *Level) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsolationLevel(IsolationLevelEnum Level) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Attributes(long *plAttr) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Attributes(long lAttr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CursorLocation(CursorLocationEnum *plCursorLoc) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CursorLocation(CursorLocationEnum lCursorLoc) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Mode(ConnectModeEnum *plMode) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Mode(ConnectModeEnum lMode) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Provider(BSTR *pbstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Provider(BSTR Provider) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_State(LONG *plObjState) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenSchema(SchemaEnum Schema, VARIANT Restrictions, VARIANT SchemaID,
                                               _Recordset **pprset) = 0;
};

struct _Connection : Connection15 {
  virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
};

// Command15 is in every ADO from 1.5 on and holds all a client needs to run a statement.
struct Command15 : _ADO {
  virtual HRESULT STDMETHODCALLTYPE get_ActiveConnection(_Connection **ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_ActiveConnection(_Connection *pCon) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ActiveConnection(VARIANT vConn) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CommandText(BSTR *pbstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CommandText(BSTR bstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CommandTimeout(LONG *pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CommandTimeout(LONG Timeout) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Prepared(VARIANT_BOOL *pfPrepared) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Prepared(VARIANT_BOOL fPrepared) = 0;
  virtual HRESULT STDMETHODCALLTYPE Execute(VARIANT *RecordsAffected, VARIANT *Parameters, long Options,
                                            _Recordset **ppirs) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateParameter(BSTR Name, DataTypeEnum Type, ParameterDirectionEnum Direction,
                                                    ADO_LONGPTR Size, VARIANT Value, _Parameter **ppiprm) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Parameters(Parameters **ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CommandType(CommandTypeEnum lCmdType) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CommandType(CommandTypeEnum *plCmdType) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR *pbstrName) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR bstrName) = 0;
};

struct Command25 : Command15 {
  virtual HRESULT STDMETHODCALLTYPE get_State(LONG *plObjState) = 0;
  virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
};

struct _Command : Command25 {
  virtual HRESULT STDMETHODCALLTYPE putref_CommandStream(IUnknown *pStream) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CommandStream(VARIANT *pvStream) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Dialect(BSTR bstrDialect) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Dialect(BSTR *pbstrDialect) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_NamedParameters(VARIANT_BOOL fNamedParameters) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NamedParameters(VARIANT_BOOL *pfNamedParameters) = 0;
};

struct Field20 : _ADO {
  virtual HRESULT STDMETHODCALLTYPE get_ActualSize(ADO_LONGPTR *pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Attributes(long *pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DefinedSize(ADO_LONGPTR *pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR *pbstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Type(DataTypeEnum *pDataType) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Value(VARIANT *pvar) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Value(VARIANT Val) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Precision(BYTE *pbPrecision) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NumericScale(BYTE *pbNumericScale) = 0;
  virtual HRESULT STDMETHODCALLTYPE AppendChunk(VARIANT Data) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetChunk(long Length, VARIANT *pvar) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OriginalValue(VARIANT *pvar) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UnderlyingValue(VARIANT *pvar) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DataFormat(IUnknown **ppiDF) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_DataFormat(IUnknown *piDF) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Precision(BYTE bPrecision) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_NumericScale(BYTE bScale) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Type(DataTypeEnum DataType) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DefinedSize(ADO_LONGPTR lSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Attributes(long lAttributes) = 0;
};

struct Field : Field20 {
  virtual HRESULT STDMETHODCALLTYPE get_Status(long *pFStatus) = 0;
};

// Index: the field's position (VT_I4 and other integer types) or its name (VT_BSTR).
struct Fields15 : _Collection {
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT Index, Field **ppvObject) = 0;
};

struct Fields20 : Fields15 {
  virtual HRESULT STDMETHODCALLTYPE _Append(BSTR Name, DataTypeEnum Type, ADO_LONGPTR DefinedSize,
                                            FieldAttributeEnum Attrib) = 0;
  virtual HRESULT STDMETHODCALLTYPE Delete(VARIANT Index) = 0;
};

struct Fields : Fields20 {
  virtual HRESULT STDMETHODCALLTYPE Append(BSTR Name, DataTypeEnum Type, ADO_LONGPTR DefinedSize,
                                           FieldAttributeEnum Attrib, VARIANT FieldValue) = 0;
  virtual HRESULT STDMETHODCALLTYPE Update() = 0;
  virtual HRESULT STDMETHODCALLTYPE Resync(ResyncEnum ResyncValues) = 0;
  virtual HRESULT STDMETHODCALLTYPE CancelUpdate() = 0;
};

struct Recordset15 : _ADO {
  virtual HRESULT STDMETHODCALLTYPE get_AbsolutePosition(ADO_LONGPTR *pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AbsolutePosition(ADO_LONGPTR Position) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_ActiveConnection(IDispatch *pconn) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ActiveConnection(VARIANT vConn) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ActiveConnection(VARIANT *pvar) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BOF(VARIANT_BOOL *pb) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Bookmark(VARIANT *pvBookmark) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Bookmark(VARIANT vBookmark) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CacheSize(long *pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CacheSize(long CacheSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CursorType(CursorTypeEnum *plCursorType) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CursorType(CursorTypeEnum lCursorType) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_EOF(VARIANT_BOOL *pb) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Fields(Fields **ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LockType(LockTypeEnum *plLockType) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_LockType(LockTypeEnum lLockType) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MaxRecords(ADO_LONGPTR *plMaxRecords) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_MaxRecords(ADO_LONGPTR lMaxRecords) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RecordCount(ADO_LONGPTR *pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_Source(IDispatch *pcmd) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Source(BSTR bstrConn) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Source(VARIANT *pvSource) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddNew(VARIANT FieldList, VARIANT Values) = 0;
  virtual HRESULT STDMETHODCALLTYPE CancelUpdate() = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
  virtual HRESULT STDMETHODCALLTYPE Delete(AffectEnum AffectRecords) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRows(long Rows, VARIANT Start, VARIANT Fields, VARIANT *pvar) = 0;
  virtual HRESULT STDMETHODCALLTYPE Move(ADO_LONGPTR NumRecords, VARIANT Start) = 0;
  virtual HRESULT STDMETHODCALLTYPE MoveNext() = 0;
  virtual HRESULT STDMETHODCALLTYPE MovePrevious() = 0;
  virtual HRESULT STDMETHODCALLTYPE MoveFirst() = 0;
  virtual HRESULT STDMETHODCALLTYPE MoveLast() = 0;
  virtual HRESULT STDMETHODCALLTYPE Open(VARIANT Source, VARIANT ActiveConnection, CursorTypeEnum CursorType,
                                         LockTypeEnum LockType, LONG Options) = 0;
  virtual HRESULT STDMETHODCALLTYPE Requery(LONG Options) = 0;
  virtual HRESULT STDMETHODCALLTYPE _xResync(AffectEnum AffectRecords) = 0;
  virtual HRESULT STDMETHODCALLTYPE Update(VARIANT Fields, VARIANT Values) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AbsolutePage(ADO_LONGPTR *pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AbsolutePage(ADO_LONGPTR Page) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_EditMode(EditModeEnum *pl) = 0;
  // Criteria: a VT_BSTR condition such as "FID = 'x'", "" to clear, or a FilterGroupEnum.
  virtual HRESULT STDMETHODCALLTYPE get_Filter(VARIANT *Criteria) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Filter(VARIANT Criteria) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PageCount(ADO_LONGPTR *pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PageSize(long *pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_PageSize(long PageSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Sort(BSTR *Criteria) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Sort(BSTR Criteria) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Status(long *pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_State(LONG *plObjState) = 0;
  virtual HRESULT STDMETHODCALLTYPE _xClone(_Recordset **ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE UpdateBatch(AffectEnum AffectRecords) = 0;
  virtual HRESULT STDMETHODCALLTYPE CancelBatch(AffectEnum AffectRecords) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CursorLocation(CursorLocationEnum *plCursorLoc) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CursorLocation(CursorLocationEnum lCursorLoc) = 0;
  virtual HRESULT STDMETHODCALLTYPE NextRecordset(VARIANT *RecordsAffected, _Recordset **ppiRs) = 0;
  virtual HRESULT STDMETHODCALLTYPE Supports(CursorOptionEnum CursorOptions, VARIANT_BOOL *pb) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Collect(VARIANT Index, VARIANT *pvar) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Collect(VARIANT Index, VARIANT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MarshalOptions(MarshalOptionsEnum *peMarshal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_MarshalOptions(MarshalOptionsEnum eMarshal) = 0;
  virtual HRESULT STDMETHODCALLTYPE Find(BSTR Criteria, ADO_LONGPTR SkipRecords, SearchDirectionEnum SearchDirection,
                                         VARIANT Start) = 0;
};

struct Recordset20 : Recordset15 {
  virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DataSource(IUnknown **ppunkDataSource) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_DataSource(IUnknown *punkDataSource) = 0;
  virtual HRESULT STDMETHODCALLTYPE _xSave(BSTR FileName, PersistFormatEnum PersistFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ActiveCommand(IDispatch **ppCmd) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_StayInSync(VARIANT_BOOL bStayInSync) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_StayInSync(VARIANT_BOOL *pbStayInSync) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetString(StringFormatEnum StringFormat, long NumRows, BSTR ColumnDelimeter,
                                              BSTR RowDelimeter, BSTR NullExpr, BSTR *pRetString) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DataMember(BSTR *pbstrDataMember) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DataMember(BSTR bstrDataMember) = 0;
  virtual HRESULT STDMETHODCALLTYPE CompareBookmarks(VARIANT Bookmark1, VARIANT Bookmark2, CompareEnum *pCompare) = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(LockTypeEnum LockType, _Recordset **ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE Resync(AffectEnum AffectRecords, ResyncEnum ResyncValues) = 0;
};

struct Recordset21 : Recordset20 {
  virtual HRESULT STDMETHODCALLTYPE Seek(VARIANT KeyValues, SeekEnum SeekOption) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Index(BSTR Index) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Index(BSTR *pbstrIndex) = 0;
};

struct _Recordset : Recordset21 {
  virtual HRESULT STDMETHODCALLTYPE Save(VARIANT Destination, PersistFormatEnum PersistFormat) = 0;
};

// ---- interface ids (for __uuidof, ComPtr::As, IID_PPV_ARGS) ----

#define QRX_ADO_UUID(type, l) __CRT_UUID_DECL(type, l, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4)
QRX_ADO_UUID(_ADO, 0x00000534)
QRX_ADO_UUID(_Collection, 0x00000512)
QRX_ADO_UUID(_DynaCollection, 0x00000513)
QRX_ADO_UUID(Property, 0x00000503)
QRX_ADO_UUID(Properties, 0x00000504)
QRX_ADO_UUID(Error, 0x00000500)
QRX_ADO_UUID(Errors, 0x00000501)
QRX_ADO_UUID(Connection15, 0x00000515)
QRX_ADO_UUID(_Connection, 0x00000550)
QRX_ADO_UUID(Command15, 0x00000508)
QRX_ADO_UUID(Command25, 0x0000054E)
QRX_ADO_UUID(Field20, 0x0000054C)
QRX_ADO_UUID(Field, 0x00000569)
QRX_ADO_UUID(Fields15, 0x00000506)
QRX_ADO_UUID(Fields20, 0x0000054D)
QRX_ADO_UUID(Fields, 0x00000564)
QRX_ADO_UUID(Recordset15, 0x0000050E)
QRX_ADO_UUID(Recordset20, 0x0000054F)
QRX_ADO_UUID(Recordset21, 0x00000555)
QRX_ADO_UUID(_Recordset, 0x00000556)
#undef QRX_ADO_UUID
// _Command as ADO 2.6 and later declare it; Command15 (ADO 1.5 on) has every method a client needs to
// run a statement, so asking for it works with any ADO version.
__CRT_UUID_DECL(_Command, 0xB08400BD, 0xF9D1, 0x4D02, 0xB8, 0x56, 0x71, 0xD5, 0xDB, 0xA1, 0x23, 0xE9)

// ---- class ids of ADODB.Connection, ADODB.Command, ADODB.Recordset ----

static constexpr CLSID CLSID_AdoConnection = {0x00000514, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
static constexpr CLSID CLSID_AdoCommand = {0x00000507, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
static constexpr CLSID CLSID_AdoRecordset = {0x00000535, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

// HRESULT of an ADO error number (ErrorValueEnum).
constexpr HRESULT AdoErrorHResult(int Number) {
  return static_cast<HRESULT>(0x800A0000u | static_cast<unsigned>(Number));
}
