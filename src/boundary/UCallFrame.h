// The frame every export runs (steps in order):
//   1. reference the six strings of the record that arrived (and the in strings);
//   2. copy the record into DLLParams;
//   3. adopt the host's application window;
//   4. create one TScannerRX;  5. run the one operation;  6. free it;  7. release the references.
// Steps 6 and 7 run on every path. An error is caught here, after them, and its message kept for the
// export to hand to the host as a structured exception: no C++ exception leaves the frame. A
// structured exception from foreign code (the engine, the host's message handler) is kept as it
// was, and the export raises it again unchanged.
#pragma once
#include <objbase.h>

#include <memory>
#include <optional>
#include <string>

#include "QuillonRX.h"
#include "boundary/UAnsiStrings.h"
#include "boundary/UDLLParams.h"
#include "boundary/UHostObjects.h"
#include "scanning/UScannerRX.h"
#include "ui/UApplication.h"
#include "util/USehGuard.h"

// COM on the calling thread for the time of one call: the options document needs it, and a host
// thread that has not initialised it still gets its ADO objects from the host. Undone only when
// this call did it.
class TComScope {
public:
  TComScope() : FInitialized(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~TComScope()
  {
    if (FInitialized)
      CoUninitialize();
  }
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;

private:
  bool FInitialized;
};

// The message of the last error that ended an operation. Kept until the next one, so that a host
// reading it after unwinding still finds it.
std::string& LastFrameError();
// The structured exception that ended the last failed operation, when one did (else empty).
std::optional<TSehException>& LastForeignException();

// Runs the frame around Operation(TScannerRX&). False when the operation raised; the message is then
// in LastFrameError().
template <class TOperation>
bool RunCallFrame(const TScanDLLParams& Params, QRX_String InA, QRX_String InB, TOperation&& Operation) noexcept
{
  try {
    TScanDLLParams arrived = Params;
    QRX_String* slots = ParamStringSlots(arrived);
    TAnsiRef held[kParamStringCount] = {TAnsiRef(slots[0]), TAnsiRef(slots[1]), TAnsiRef(slots[2]),
                                        TAnsiRef(slots[3]), TAnsiRef(slots[4]), TAnsiRef(slots[5])};
    TAnsiRef heldA(InA), heldB(InB);
    TComScope com;
    THostObjects::TCallScope hostObjects;

    AssignDLLParams(arrived);
    TApplication::SetHandle(DLLParams.AppHandle);
    auto scanner = std::make_unique<TScannerRX>();
    Operation(*scanner);
    return true;
  } catch (const EForeignException& e) {
    LastForeignException() = e.Caught;
    return false;
  } catch (const std::exception& e) {
    LastFrameError() = e.what();
  } catch (...) {
    LastFrameError() = "Quillon.RX: unknown error";
  }
  LastForeignException().reset();
  if (LastFrameError().empty())
    LastFrameError() = "Quillon.RX: error";
  return false;
}
