// Provider errors: the ODBC diagnostics mapped to OLE DB's HRESULTs, and the Errors collection.
#include "AdoErrors.h"

#include <oledberr.h>

#include <cwctype>

const wchar_t ProviderSource[] = L"Microsoft OLE DB Provider for ODBC Drivers";

namespace {

// A SQLSTATE (five characters) or its class (the first two) and what OLE DB makes of it.
// The first entry that the state starts with wins, so exact states come before their class.
struct TStateCode {
  const wchar_t* State;
  HRESULT Code;
};

const TStateCode StateCodes[] = {
  {L"07002", DB_E_PARAMNOTOPTIONAL},    // parameter markers without values
  {L"21S01", DB_E_ERRORSINCOMMAND},     // insert list does not match the columns
  {L"21S02", DB_E_ERRORSINCOMMAND},
  {L"22001", DB_E_DATAOVERFLOW},        // string data would be truncated
  {L"22003", DB_E_DATAOVERFLOW},        // numeric value out of range
  {L"22005", DB_E_CANTCONVERTVALUE},
  {L"22007", DB_E_CANTCONVERTVALUE},
  {L"22008", DB_E_CANTCONVERTVALUE},
  {L"22018", DB_E_CANTCONVERTVALUE},
  {L"23", DB_E_INTEGRITYVIOLATION},     // integrity constraint violation
  {L"28000", DB_SEC_E_AUTH_FAILED},
  {L"37000", DB_E_ERRORSINCOMMAND},     // ODBC 2's syntax error
  {L"42S02", DB_E_NOTABLE},             // base table not found
  {L"S0002", DB_E_NOTABLE},
  {L"42", DB_E_ERRORSINCOMMAND},        // syntax error or access rule violation
  {L"S0022", DB_E_ERRORSINCOMMAND},     // column not found (ODBC 2)
  {L"HY001", E_OUTOFMEMORY},
  {L"HY008", DB_E_CANCELED},
  {L"HYT00", DB_E_ABORTLIMITREACHED},   // timeout expired
  {L"HYT01", DB_E_ABORTLIMITREACHED},
};

// The SQLite driver says HY000 for every failure of the database itself; its message tells them apart.
struct TMessageCode {
  const wchar_t* Text;  // lower case, found anywhere in the message
  HRESULT Code;
};

const TMessageCode MessageCodes[] = {
  {L"no such table", DB_E_NOTABLE},
  {L"constraint failed", DB_E_INTEGRITYVIOLATION},  // UNIQUE, NOT NULL, CHECK, FOREIGN KEY
  {L"syntax error", DB_E_ERRORSINCOMMAND},
  {L"incomplete input", DB_E_ERRORSINCOMMAND},
  {L"unrecognized token", DB_E_ERRORSINCOMMAND},
  {L"no such column", DB_E_ERRORSINCOMMAND},
  {L"has no column named", DB_E_ERRORSINCOMMAND},
  {L"ambiguous column name", DB_E_ERRORSINCOMMAND},
  {L"no such function", DB_E_ERRORSINCOMMAND},
  {L"values were supplied", DB_E_ERRORSINCOMMAND},
  {L"values for", DB_E_ERRORSINCOMMAND},            // "2 values for 1 columns"
  {L"already exists", DB_E_ERRORSINCOMMAND},
  {L"datatype mismatch", DB_E_CANTCONVERTVALUE},
  {L"integer overflow", DB_E_DATAOVERFLOW},
  {L"unbound parameters", DB_E_PARAMNOTOPTIONAL},
  {L"interrupted", DB_E_CANCELED},
};

std::wstring Lower(std::wstring Text) {
  for (wchar_t& c : Text) c = wchar_t(towlower(c));
  return Text;
}

BSTR AllocBstr(const std::wstring& Text) { return SysAllocStringLen(Text.data(), UINT(Text.size())); }

class TAdoError : public TComObject<Error> {
public:
  explicit TAdoError(const TErrorRecord& Record) : FRecord(Record) {}
  HRESULT STDMETHODCALLTYPE get_Number(long* pl) override { return pl ? (*pl = FRecord.Number, S_OK) : E_POINTER; }
  HRESULT STDMETHODCALLTYPE get_Source(BSTR* pbstr) override { return Text(FRecord.Source, pbstr); }
  HRESULT STDMETHODCALLTYPE get_Description(BSTR* pbstr) override { return Text(FRecord.Description, pbstr); }
  HRESULT STDMETHODCALLTYPE get_HelpFile(BSTR* pbstr) override { return Text(L"", pbstr); }
  HRESULT STDMETHODCALLTYPE get_HelpContext(long* pl) override { return pl ? (*pl = 0, S_OK) : E_POINTER; }
  HRESULT STDMETHODCALLTYPE get_SQLState(BSTR* pbstr) override { return Text(FRecord.SqlState, pbstr); }
  HRESULT STDMETHODCALLTYPE get_NativeError(long* pl) override {
    return pl ? (*pl = FRecord.NativeError, S_OK) : E_POINTER;
  }

protected:
  bool Answers(REFIID riid) const override { return riid == __uuidof(Error); }

private:
  static HRESULT Text(const std::wstring& Value, BSTR* pbstr) {
    if (!pbstr) return E_POINTER;
    *pbstr = AllocBstr(Value);
    return S_OK;
  }
  TErrorRecord FRecord;
};

class TAdoErrors : public TComObject<Errors> {
public:
  explicit TAdoErrors(TAdoConnection* Connection) : FConnection(Connection) {}
  HRESULT STDMETHODCALLTYPE get_Count(long* c) override {
    return c ? (*c = long(FConnection->ErrorList().size()), S_OK) : E_POINTER;
  }
  HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Refresh() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT Index, Error** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    TVar number;
    if (FAILED(VariantChangeType(&number.V, &Index, 0, VT_I4)) || V_I4(&number.V) < 0 ||
        size_t(V_I4(&number.V)) >= FConnection->ErrorList().size())
      return AdoError(__uuidof(Errors), L"ADODB.Errors", adErrItemNotFound);
    *ppvObject = new TAdoError(FConnection->ErrorList()[V_I4(&number.V)]);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clear() override {
    FConnection->ClearErrors();
    return S_OK;
  }

protected:
  bool Answers(REFIID riid) const override { return riid == __uuidof(Errors) || riid == __uuidof(_Collection); }

private:
  ComPtr<TAdoConnection> FConnection;
};

}  // namespace

