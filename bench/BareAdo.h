// The catalogue question asked as a host would ask ADO itself, without the library: the reference
// that GetScannerID's time and the soak's memory are read against.
#pragma once
#include <windows.h>

#include <string>

#include "data/UAdo.h"

// The selected scanner: the library's statement, a client-side static recordset (as the library
// opens it), the first row's FID and FType. False when no scanner is selected; throws on an error.
bool BareSelectedScanner(_Connection* Connection, std::wstring& Id);
