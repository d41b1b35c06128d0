#include "ProcessUsage.h"

#include <psapi.h>

#include "HostStrings.h"

namespace {
BOOL CALLBACK CountWindow(HWND, LPARAM Count) noexcept
{
  ++*reinterpret_cast<int*>(Count);
  return TRUE;
}
}  // namespace

TProcessUsage ProcessUsage()
{
  TProcessUsage u;
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
    u.PrivateBytes = memory.PrivateUsage;
    if (!u.PrivateBytes) {
      u.PrivateBytes = memory.PagefileUsage;  // the same charge, which Windows reports under both names
      u.PrivateFromPagefile = true;
    }
  }
  if (!GetProcessHandleCount(GetCurrentProcess(), &u.Handles) || !u.Handles) {
    // Every handle value that GetHandleInformation accepts, up to 8,192 handles.
    u.HandlesProbed = true;
    u.Handles = 0;
    DWORD flags = 0;
    for (UINT_PTR value = 4; value <= 4 * 8192; value += 4)
      u.Handles += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
  }
  u.UserObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  u.GdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&u.ThreadWindows));
  u.StringBlocks = THostStrings::LiveBlocks();
  return u;
}
