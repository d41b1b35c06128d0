// The shared memory manager that a Delphi host and Quillon.RX.dll both allocate string blocks from.
// One heap for the whole process, so either side may free what the other allocated.
// On i686 the three Sys* functions use Delphi's register convention: arguments in EAX, EDX, ECX,
// result in EAX (GCC's regparm(3)); on x86_64 the platform convention.
#include <windows.h>

#if defined(__i386__)
#define BORLAND_REGISTER __attribute__((regparm(3)))
#else
#define BORLAND_REGISTER
#endif

namespace {
volatile LONG g_count = 0;
volatile LONG g_size = 0;

HANDLE SharedHeap() { return GetProcessHeap(); }

void Count(void* p, LONG sign)
{
  if (!p)
    return;
  InterlockedExchangeAdd(&g_count, sign);
  InterlockedExchangeAdd(&g_size, sign * static_cast<LONG>(HeapSize(SharedHeap(), 0, p)));
}
}  // namespace

extern "C" {

BORLAND_REGISTER void* BorSysGetMem(int size)
{
  if (size <= 0)
    return nullptr;
  void* p = HeapAlloc(SharedHeap(), 0, static_cast<SIZE_T>(size));
  Count(p, +1);
  return p;
}

// Delphi's contract: 0 on success, non-zero on failure.
BORLAND_REGISTER int BorSysFreeMem(void* p)
{
  if (!p)
    return 0;
  Count(p, -1);
  return HeapFree(SharedHeap(), 0, p) ? 0 : 1;
}

BORLAND_REGISTER void* BorSysReallocMem(void* p, int size)
{
  if (!p)
    return BorSysGetMem(size);
  if (size <= 0) {
    BorSysFreeMem(p);
    return nullptr;
  }
  LONG oldSize = static_cast<LONG>(HeapSize(SharedHeap(), 0, p));
  void* q = HeapReAlloc(SharedHeap(), 0, p, static_cast<SIZE_T>(size));
  if (q)
    InterlockedExchangeAdd(&g_size, static_cast<LONG>(HeapSize(SharedHeap(), 0, q)) - oldSize);
  return q;
}

// Live blocks and their bytes, for tests that check nothing leaks across the boundary.
int GetAllocMemCount() { return g_count; }
int GetAllocMemSize() { return g_size; }

}  // extern "C"
