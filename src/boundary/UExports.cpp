// The four exports and the frame every one of them runs:
//   1. reference the strings of the record on the stack (and the in strings), clear the out strings;
//   2. copy the record into DLLParams;
//   3. adopt the host's application window;
//   4. create one TScannerRX;  5. run the operation;  6. free it;  7. release the references.
// Steps 6 and 7 run on every path. An error that ends the operation then reaches the host as a
// structured exception (QRX_EXCEPTION_CODE, see QuillonRX.h); no C++ exception leaves the DLL.
#include <windows.h>

#include <memory>
#include <string>

#include "boundary/UAnsiStrings.h"
#include "boundary/UDLLParams.h"
#include "scanning/UScannerRX.h"
#include "ui/UApplication.h"
#include "ui/UdsDialogs.h"

namespace {

// The message of the last error handed to the host; kept until the next one so that a host's
// handler can read it after unwinding.
std::string g_errorText;

// Runs steps 1 to 7 around Operation; false when the operation ended with an error, whose message
// is then in g_errorText. Nothing here lets an exception out.
template <class TOperation>
bool RunFrame(const TScanDLLParams& Params, QRX_String InA, QRX_String InB, TOperation Operation) noexcept
{
  try {
    TScanDLLParams arrived = Params;
    QRX_String* slots = ParamStringSlots(arrived);
    TAnsiRef held[kParamStringCount] = {TAnsiRef(slots[0]), TAnsiRef(slots[1]), TAnsiRef(slots[2]),
                                        TAnsiRef(slots[3]), TAnsiRef(slots[4]), TAnsiRef(slots[5])};
    TAnsiRef heldA(InA), heldB(InB);

    AssignDLLParams(arrived);
    TApplication::SetHandle(DLLParams.AppHandle);
    auto scanner = std::make_unique<TScannerRX>();
    Operation(*scanner);
    return true;
  } catch (const std::exception& e) {
    g_errorText = e.what();
  } catch (...) {
    g_errorText = "Quillon.RX: unknown error";
  }
  if (g_errorText.empty())
    g_errorText = "Quillon.RX: error";
  return false;
}

// Kept apart from the exports so that no C++ object is alive in the frames the host unwinds.
[[noreturn]] __attribute__((noinline)) void RaiseToHost()
{
  ULONG_PTR args[2] = {reinterpret_cast<ULONG_PTR>(g_errorText.c_str()), g_errorText.size()};
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
  if (!RunFrame(Params, nullptr, nullptr, [&](TScannerRX& s) { result = s.ScanInvoice(); }))
    RaiseToHost();
  return result;
}

void WINAPI SetScanMode(TScanDLLParams Params, QRX_String ScannerID, QRX_String ScanMode)
{
  if (!RunFrame(Params, ScannerID, ScanMode,
                [&](TScannerRX& s) { s.SetScanMode(AnsiToStd(ScannerID), AnsiToStd(ScanMode)); }))
    RaiseToHost();
}

int WINAPI SelectScanner(TScanDLLParams Params, UINT_PTR OnlyIfNoneSelected,
                                               QRX_String* ScannerID, QRX_String* ScanMode)
{
  ClearOut(ScannerID);
  ClearOut(ScanMode);
  bool chosen = false;
  if (!RunFrame(Params, nullptr, nullptr, [&](TScannerRX& s) {
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
  if (!RunFrame(Params, nullptr, nullptr, [&](TScannerRX& s) {
        std::string id;
        int32_t engineType = 0;
        selected = s.GetSelectedScanner(id, engineType);
        if (selected)
          StoreOut(ScannerID, id);
        else if (LowByte(ShowPrompt))
          TdsDialogs::ShowOwnedMsg(DLLParams.HostControl, "您尚未选择任何扫描仪，系统无法确定扫描仪的型号！", mkWarning);
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
