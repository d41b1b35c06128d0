// The ADO objects of this server: what the classes share.
#pragma once

#include <windows.h>
#include <sql.h>
#include <sqlext.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "data/UAdo.h"

using Microsoft::WRL::ComPtr;

// Takes over the reference a new object starts with. (mingw-w64's ComPtr::Attach adds a reference
// of its own, unlike the documented one, so it would leak every object.)
template <class I, class T>
ComPtr<I> Adopt(T* Object)
{
  ComPtr<I> p;
  *p.GetAddressOf() = Object;
  return p;
}

// ---- ODBC handles ----

struct TOdbcStatementFree {
  void operator()(SQLHSTMT Handle) const { SQLFreeHandle(SQL_HANDLE_STMT, Handle); }
};
struct TOdbcConnectionFree {
  // Disconnecting a handle that never connected only fails; freeing it is what matters.
  void operator()(SQLHDBC Handle) const {
    SQLDisconnect(Handle);
    SQLFreeHandle(SQL_HANDLE_DBC, Handle);
  }
};
struct TOdbcEnvironmentFree {
  void operator()(SQLHENV Handle) const { SQLFreeHandle(SQL_HANDLE_ENV, Handle); }
};
typedef std::unique_ptr<void, TOdbcStatementFree> TOdbcStatement;
typedef std::unique_ptr<void, TOdbcConnectionFree> TOdbcConnection;
typedef std::unique_ptr<void, TOdbcEnvironmentFree> TOdbcEnvironment;

// ---- server lifetime and the statement log ----

void ServerAddRef();
void ServerRelease();
void LogStatement(const std::wstring& Sql);

// ---- errors: an HRESULT with IErrorInfo, as ADO reports them ----

// ADO's own error (ErrorValueEnum) with ADO's text; Source names the object ("ADODB.Recordset").
HRESULT AdoError(REFIID Iid, const wchar_t* Source, int Number);
HRESULT RaiseError(REFIID Iid, HRESULT Hr, const std::wstring& Source, const std::wstring& Description);

// The Options of Execute and Open: S_OK for what this server runs (a statement text, with
// adExecuteNoRecords where NoRecordsAllowed), ADO's error otherwise.
HRESULT CheckCommandOptions(long Options, bool NoRecordsAllowed, REFIID Iid, const wchar_t* Source);
bool WantsNoRecords(long Options);
// An optional argument the caller left out (VT_EMPTY, or VT_ERROR DISP_E_PARAMNOTFOUND).
bool IsMissing(const VARIANT& Value);

// One provider error, as the Errors collection holds it.
struct TErrorRecord {
  HRESULT Number;
  std::wstring Source, Description, SqlState;
  long NativeError;
};

// ---- values ----

// A VARIANT that frees itself.
struct TVar {
  VARIANT V;
  TVar() { VariantInit(&V); }
  TVar(const TVar& Other) { VariantInit(&V); VariantCopy(&V, const_cast<VARIANT*>(&Other.V)); }
  TVar(TVar&& Other) noexcept : V(Other.V) { VariantInit(&Other.V); }
  TVar& operator=(TVar Other) noexcept { std::swap(V, Other.V); return *this; }
  ~TVar() { VariantClear(&V); }
};

struct TColumn {
  std::wstring Name;
  DataTypeEnum Type;
  ADO_LONGPTR DefinedSize;
  long Attributes;
  BYTE Precision, Scale;
};

// What one statement gave: a result set (Columns not empty) or a count of rows affected.
struct TResult {
  std::vector<TColumn> Columns;
  std::vector<std::vector<TVar>> Rows;
  long RowsAffected = -1;
};

// ---- COM plumbing shared by every object ----

template <class I>
class TComObject : public I, public ISupportErrorInfo {
public:
  TComObject() { ServerAddRef(); }
  TComObject(const TComObject&) = delete;
  TComObject& operator=(const TComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_ISupportErrorInfo)
      *ppv = static_cast<ISupportErrorInfo*>(this);
    else if (riid == IID_IUnknown || riid == IID_IDispatch || Answers(riid))
      *ppv = static_cast<I*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&FRefs); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG n = InterlockedDecrement(&FRefs);
    if (n == 0) delete this;
    return n;
  }

  // No type information: clients of this server bind through the vtable.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
    if (pctinfo) *pctinfo = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
    return Answers(riid) ? S_OK : S_FALSE;
  }

protected:
  virtual ~TComObject() { ServerRelease(); }
  // The ADO interface ids (the whole inheritance chain of I) this object answers.
  virtual bool Answers(REFIID riid) const = 0;

private:
  LONG FRefs = 1;
};

// ---- the objects ----

// A Command or an open Recordset on a connection: closing the connection closes the recordset
// and leaves the command without a connection, as ADO does.
class TConnectionUser {
public:
  virtual void ConnectionClosed() = 0;

protected:
  ~TConnectionUser() = default;
};

