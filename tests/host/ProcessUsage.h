// What the process holds at one moment, for the checks that nothing leaks: memory, handles, USER and
// GDI objects, the thread's top-level windows and borlndmm.dll's live blocks. Where wine answers 0
// (PrivateUsage, the handle count, GetGuiResources) the figure comes another way or stays 0; the
// flags say which.
#pragma once
#include <windows.h>

struct TProcessUsage {
  SIZE_T PrivateBytes = 0;  // the commit charge
  DWORD Handles = 0;
  DWORD UserObjects = 0, GdiObjects = 0;
  int ThreadWindows = 0;  // top-level windows of this thread: a window left behind shows here
  int StringBlocks = 0;
  bool PrivateFromPagefile = false;  // PrivateUsage read 0: PagefileUsage instead
  bool HandlesProbed = false;        // the handle count read 0: every handle value probed instead
};

TProcessUsage ProcessUsage();
