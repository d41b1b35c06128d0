// The host's own objects in the call record. A host fills HostControl and Connection as its
// framework holds them: a window-control object whose window handle the framework creates on demand,
// and a connection object that holds the ADO connection in one of its fields. It may also pass the
// raw window handle and the raw ADO interface. Nothing is called through a pointer before it has been
// verified; anything else is an error naming the slot.
#pragma once
#include <string>

#ifdef _WIN32
#include <windows.h>
#include <wrl/client.h>

#include "data/UAdo.h"
#endif

class THostObjects {
public:
  THostObjects() = delete;

  // Names of the window properties through which the host's Windows class library finds the object
  // behind each window it created: "ControlOfs" + 16 hex digits, or "Delphi" + 8 hex digits.
  static bool IsControlPropertyName(const std::string& Name);

#ifdef _WIN32
  // The window of HostControl (DLLParams.HostControl unless given): the window of the host's
  // window-control object whose address it is (found through the properties on the thread's
  // windows; preferred, since an address can look like a handle), else the window handle itself.
  // 0 for 0. Raises EdsError naming HostControl for anything else.
  static HWND ControlWindow();
  static HWND ControlWindow(void* HostControl);

  // The ADO connection of Connection (DLLParams.Connection unless given), referenced: the interface
  // itself, or the one an object of the host holds in one of its first fields. A pointer counts as
  // one of ADO's objects only when its first word (the vtable) lies in the image of the module that
  // serves ADO's Connection class; QueryInterface for _Connection then decides. Empty for 0. Raises
  // EdsError naming Connection for anything else.
  static Microsoft::WRL::ComPtr<_Connection> Connection();
  static Microsoft::WRL::ComPtr<_Connection> Connection(void* Value);

  // For the time of one exported call the host's objects stay what they are, so the connection is
  // verified once per call rather than once per statement (the select-scanner dialog runs one
  // query per scanner). The call frame opens the scope; nothing is kept outside one.
  class TCallScope {
  public:
    TCallScope();
    ~TCallScope();
    TCallScope(const TCallScope&) = delete;
    TCallScope& operator=(const TCallScope&) = delete;
  };
#endif
};
