/* Quillon.RX.dll's exports as functions, for a host that links an import library: MinGW's
 * libQuillonRX.a (by name) or libQuillonRX-ordinal.a (by ordinal), or the QuillonRX.lib an MSVC
 * user makes from QuillonRX.def. A host that loads the library itself (LoadLibrary and
 * GetProcAddress) needs only QuillonRX.h and its QRX_* function types.
 */
#ifndef QUILLONRX_IMPORTS_H
#define QUILLONRX_IMPORTS_H

#include "QuillonRX.h"

#ifdef __cplusplus
extern "C" {
#endif

__declspec(dllimport) int WINAPI ScanInvoice(TScanDLLParams Params);
__declspec(dllimport) void WINAPI SetScanMode(TScanDLLParams Params, QRX_String ScannerID, QRX_String ScanMode);
__declspec(dllimport) int WINAPI SelectScanner(TScanDLLParams Params, BOOL OnlyIfNoneSelected, QRX_String* ScannerID,
                                               QRX_String* ScanMode);
__declspec(dllimport) int WINAPI GetScannerID(TScanDLLParams Params, QRX_String* ScannerID, BOOL ShowPrompt);

#ifdef __cplusplus
}
#endif

#endif /* QUILLONRX_IMPORTS_H */
