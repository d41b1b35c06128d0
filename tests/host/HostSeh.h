// Catching the library's structured exception, as a host's try/except does.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

struct THostException {
  bool Raised = false;
  DWORD Code = 0;
  DWORD Flags = 0;
  std::string Message;  // GBK bytes from ExceptionInformation[0], length [1]
};

// Runs Call; a structured exception with the library's code is caught and described. Any other
// exception passes on.
THostException CallCatchingLibraryError(const std::function<void()>& Call);
