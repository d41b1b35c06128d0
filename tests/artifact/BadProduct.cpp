// A DLL that looks like the product but would not work in a host: it imports a function that
// Windows XP lacks (GetTickCount64, which the POSIX thread library of the -posix compilers pulls in),
// and its SetScanMode takes the record by address instead of by value, so it reads its arguments
// at the wrong stack offsets. The artifact check must reject it for both reasons.
#include <windows.h>

#include "QuillonRX.h"

extern "C" {

int WINAPI ScanInvoice(TScanDLLParams Params) { return static_cast<int>(GetTickCount64() & 1) + (Params.AppHandle ? 1 : 0); }

void WINAPI SetScanMode(const TScanDLLParams* Params, QRX_String ScannerID, QRX_String ScanMode)
{
  if (Params && ScannerID && ScanMode)
    OutputDebugStringA(ScannerID);
}

int WINAPI SelectScanner(TScanDLLParams Params, UINT_PTR OnlyIfNoneSelected, QRX_String* ScannerID, QRX_String* ScanMode)
{
  return Params.AppHandle && OnlyIfNoneSelected && ScannerID && ScanMode;
}

int WINAPI GetScannerID(TScanDLLParams Params, QRX_String* ScannerID, UINT_PTR ShowPrompt)
{
  return Params.AppHandle && ScannerID && ShowPrompt;
}
}
