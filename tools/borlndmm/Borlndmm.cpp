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
volatile LONG g_badFrees = 0;  // frees and reallocations of what is no block of this heap

HANDLE SharedHeap() { return GetProcessHeap(); }

// A pointer this memory manager handed out and has not taken back. Anything else (a pointer into a
// block, one freed before, one of another heap) is refused and counted, never passed to the heap.
bool IsLiveBlock(void* p)
{
  if (HeapValidate(SharedHeap(), 0, p))
    return true;
  InterlockedIncrement(&g_badFrees);
  return false;
}

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
  if (!IsLiveBlock(p))
    return 1;
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
  if (!IsLiveBlock(p))
    return nullptr;
  LONG oldSize = static_cast<LONG>(HeapSize(SharedHeap(), 0, p));
  void* q = HeapReAlloc(SharedHeap(), 0, p, static_cast<SIZE_T>(size));
  if (q)
    InterlockedExchangeAdd(&g_size, static_cast<LONG>(HeapSize(SharedHeap(), 0, q)) - oldSize);
  return q;
}

// Live blocks and their bytes, for tests that check nothing leaks across the boundary.
int GetAllocMemCount() { return g_count; }
int GetAllocMemSize() { return g_size; }
int GetBadFreeCount() { return g_badFrees; }

}  // extern "C"