class TAdoConnection : public TComObject<_Connection> {
public:
  // Runs one statement text on the open connection (logged first). Failures come back as the
  // HRESULT with the error set for Iid/Source; a closed connection fails with ClosedError.
  HRESULT Run(const std::wstring& Sql, REFIID Iid, const wchar_t* Source, int ClosedError, TResult& Out);
  // Reports a failure of the provider's own: it replaces the Errors collection.
  HRESULT ProviderError(REFIID Iid, HRESULT Hr, const std::wstring& Description);
  bool IsOpen() const { return FDbc != nullptr; }
  CursorLocationEnum CursorLocation() const { return FCursorLocation; }
  const std::vector<TErrorRecord>& ErrorList() const { return FErrors; }
  void ClearErrors() { FErrors.clear(); }
  void AddUser(TConnectionUser* User);
  void RemoveUser(TConnectionUser* User);

  // The connection behind a _Connection that this server created; nullptr for any other.
  static TAdoConnection* FromUnknown(IUnknown* Unknown);
  static TAdoConnection* FromVariant(const VARIANT& Value);

  ~TAdoConnection() override;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE get_Properties(Properties**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ConnectionString(BSTR* pbstr) override;
  HRESULT STDMETHODCALLTYPE put_ConnectionString(BSTR bstr) override;
  HRESULT STDMETHODCALLTYPE get_CommandTimeout(LONG* plTimeout) override;
  HRESULT STDMETHODCALLTYPE put_CommandTimeout(LONG lTimeout) override;
  HRESULT STDMETHODCALLTYPE get_ConnectionTimeout(LONG* plTimeout) override;
  HRESULT STDMETHODCALLTYPE put_ConnectionTimeout(LONG lTimeout) override;
  HRESULT STDMETHODCALLTYPE get_Version(BSTR* pbstr) override;
  HRESULT STDMETHODCALLTYPE Close() override;
  HRESULT STDMETHODCALLTYPE Execute(BSTR CommandText, VARIANT* RecordsAffected, long Options,
                                    _Recordset** ppiRset) override;
  HRESULT STDMETHODCALLTYPE BeginTrans(long* TransactionLevel) override;
  HRESULT STDMETHODCALLTYPE CommitTrans() override;
  HRESULT STDMETHODCALLTYPE RollbackTrans() override;
  HRESULT STDMETHODCALLTYPE Open(BSTR ConnectionString, BSTR UserID, BSTR Password, long Options) override;
  HRESULT STDMETHODCALLTYPE get_Errors(Errors** ppvObject) override;
  HRESULT STDMETHODCALLTYPE get_DefaultDatabase(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_DefaultDatabase(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_IsolationLevel(IsolationLevelEnum*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_IsolationLevel(IsolationLevelEnum) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Attributes(long*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Attributes(long) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_CursorLocation(CursorLocationEnum* plCursorLoc) override;
  HRESULT STDMETHODCALLTYPE put_CursorLocation(CursorLocationEnum lCursorLoc) override;
  HRESULT STDMETHODCALLTYPE get_Mode(ConnectModeEnum*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Mode(ConnectModeEnum) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Provider(BSTR* pbstr) override;
  HRESULT STDMETHODCALLTYPE put_Provider(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_State(LONG* plObjState) override;
  HRESULT STDMETHODCALLTYPE OpenSchema(SchemaEnum, VARIANT, VARIANT, _Recordset**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Cancel() override { return E_NOTIMPL; }

protected:
  bool Answers(REFIID riid) const override;

private:
  HRESULT DatabaseError(REFIID Iid, SQLSMALLINT HandleType, SQLHANDLE Handle);
  HRESULT EndTransaction(SQLSMALLINT Completion);

  TOdbcEnvironment FEnv;
  TOdbcConnection FDbc;
  bool FInTransaction = false;
  // Reports no counts, as SQL Server under SET NOCOUNT ON ("NoCount=1" in the connection string).
  bool FNoCount = false;
  std::wstring FConnectionString;
  LONG FCommandTimeout = 30, FConnectionTimeout = 15;
  CursorLocationEnum FCursorLocation = adUseServer;
  std::vector<TErrorRecord> FErrors;
  std::vector<TConnectionUser*> FUsers;  // each holds a reference to this connection
};

// A CursorLocationEnum value that a client may set: adUseServer, adUseClient (and the obsolete adUseNone).
bool IsCursorLocation(long Value);

HRESULT CreateConnection(REFIID riid, void** ppv);
HRESULT CreateCommand(REFIID riid, void** ppv);
HRESULT CreateRecordset(REFIID riid, void** ppv);
// The recordset Execute hands back over its result: on the connection's cursor location, forward-only
// and read-only (closed when the statement gave no rows).
ComPtr<_Recordset> NewRecordset(TAdoConnection* Connection, const std::wstring& Source, TResult&& Result);