HRESULT ProviderHResult(const std::wstring& SqlState, const std::wstring& Message) {
  if (SqlState == L"HY000" || SqlState == L"S1000") {
    const std::wstring text = Lower(Message);
    for (const TMessageCode& m : MessageCodes)
      if (text.find(m.Text) != std::wstring::npos) return m.Code;
    return E_FAIL;
  }
  for (const TStateCode& s : StateCodes)
    if (SqlState.compare(0, wcslen(s.State), s.State) == 0) return s.Code;
  return E_FAIL;
}

std::vector<TErrorRecord> ReadDiagnostics(SQLSMALLINT HandleType, SQLHANDLE Handle) {
  std::vector<TErrorRecord> records;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLWCHAR state[6] = {};
    SQLWCHAR message[SQL_MAX_MESSAGE_LENGTH];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN r = SQLGetDiagRecW(HandleType, Handle, i, state, &native, message,
                                       SQL_MAX_MESSAGE_LENGTH, &length);
    if (!SQL_SUCCEEDED(r)) break;
    length = std::min<SQLSMALLINT>(length, SQL_MAX_MESSAGE_LENGTH - 1);
    records.push_back({E_FAIL, ProviderSource, std::wstring(reinterpret_cast<wchar_t*>(message), length),
                       reinterpret_cast<wchar_t*>(state), long(native)});
  }
  if (records.empty()) records.push_back({E_FAIL, ProviderSource, L"Unspecified error", L"", 0});
  const HRESULT number = ProviderHResult(records.front().SqlState, records.front().Description);
  for (TErrorRecord& record : records) record.Number = number;
  return records;
}

ComPtr<Errors> NewErrors(TAdoConnection* Connection) { return Adopt<Errors>(new TAdoErrors(Connection)); }
