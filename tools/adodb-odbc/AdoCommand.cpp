// ADODB.Command: a statement text run on an open connection, without parameters.
#include "AdoOdbc.h"

#include <oledberr.h>

namespace {

const wchar_t CommandSource[] = L"ADODB.Command";

BSTR AllocBstr(const std::wstring& Text) { return SysAllocStringLen(Text.data(), UINT(Text.size())); }

std::wstring FromBstr(BSTR Text) { return Text ? std::wstring(Text, SysStringLen(Text)) : std::wstring(); }

bool IsCommandType(long Value) {
  switch (Value) {
    case adCmdUnspecified: case adCmdText: case adCmdTable: case adCmdStoredProc: case adCmdUnknown:
    case adCmdFile: case adCmdTableDirect:
      return true;
    default:
      return false;
  }
}

// A variant that names no connection: Empty, Null or Nothing.
bool IsNoConnection(const VARIANT& Value) {
  switch (V_VT(&Value)) {
    case VT_EMPTY: case VT_NULL: return true;
    case VT_DISPATCH: return V_DISPATCH(&Value) == nullptr;
    case VT_UNKNOWN: return V_UNKNOWN(&Value) == nullptr;
    default: return false;
  }
}

class TAdoCommand : public TComObject<_Command>, public TConnectionUser {
public:
  ~TAdoCommand() override {
    if (FConnection) FConnection->RemoveUser(this);
  }

  // The connection closed: ActiveConnection is Nothing from now on.
  void ConnectionClosed() override { FConnection.Reset(); }

  HRESULT STDMETHODCALLTYPE get_Properties(Properties**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ActiveConnection(_Connection** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    *ppvObject = FConnection.Get();
    if (*ppvObject) (*ppvObject)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE putref_ActiveConnection(_Connection* pCon) override {
    return SetConnection(TAdoConnection::FromUnknown(pCon), pCon == nullptr);
  }
  HRESULT STDMETHODCALLTYPE put_ActiveConnection(VARIANT vConn) override {
    return SetConnection(TAdoConnection::FromVariant(vConn), IsNoConnection(vConn));
  }
  HRESULT STDMETHODCALLTYPE get_CommandText(BSTR* pbstr) override {
    return pbstr ? (*pbstr = AllocBstr(FText), S_OK) : E_POINTER;
  }
  HRESULT STDMETHODCALLTYPE put_CommandText(BSTR bstr) override {
    FText = FromBstr(bstr);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_CommandTimeout(LONG* pl) override { return pl ? (*pl = FTimeout, S_OK) : E_POINTER; }
  HRESULT STDMETHODCALLTYPE put_CommandTimeout(LONG Timeout) override {
    if (Timeout < 0) return AdoError(__uuidof(_Command), CommandSource, adErrInvalidArgument);
    FTimeout = Timeout;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Prepared(VARIANT_BOOL* pf) override { return pf ? (*pf = VARIANT_FALSE, S_OK) : E_POINTER; }
  HRESULT STDMETHODCALLTYPE put_Prepared(VARIANT_BOOL) override { return S_OK; }

  // Parameters are not supported: the statement text is run as it is, and a Parameters array is refused.
  HRESULT STDMETHODCALLTYPE Execute(VARIANT* RecordsAffected, VARIANT* Parameters, long Options,
                                    _Recordset** ppirs) override {
    if (ppirs) *ppirs = nullptr;
    if (!FConnection) return AdoError(__uuidof(_Command), CommandSource, adErrInvalidConnection);
    // Options without a command type leave it to the CommandType property.
    const long typeBits = adCmdText | adCmdTable | adCmdStoredProc | adCmdUnknown | adCmdFile | adCmdTableDirect;
    long options = Options;
    if (options == adOptionUnspecified)
      options = FType;
    else if (!(options & typeBits) && FType != adCmdUnspecified)
      options |= FType;
    HRESULT hr = CheckCommandOptions(options, true, __uuidof(_Command), CommandSource);
    if (FAILED(hr)) return hr;
    if (Parameters && !IsMissing(*Parameters))
      return AdoError(__uuidof(_Command), CommandSource, adErrFeatureNotAvailable);
    if (FText.empty())
      return FConnection->ProviderError(__uuidof(_Command), DB_E_NOCOMMAND,
                                        L"Command text was not set for the command object.");
    TResult result;
    hr = FConnection->Run(FText, __uuidof(_Command), CommandSource, adErrInvalidConnection, result);
    if (FAILED(hr)) return hr;
    if (RecordsAffected) {
      VariantClear(RecordsAffected);
      V_VT(RecordsAffected) = VT_I4;
      V_I4(RecordsAffected) = result.RowsAffected;
    }
    if (ppirs && !WantsNoRecords(Options))
      *ppirs = NewRecordset(FConnection.Get(), FText, std::move(result)).Detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateParameter(BSTR, DataTypeEnum, ParameterDirectionEnum, ADO_LONGPTR, VARIANT,
                                            _Parameter**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_Parameters(Parameters**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_CommandType(CommandTypeEnum lCmdType) override {
    if (!IsCommandType(lCmdType)) return AdoError(__uuidof(_Command), CommandSource, adErrInvalidArgument);
    FType = lCmdType;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_CommandType(CommandTypeEnum* plCmdType) override {
    return plCmdType ? (*plCmdType = FType, S_OK) : E_POINTER;
  }
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstrName) override {
    return pbstrName ? (*pbstrName = AllocBstr(FName), S_OK) : E_POINTER;
  }
  HRESULT STDMETHODCALLTYPE put_Name(BSTR bstrName) override {
    FName = FromBstr(bstrName);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_State(LONG* plObjState) override {
    return plObjState ? (*plObjState = adStateClosed, S_OK) : E_POINTER;
  }
  HRESULT STDMETHODCALLTYPE Cancel() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE putref_CommandStream(IUnknown*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_CommandStream(VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Dialect(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Dialect(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_NamedParameters(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NamedParameters(VARIANT_BOOL*) override { return E_NOTIMPL; }

protected:
  bool Answers(REFIID riid) const override {
    return riid == __uuidof(_Command) || riid == __uuidof(Command25) || riid == __uuidof(Command15) ||
           riid == __uuidof(_ADO);
  }

private:
  // Nothing clears it; a connection must be one of this server's and open ("assigning a closed
  // Connection object causes an error").
  HRESULT SetConnection(TAdoConnection* Connection, bool Clearing) {
    if (!Clearing && (!Connection || !Connection->IsOpen()))
      return AdoError(__uuidof(_Command), CommandSource, adErrInvalidConnection);
    if (FConnection) FConnection->RemoveUser(this);
    FConnection = Connection;
    if (FConnection) FConnection->AddUser(this);
    return S_OK;
  }

  ComPtr<TAdoConnection> FConnection;
  std::wstring FText, FName;
  LONG FTimeout = 30;
  CommandTypeEnum FType = adCmdUnknown;
};

}  // namespace

HRESULT CreateCommand(REFIID riid, void** ppv) {
  ComPtr<_Command> object = Adopt<_Command>(new TAdoCommand);
  return object->QueryInterface(riid, ppv);
}
