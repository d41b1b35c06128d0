#include "boundary/UAnsiStrings.h"

#include <cstdint>
#include <cstring>
#include <new>

// borlndmm.dll, imported under the names every Delphi host's copy exports (see borlndmm-import.def).
// On i686 they take their arguments in EAX, EDX, ECX (Delphi's register convention).
#if defined(__i386__)
#define BORLAND_REGISTER __attribute__((regparm(3)))
#else
#define BORLAND_REGISTER
#endif
extern "C" {
__declspec(dllimport) BORLAND_REGISTER void* QrxSysGetMem(int Size);
__declspec(dllimport) BORLAND_REGISTER int QrxSysFreeMem(void* P);
}

namespace {
struct TBlockHeader {
  volatile LONG Count;
  int32_t Length;
};

TBlockHeader* Header(QRX_String S) { return reinterpret_cast<TBlockHeader*>(S - sizeof(TBlockHeader)); }
}  // namespace

QRX_String AnsiNew(const std::string& Text)
{
  if (Text.empty())
    return nullptr;
  if (Text.size() > 0x7FFFFFF0u)
    throw std::bad_alloc();
  const int total = static_cast<int>(sizeof(TBlockHeader) + Text.size() + 1);
  auto* h = static_cast<TBlockHeader*>(QrxSysGetMem(total));
  if (!h)
    throw std::bad_alloc();
  h->Count = 1;
  h->Length = static_cast<int32_t>(Text.size());
  char* s = reinterpret_cast<char*>(h + 1);
  std::memcpy(s, Text.data(), Text.size());
  s[Text.size()] = '\0';
  return s;
}

void AnsiAddRef(QRX_String S)
{
  if (S && Header(S)->Count >= 0)
    InterlockedIncrement(&Header(S)->Count);
}

void AnsiRelease(QRX_String S)
{
  if (!S || Header(S)->Count < 0)
    return;
  if (InterlockedDecrement(&Header(S)->Count) == 0)
    QrxSysFreeMem(Header(S));
}

std::string AnsiToStd(QRX_String S)
{
  if (!S)
    return {};
  const int32_t n = Header(S)->Length;
  return n > 0 ? std::string(S, static_cast<size_t>(n)) : std::string();
}
