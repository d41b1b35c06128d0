// An open registry key, closed with its owner.
#pragma once
#include <windows.h>

#include <memory>
#include <type_traits>

struct TRegKeyCloser {
  void operator()(HKEY Key) const { RegCloseKey(Key); }
};
using TRegKey = std::unique_ptr<std::remove_pointer_t<HKEY>, TRegKeyCloser>;
