// A kernel handle (file, event, ...), closed with its owner.
#pragma once
#include <windows.h>

#include <memory>

struct THandleCloser {
  void operator()(HANDLE Handle) const
  {
    if (Handle && Handle != INVALID_HANDLE_VALUE)
      CloseHandle(Handle);
  }
};
using THandle = std::unique_ptr<void, THandleCloser>;
