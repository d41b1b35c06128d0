#include "HostSeh.h"

#include <excpt.h>

#include "QuillonRX.h"

namespace {
THostException g_caught;
}

// The filter of the __try1 block below (called by __C_specific_handler during dispatch).
extern "C" LONG HostExceptionFilter(EXCEPTION_POINTERS* Info, void*)
{
  const EXCEPTION_RECORD* r = Info->ExceptionRecord;
  if (r->ExceptionCode != QRX_EXCEPTION_CODE)
    return EXCEPTION_CONTINUE_SEARCH;
  g_caught.Raised = true;
  g_caught.Code = r->ExceptionCode;
  g_caught.Flags = r->ExceptionFlags;
  if (r->NumberParameters >= 2 && r->ExceptionInformation[0])
    g_caught.Message.assign(reinterpret_cast<const char*>(r->ExceptionInformation[0]),
                            static_cast<size_t>(r->ExceptionInformation[1]));
  return EXCEPTION_EXECUTE_HANDLER;
}

namespace {
// GCC has no __try/__except; mingw-w64's __try1/__except1 emit the same SEH scope table.
__attribute__((noinline)) void GuardedCall(const std::function<void()>* Call)
{
  __try1(HostExceptionFilter)
  {
    (*Call)();
  }
  __except1
  {
  }
}
}  // namespace

THostException CallCatchingLibraryError(const std::function<void()>& Call)
{
  g_caught = THostException();
  GuardedCall(&Call);
  return g_caught;
}
