/* Quillon.RX.dll: what a host program needs to call the library.
 *
 * The library exports four stdcall functions by name (ordinals in brackets):
 *   ScanInvoice [1], SetScanMode [2], SelectScanner [3], GetScannerID [4].
 * Each takes the host's TScanDLLParams record by value; on i686 the function removes all argument
 * bytes from the stack (48, 56, 60 and 56 bytes).
 *
 * Strings. A QRX_String points at the first byte of a reference-counted block allocated from the
 * shared memory manager borlndmm.dll (exports "@Borlndmm@SysGetMem$qqri", "@Borlndmm@SysFreeMem$qqrpv",
 * "@Borlndmm@SysReallocMem$qqrpvi"). NULL is the empty string. The block starts 8 bytes before the
 * pointer: a signed 32-bit reference count (-1: a constant, never counted or freed), then the 32-bit
 * length in bytes, then the bytes (code page 936), then a terminating zero. Out strings are returned
 * with a count of 1 and belong to the host, which frees them through borlndmm.dll.
 *
 * Errors. Failures that the library handles itself are shown to the user and reported through the
 * results. An error that ends an operation reaches the caller, after the library has released
 * everything the call created, as a Win32 structured exception with code QRX_EXCEPTION_CODE,
 * flagged non-continuable, with two arguments:
 *   ExceptionInformation[0]  const char*  the message (code page 936, zero-terminated)
 *   ExceptionInformation[1]  length of the message in bytes
 * The message stays readable until the next call into the library. A structured exception raised
 * in the engine (an access violation, say) or by the host's own handler of the page message (a
 * Delphi exception) reaches the caller as it was raised, with its code, flags and arguments, after
 * the same clean-up: the engine terminated, the busy window gone, the host's controls enabled again.
 *
 * The engine. ScanReco.dll is looked for at the first scan in the library's own folder, then in the
 * host program's folder (never in the current folder or on PATH), and stays loaded for the life of
 * the process.
 *
 * Bad slots. A HostControl or Connection that is neither form raises the library's error (below)
 * naming the slot; the library never calls through a pointer it has not verified. 0 means none.
 *
 * Page notification. During ScanInvoice the library sends QRX_WM_NEWPAGE (WM_APP + 100 = 32868), both
 * parameters 0, to the window HostControl after every page it delivers.
 *
 * 64-bit build. The x86_64 build keeps the same contract in 64-bit form: the same names and ordinals,
 * the record's twelve slots in the same order, each pointer-sized (96 bytes); string blocks keep
 * their 8-byte header.
 */
#ifndef QUILLONRX_H
#define QUILLONRX_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QRX_WM_NEWPAGE (WM_APP + 100)
#define QRX_EXCEPTION_CODE 0xE0515258u /* customer bit set, 'QRX' */

typedef char* QRX_String;

typedef struct TScanDLLParams {
  HWND AppHandle;        /* owner of the library's dialogs and busy window */
  void* HostControl;     /* the host's main window control: parent of message boxes, receiver of
                            QRX_WM_NEWPAGE; its direct child windows are disabled while the busy
                            window is up. Either its window handle (HWND), or the address of the
                            window-control object of a host built with Delphi's VCL, whose window
                            the library finds by the properties the VCL sets on it ("ControlOfs"...,
                            "Delphi"...). The window must belong to the calling thread. */
  UINT_PTR Reserved8;    /* not read */
  UINT_PTR Reserved12;   /* not read */
  void* Connection;      /* the host's open ADO connection: either its _Connection interface
                            ({00000550-0000-0010-8000-00AA006D2EA4}), or the address of an object
                            of the host (such as a VCL TADOConnection) that holds that interface in
                            one of its first 256 pointer-sized fields. Borrowed: never opened,
                            closed or released by the library. */
  UINT_PTR Reserved20;   /* not read */
  QRX_String Reserved24; /* held and released like the others, not read */
  QRX_String Reserved28; /* held and released like the others, not read */
  QRX_String ConfigFolder; /* folder of "simple.cfg", ending in a backslash */
  QRX_String ImageFolder;  /* folder that receives the page images, ending in a backslash */
  QRX_String ResultFile;   /* full path of the result file */
  QRX_String OptionsXML;   /* the host's options document, as XML text */
} TScanDLLParams;

/* Booleans: parameters occupy a full slot, of which only the lowest byte is read; results are 0 or 1. */
typedef int(WINAPI* QRX_ScanInvoice)(TScanDLLParams Params);
typedef void(WINAPI* QRX_SetScanMode)(TScanDLLParams Params, QRX_String ScannerID, QRX_String ScanMode);
typedef int(WINAPI* QRX_SelectScanner)(TScanDLLParams Params, BOOL OnlyIfNoneSelected, QRX_String* ScannerID,
                                       QRX_String* ScanMode);
typedef int(WINAPI* QRX_GetScannerID)(TScanDLLParams Params, QRX_String* ScannerID, BOOL ShowPrompt);

#ifdef __cplusplus
}
#endif

#endif /* QUILLONRX_H */
