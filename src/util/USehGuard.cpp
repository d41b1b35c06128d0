#include "util/USehGuard.h"

#include <excpt.h>

namespace {
void Describe(const EXCEPTION_RECORD& Record, TSehException& Caught)
{
  Caught.Code = Record.ExceptionCode;
  Caught.Flags = Record.ExceptionFlags;
  Caught.Address = Record.ExceptionAddress;
  Caught.NumberParameters = Record.NumberParameters < EXCEPTION_MAXIMUM_PARAMETERS ? Record.NumberParameters
                                                                                    : EXCEPTION_MAXIMUM_PARAMETERS;
  for (DWORD i = 0; i < Caught.NumberParameters; ++i)
    Caught.Information[i] = Record.ExceptionInformation[i];
}
}  // namespace

#if defined(__i386__)

// i686: a registration record of our own on the fs:[0] chain, as a Delphi or MSVC frame has. Its
// handler describes the exception, unwinds the frames above it (their handlers run with the
// unwinding flag) and jumps back into CallGuarded, which takes the record off the chain.
namespace {
struct TGuardRecord {
  TGuardRecord* Next;  // the layout of EXCEPTION_REGISTRATION_RECORD: next, handler
  void* Handler;
  void* Jump[5];  // __builtin_setjmp's buffer
  TSehException* Caught;
};

TGuardRecord* ChainHead()
{
  TGuardRecord* head;
  __asm__ volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

void SetChainHead(TGuardRecord* Head) { __asm__ volatile("movl %0, %%fs:0" : : "r"(Head) : "memory"); }

extern "C" EXCEPTION_DISPOSITION __cdecl QrxGuardHandler(EXCEPTION_RECORD* Record, void* Frame, CONTEXT*, void*)
{
  if (Record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
    return ExceptionContinueSearch;
  auto* guard = static_cast<TGuardRecord*>(Frame);
  Describe(*Record, *guard->Caught);
  RtlUnwind(Frame, nullptr, Record, nullptr);
  __builtin_longjmp(guard->Jump, 1);
}
}  // namespace

bool CallGuarded(void (*Call)(void*), void* Context, TSehException& Caught) noexcept
{
  TGuardRecord guard;
  guard.Handler = reinterpret_cast<void*>(&QrxGuardHandler);
  guard.Caught = &Caught;
  volatile bool returned = false;
  if (__builtin_setjmp(guard.Jump) == 0) {
    guard.Next = ChainHead();
    SetChainHead(&guard);
    Call(Context);
    returned = true;
  }
  SetChainHead(guard.Next);
  return returned;
}

#else

// x86_64: a scope of the function's unwind table (mingw's __try1). Its filter fills the innermost
// guard that is running; the library runs on its caller's one thread, and guards nest only through
// the host calling the library again from its message handler.
namespace {
struct TGuardScope {
  TGuardScope* Outer;
  TSehException* Caught;
};
TGuardScope* g_innermost = nullptr;

__attribute__((noinline)) bool RunInScope(void (*Call)(void*), void* Context);
}  // namespace

extern "C" LONG QrxGuardFilter(EXCEPTION_POINTERS* Info, void*)
{
  if (g_innermost)
    Describe(*Info->ExceptionRecord, *g_innermost->Caught);
  return EXCEPTION_EXECUTE_HANDLER;
}

namespace {
__attribute__((noinline)) bool RunInScope(void (*Call)(void*), void* Context)
{
  volatile bool returned = false;
  __try1(QrxGuardFilter)
  {
    Call(Context);
    returned = true;
  }
  __except1
  {
  }
  return returned;
}
}  // namespace

bool CallGuarded(void (*Call)(void*), void* Context, TSehException& Caught) noexcept
{
  TGuardScope scope = {g_innermost, &Caught};
  g_innermost = &scope;
  const bool returned = RunInScope(Call, Context);
  g_innermost = scope.Outer;
  return returned;
}

#endif

void RaiseAgain(const TSehException& Caught)
{
  RaiseException(Caught.Code, Caught.Flags & EXCEPTION_NONCONTINUABLE, Caught.NumberParameters,
                 Caught.NumberParameters ? Caught.Information : nullptr);
  // A continuable exception that a handler continued: nothing to go back to.
  RaiseException(Caught.Code, EXCEPTION_NONCONTINUABLE, Caught.NumberParameters,
                 Caught.NumberParameters ? Caught.Information : nullptr);
  __builtin_unreachable();
}
