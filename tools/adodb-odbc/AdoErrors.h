// Provider errors as OLE DB's provider for ODBC reports them, and the Errors collection that holds them.
#pragma once

#include "AdoOdbc.h"

// What ADO names as the source of every error the database reported.
extern const wchar_t ProviderSource[];

// The OLE DB HRESULT for one ODBC diagnostic: from its SQLSTATE, and where the SQLite driver
// gives only the general HY000, from its message. E_FAIL for anything else.
HRESULT ProviderHResult(const std::wstring& SqlState, const std::wstring& Message);

// Every diagnostic record on Handle, each numbered with the HRESULT of the first (never empty).
std::vector<TErrorRecord> ReadDiagnostics(SQLSMALLINT HandleType, SQLHANDLE Handle);

// The connection's Errors collection (it reads the connection's list on every call).
ComPtr<Errors> NewErrors(TAdoConnection* Connection);
