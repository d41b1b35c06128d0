#include "BareAdo.h"

#include <wrl/client.h>

#include <stdexcept>

namespace {

void Check(HRESULT Hr, const char* What)
{
  if (FAILED(Hr))
    throw std::runtime_error(What);
}

}  // namespace

bool BareSelectedScanner(_Connection* Connection, std::wstring& Id)
{
  using Microsoft::WRL::ComPtr;
  ComPtr<Recordset15> recordset;
  Check(CoCreateInstance(CLSID_AdoRecordset, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&recordset)), "recordset");
  Check(recordset->put_CursorLocation(adUseClient), "cursor location");
  VARIANT source, connection;
  source.vt = VT_BSTR;
  source.bstrVal = SysAllocString(L"SELECT FID, FType FROM B_Scanner WHERE FSelect = 1");
  connection.vt = VT_DISPATCH;
  connection.pdispVal = reinterpret_cast<IDispatch*>(Connection);
  const HRESULT opened = recordset->Open(source, connection, adOpenStatic, adLockOptimistic, adCmdText);
  SysFreeString(source.bstrVal);
  Check(opened, "open");
  VARIANT_BOOL eof = VARIANT_TRUE;
  Check(recordset->get_EOF(&eof), "eof");
  if (!eof) {
    ComPtr<Fields> fields;
    Check(recordset->get_Fields(&fields), "fields");
    for (const wchar_t* name : {L"FID", L"FType"}) {
      VARIANT index, value;
      index.vt = VT_BSTR;
      index.bstrVal = SysAllocString(name);
      VariantInit(&value);
      ComPtr<Field> field;
      Check(fields->get_Item(index, &field), "field");
      Check(field->get_Value(&value), "value");
      if (value.vt == VT_BSTR && name[1] == L'I')
        Id = value.bstrVal;
      VariantClear(&value);
      SysFreeString(index.bstrVal);
    }
  }
  recordset->Close();
  return !eof;
}
