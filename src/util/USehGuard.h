// A structured-exception frame around a call into foreign code (the engine, the host's window
// procedure). On i686 a structured exception raised there (an access violation in the engine, a
// Delphi host's exception from its message handler) would otherwise unwind through the caller's
// DWARF frames without running a single destructor. Here it stops at the guard instead: the frames
// between are unwound (their own handlers run), and the caller gets a description from which the
// same exception can be raised again once it has cleaned up.
#pragma once
#include <windows.h>

#include <exception>
#include <type_traits>

struct TSehException {
  DWORD Code = 0;
  DWORD Flags = 0;
  void* Address = nullptr;
  DWORD NumberParameters = 0;
  ULONG_PTR Information[EXCEPTION_MAXIMUM_PARAMETERS] = {};
};

// Runs Call(Context) under a frame of its own. True when Call returned; false when a structured
// exception left it, described in Caught. Call must not throw a C++ exception.
bool CallGuarded(void (*Call)(void*), void* Context, TSehException& Caught) noexcept;

template <class TCall>
bool CallGuarded(TCall& Call, TSehException& Caught) noexcept
{
  static_assert(std::is_nothrow_invocable_v<TCall&>, "a guarded call must not throw");
  return CallGuarded([](void* c) { (*static_cast<TCall*>(c))(); }, &Call, Caught);
}

// A structured exception from foreign code, carried through the library's frames as a C++ exception
// so that their destructors run; the export raises it again for the host (RaiseAgain).
class EForeignException : public std::exception {
public:
  explicit EForeignException(const TSehException& Caught) : Caught(Caught) {}
  const char* what() const noexcept override { return "Quillon.RX: structured exception in foreign code"; }
  TSehException Caught;
};

// Calls Call() under a guard; a structured exception raised in it continues as EForeignException.
template <class TCall>
void CallForeign(TCall&& Call)
{
  TSehException caught;
  if (!CallGuarded(Call, caught))
    throw EForeignException(caught);
}

// Raises the exception again with its code, flags (only "non-continuable" survives a raise) and
// arguments.
[[noreturn]] void RaiseAgain(const TSehException& Caught);
