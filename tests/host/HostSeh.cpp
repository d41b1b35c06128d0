#include "HostSeh.h"

#include "QuillonRX.h"
#include "util/USehGuard.h"

THostException CallCatchingLibraryError(const std::function<void()>& Call)
{
  TSehException caught;
  auto call = [&Call]() noexcept { Call(); };
  THostException e;
  if (CallGuarded(call, caught))
    return e;
  e.Raised = true;
  e.Code = caught.Code;
  e.Flags = caught.Flags;
  e.Arguments.assign(caught.Information, caught.Information + caught.NumberParameters);
  if (caught.Code == QRX_EXCEPTION_CODE && caught.NumberParameters >= 2 && caught.Information[0])
    e.Message.assign(reinterpret_cast<const char*>(caught.Information[0]), static_cast<size_t>(caught.Information[1]));
  return e;
}
