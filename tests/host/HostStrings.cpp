#include "HostStrings.h"

#include <cstring>
#include <deque>
#include <stdexcept>
#include <vector>

namespace {
// A Delphi host calls the memory manager in Delphi's register convention: on i686 the arguments in
// EAX, EDX, ECX (GCC's regparm(3)); on x86_64 there is only the platform's convention.
#if defined(__i386__)
#define DELPHI_REGISTER __attribute__((regparm(3)))
#else
#define DELPHI_REGISTER
#endif
struct TBorlndmm {
  void*(DELPHI_REGISTER* GetMem)(int) = nullptr;
  int(DELPHI_REGISTER* FreeMem)(void*) = nullptr;
  int (*Count)() = nullptr;
  int (*Size)() = nullptr;
  int (*BadFrees)() = nullptr;

  TBorlndmm()
  {
    HMODULE m = LoadLibraryA("borlndmm.dll");
    if (!m)
      throw std::runtime_error("borlndmm.dll not found");
    GetMem = reinterpret_cast<decltype(GetMem)>(GetProcAddress(m, "@Borlndmm@SysGetMem$qqri"));
    FreeMem = reinterpret_cast<decltype(FreeMem)>(GetProcAddress(m, "@Borlndmm@SysFreeMem$qqrpv"));
    Count = reinterpret_cast<decltype(Count)>(GetProcAddress(m, "GetAllocMemCount"));
    Size = reinterpret_cast<decltype(Size)>(GetProcAddress(m, "GetAllocMemSize"));
    BadFrees = reinterpret_cast<decltype(BadFrees)>(GetProcAddress(m, "GetBadFreeCount"));
    if (!GetMem || !FreeMem || !Count || !Size || !BadFrees)
      throw std::runtime_error("borlndmm.dll lacks an export");
  }
};

TBorlndmm& Mm()
{
  static TBorlndmm mm;
  return mm;
}

struct THeader {
  volatile LONG Count;
  int32_t Length;
};
THeader* Header(QRX_String S) { return reinterpret_cast<THeader*>(S - sizeof(THeader)); }
}  // namespace

QRX_String THostStrings::New(const std::string& Text)
{
  if (Text.empty())
    return nullptr;
  auto* h = static_cast<THeader*>(Mm().GetMem(static_cast<int>(sizeof(THeader) + Text.size() + 1)));
  h->Count = 1;
  h->Length = static_cast<int32_t>(Text.size());
  char* s = reinterpret_cast<char*>(h + 1);
  std::memcpy(s, Text.data(), Text.size());
  s[Text.size()] = 0;
  return s;
}

QRX_String THostStrings::Constant(const std::string& Text)
{
  if (Text.empty())
    return nullptr;
  static std::deque<std::vector<char>> constants;  // lives as long as the test program
  std::vector<char>& block = constants.emplace_back(sizeof(THeader) + Text.size() + 1);
  auto* h = reinterpret_cast<THeader*>(block.data());
  h->Count = -1;
  h->Length = static_cast<int32_t>(Text.size());
  std::memcpy(block.data() + sizeof(THeader), Text.data(), Text.size());
  return block.data() + sizeof(THeader);
}

void THostStrings::Release(QRX_String S)
{
  if (S && Header(S)->Count >= 0 && InterlockedDecrement(&Header(S)->Count) == 0)
    Mm().FreeMem(Header(S));
}

void THostStrings::FreeBlock(void* Block) { Mm().FreeMem(Block); }

std::string THostStrings::Text(QRX_String S) { return S ? std::string(S, Header(S)->Length) : std::string(); }
int THostStrings::RefCount(QRX_String S) { return S ? Header(S)->Count : 0; }
int THostStrings::LiveBlocks() { return Mm().Count(); }
int THostStrings::LiveBytes() { return Mm().Size(); }
int THostStrings::BadFrees() { return Mm().BadFrees(); }
