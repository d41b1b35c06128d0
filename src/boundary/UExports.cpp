// The four exports. Each runs the call frame (UCallFrame.h) around one operation of TScannerRX and
// turns an error that ended the operation into a structured exception for the host
// (QRX_EXCEPTION_CODE, see QuillonRX.h).
#include <windows.h>

#include <string>

#include "boundary/UAnsiStrings.h"
#include "boundary/UCallFrame.h"
#include "boundary/UDLLParams.h"
#include "boundary/UHostObjects.h"
#include "scanning/UScannerRX.h"
#include "ui/UdsDialogs.h"

namespace {

// Kept apart from the exports so that no C++ object is alive in the frames the host unwinds.
[[noreturn]] __attribute__((noinline)) void RaiseToHost()
{
  if (const std::optional<TSehException>& foreign = LastForeignException())
    RaiseAgain(*foreign);  // what the host would have seen without the library in between
  const std::string& text = LastFrameError();
  ULONG_PTR args[2] = {reinterpret_cast<ULONG_PTR>(text.c_str()), text.size()};
  RaiseException(QRX_EXCEPTION_CODE, EXCEPTION_NONCONTINUABLE, 2, args);
  __builtin_unreachable();
}

// An out string: the host's variable is set empty without releasing what it held.
void ClearOut(QRX_String* Var)
{
  if (Var)
    *Var = nullptr;
}

void StoreOut(QRX_String* Var, const std::string& Value)
{
  if (Var)
    *Var = AnsiNew(Value);
}

bool LowByte(UINT_PTR Value) { return (Value & 0xFF) != 0; }

}  // namespace

extern "C" {

int WINAPI ScanInvoice(TScanDLLParams Params)
{
  int result = 0;
  if (!RunCallFrame(Params, nullptr, nullptr, [&](TScannerRX& s) { result = s.ScanInvoice(); }))
    RaiseToHost();
  return result;
}

void WINAPI SetScanMode(TScanDLLParams Params, QRX_String ScannerID, QRX_String ScanMode)
{
  if (!RunCallFrame(Params, ScannerID, ScanMode,
                [&](TScannerRX& s) { s.SetScanMode(AnsiToStd(ScannerID), AnsiToStd(ScanMode)); }))
    RaiseToHost();
}

int WINAPI SelectScanner(TScanDLLParams Params, UINT_PTR OnlyIfNoneSelected,
                                               QRX_String* ScannerID, QRX_String* ScanMode)
{
  ClearOut(ScannerID);
  ClearOut(ScanMode);
  bool chosen = false;
  if (!RunCallFrame(Params, nullptr, nullptr, [&](TScannerRX& s) {
        std::string id, mode;
        chosen = s.SelectScanner(LowByte(OnlyIfNoneSelected), id, mode);
        StoreOut(ScannerID, id);
        StoreOut(ScanMode, mode);
      }))
    RaiseToHost();
  return chosen ? 1 : 0;
}

int WINAPI GetScannerID(TScanDLLParams Params, QRX_String* ScannerID, UINT_PTR ShowPrompt)
{
  ClearOut(ScannerID);
  bool selected = false;
  if (!RunCallFrame(Params, nullptr, nullptr, [&](TScannerRX& s) {
        std::string id;
        int32_t engineType = 0;
        selected = s.GetSelectedScanner(id, engineType);
        if (selected)
          StoreOut(ScannerID, id);
        else if (LowByte(ShowPrompt))
          TdsDialogs::ShowOwnedMsg(THostObjects::ControlWindow(), "您尚未选择任何扫描仪，系统无法确定扫描仪的型号！", mkWarning);
      }))
    RaiseToHost();
  return selected ? 1 : 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD Reason, LPVOID Reserved)
{
  // On process exit (Reserved non-null) the host's heap may already be gone: leave it alone.
  if (Reason == DLL_PROCESS_DETACH && !Reserved)
    ClearDLLParams();
  return TRUE;
}

}  // extern "C"
