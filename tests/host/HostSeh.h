// Catching what the library raises, as a host's try/except does: a frame of the host's own on the
// structured-exception chain, which unwinds what lies above it and carries on after the call.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct THostException {
  bool Raised = false;
  DWORD Code = 0;
  DWORD Flags = 0;
  std::vector<ULONG_PTR> Arguments;
  std::string Message;  // the library's error: GBK bytes from ExceptionInformation[0], length [1]
};

// Runs Call; any structured exception that leaves it is caught and described (a Delphi host's
// try/except catches them all).
THostException CallCatchingLibraryError(const std::function<void()>& Call);
