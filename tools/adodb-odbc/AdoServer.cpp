// The in-process server: class factory, registration under ADO's class ids, ADO's error texts,
// and the log of every statement the server handed to the database.
#include "AdoOdbc.h"

#include <olectl.h>


namespace {

HMODULE Module = nullptr;
LONG ServerRefs = 0;

// The server is registered "Both": statements may come from any thread. (No std::mutex: the i686
// build uses the compilers without a thread library.)
struct TLogLock {
  CRITICAL_SECTION Section;
  TLogLock() { InitializeCriticalSection(&Section); }
  ~TLogLock() { DeleteCriticalSection(&Section); }
} LogLock;
class TLogGuard {
public:
  TLogGuard() { EnterCriticalSection(&LogLock.Section); }
  ~TLogGuard() { LeaveCriticalSection(&LogLock.Section); }
  TLogGuard(const TLogGuard&) = delete;
  TLogGuard& operator=(const TLogGuard&) = delete;
};
std::vector<std::wstring> Log;

struct TAdoMessage {
  int Number;
  const wchar_t* Text;
};

const TAdoMessage AdoMessages[] = {
  {adErrInvalidArgument,
   L"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another."},
  {adErrNoCurrentRecord,
   L"Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current record."},
  {adErrFeatureNotAvailable, L"Object or provider is not capable of performing requested operation."},
  {adErrItemNotFound, L"Item cannot be found in the collection corresponding to the requested name or ordinal."},
  {adErrObjectClosed, L"Operation is not allowed when the object is closed."},
  {adErrObjectOpen, L"Operation is not allowed when the object is open."},
  {adErrInvalidConnection,
   L"The connection cannot be used to perform this operation. It is either closed or invalid in this context."},
  {3246, L"Connection object cannot be explicitly closed while in a transaction."},
};

struct TClass {
  const CLSID* Clsid;
  const wchar_t* Name;
  HRESULT (*Create)(REFIID, void**);
};

const TClass Classes[] = {
  {&CLSID_AdoConnection, L"ADODB.Connection", CreateConnection},
  {&CLSID_AdoCommand, L"ADODB.Command", CreateCommand},
  {&CLSID_AdoRecordset, L"ADODB.Recordset", CreateRecordset},
};

class TClassFactory : public IClassFactory {
public:
  explicit TClassFactory(HRESULT (*Create)(REFIID, void**)) : FCreate(Create) { ServerAddRef(); }
  virtual ~TClassFactory() { ServerRelease(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&FRefs); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG n = InterlockedDecrement(&FRefs);
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* Outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (Outer) return CLASS_E_NOAGGREGATION;
    return FCreate(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL Lock) override {
    Lock ? ServerAddRef() : ServerRelease();
    return S_OK;
  }

private:
  LONG FRefs = 1;
  HRESULT (*FCreate)(REFIID, void**);
};

std::wstring GuidText(REFGUID Guid) {
  wchar_t text[40];
  StringFromGUID2(Guid, text, 40);
  return text;
}

}  // namespace

void ServerAddRef() { InterlockedIncrement(&ServerRefs); }
void ServerRelease() { InterlockedDecrement(&ServerRefs); }

void LogStatement(const std::wstring& Sql) {
  TLogGuard lock;
  Log.push_back(Sql);
}

HRESULT RaiseError(REFIID Iid, HRESULT Hr, const std::wstring& Source, const std::wstring& Description) {
  ComPtr<ICreateErrorInfo> create;
  if (SUCCEEDED(CreateErrorInfo(&create))) {
    create->SetGUID(Iid);
    create->SetSource(const_cast<LPOLESTR>(Source.c_str()));
    create->SetDescription(const_cast<LPOLESTR>(Description.c_str()));
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
  }
  return Hr;
}

HRESULT AdoError(REFIID Iid, const wchar_t* Source, int Number) {
  const wchar_t* text = L"Unknown error.";
  for (const TAdoMessage& m : AdoMessages)
    if (m.Number == Number) text = m.Text;
  return RaiseError(Iid, AdoErrorHResult(Number), Source, text);
}

HRESULT CheckCommandOptions(long Options, bool NoRecordsAllowed, REFIID Iid, const wchar_t* Source) {
  if (Options == adOptionUnspecified) return S_OK;
  const long types = adCmdText | adCmdTable | adCmdStoredProc | adCmdUnknown | adCmdFile | adCmdTableDirect;
  const long flags = adAsyncExecute | adAsyncFetch | adAsyncFetchNonBlocking | adExecuteNoRecords |
                     adExecuteStream | adExecuteRecord;
  const long type = Options & types;
  if ((Options & ~(types | flags)) || (type & (type - 1)) || (!NoRecordsAllowed && (Options & adExecuteNoRecords)))
    return AdoError(Iid, Source, adErrInvalidArgument);
  // Tables, stored procedures, files, streams and asynchronous runs: valid ADO, but not served here.
  if ((type && type != adCmdText && type != adCmdUnknown) || (Options & flags & ~adExecuteNoRecords))
    return AdoError(Iid, Source, adErrFeatureNotAvailable);
  return S_OK;
}

bool WantsNoRecords(long Options) { return Options != adOptionUnspecified && (Options & adExecuteNoRecords); }

bool IsMissing(const VARIANT& Value) {
  if (V_VT(&Value) == (VT_VARIANT | VT_BYREF)) return !V_VARIANTREF(&Value) || IsMissing(*V_VARIANTREF(&Value));
  return V_VT(&Value) == VT_EMPTY || (V_VT(&Value) == VT_ERROR && V_ERROR(&Value) == DISP_E_PARAMNOTFOUND);
}

// ---- exports ----

extern "C" {

BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID) {
  if (Reason == DLL_PROCESS_ATTACH) {
    Module = Instance;
    DisableThreadLibraryCalls(Instance);
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID Clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (const TClass& c : Classes) {
    if (Clsid != *c.Clsid) continue;
    TClassFactory* factory = new TClassFactory(c.Create);
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() { return ServerRefs == 0 ? S_OK : S_FALSE; }

// Takes over ADO's class ids (the ProgIDs ADODB.* keep pointing at them).
HRESULT STDAPICALLTYPE DllRegisterServer() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(Module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return SELFREG_E_CLASS;
  for (const TClass& c : Classes) {
    const std::wstring key = L"CLSID\\" + GuidText(*c.Clsid);
    const std::wstring server = key + L"\\InprocServer32";
    const wchar_t* both = L"Both";
    if (RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, c.Name,
                        DWORD((wcslen(c.Name) + 1) * sizeof(wchar_t))) != ERROR_SUCCESS ||
        RegSetKeyValueW(HKEY_CLASSES_ROOT, server.c_str(), nullptr, REG_SZ, path,
                        DWORD((length + 1) * sizeof(wchar_t))) != ERROR_SUCCESS ||
        RegSetKeyValueW(HKEY_CLASSES_ROOT, server.c_str(), L"ThreadingModel", REG_SZ, both,
                        DWORD((wcslen(both) + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
      return SELFREG_E_CLASS;
  }
  return S_OK;
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  for (const TClass& c : Classes) {
    const std::wstring server = L"CLSID\\" + GuidText(*c.Clsid) + L"\\InprocServer32";
    RegDeleteKeyW(HKEY_CLASSES_ROOT, server.c_str());
  }
  return S_OK;
}

// The statement log, for tests: every statement text handed to the database, in order.
int QrxAdoLogCount() {
  TLogGuard lock;
  return int(Log.size());
}

// The Index-th statement (0 first) as a BSTR that the caller frees; nullptr out of range.
BSTR QrxAdoLogItem(int Index) {
  TLogGuard lock;
  if (Index < 0 || size_t(Index) >= Log.size()) return nullptr;
  return SysAllocStringLen(Log[Index].data(), UINT(Log[Index].size()));
}

void QrxAdoLogClear() {
  TLogGuard lock;
  Log.clear();
}

}  // extern "C"
