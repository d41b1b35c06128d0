#include "boundary/UHostObjects.h"

#include <cctype>

#ifdef _WIN32
#include <algorithm>
#include <cstdint>

#include "boundary/UDLLParams.h"
#include "util/URegKey.h"
#include "util/UdsErrors.h"
#endif

namespace {
bool HexDigits(const std::string& Text, size_t From, size_t Count)
{
  if (Text.size() != From + Count)
    return false;
  for (size_t i = From; i < Text.size(); ++i)
    if (!std::isxdigit(static_cast<unsigned char>(Text[i])))
      return false;
  return true;
}
}  // namespace

bool THostObjects::IsControlPropertyName(const std::string& Name)
{
  // "ControlOfs" + module and thread as 8 hex digits each; "Delphi" + process as 8 hex digits.
  return (Name.compare(0, 10, "ControlOfs") == 0 && HexDigits(Name, 10, 16)) ||
         (Name.compare(0, 6, "Delphi") == 0 && HexDigits(Name, 6, 8));
}

#ifdef _WIN32
using Microsoft::WRL::ComPtr;

namespace {

// ---- HostControl ----

struct TControlSearch {
  HANDLE Value;
  HWND Found = nullptr;
  char Property[64] = {};
};

BOOL CALLBACK PropertyProc(HWND Window, LPSTR Name, HANDLE Data, ULONG_PTR Param) noexcept
{
  auto* search = reinterpret_cast<TControlSearch*>(Param);
  if (Data != search->Value)
    return TRUE;
  char name[sizeof search->Property] = {};
  if (IS_INTRESOURCE(Name)) {  // set through a global atom, as the class library does
    if (!GlobalGetAtomNameA(static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(Name)), name, sizeof name))
      return TRUE;
  } else {
    lstrcpynA(name, Name, sizeof name);
  }
  try {
    if (!THostObjects::IsControlPropertyName(name))
      return TRUE;
  } catch (...) {
    return TRUE;
  }
  search->Found = Window;
  lstrcpynA(search->Property, name, sizeof search->Property);
  return FALSE;
}

BOOL CALLBACK ChildWindowProc(HWND Window, LPARAM Param) noexcept
{
  auto* search = reinterpret_cast<TControlSearch*>(Param);
  EnumPropsExA(Window, PropertyProc, static_cast<LPARAM>(Param));
  return search->Found ? FALSE : TRUE;
}

BOOL CALLBACK TopWindowProc(HWND Window, LPARAM Param) noexcept
{
  auto* search = reinterpret_cast<TControlSearch*>(Param);
  EnumPropsExA(Window, PropertyProc, static_cast<LPARAM>(Param));
  if (!search->Found)
    EnumChildWindows(Window, ChildWindowProc, Param);
  return search->Found ? FALSE : TRUE;
}

// The last answer: a scan asks for the window once per page, and the thread's windows seldom change.
struct TLastControl {
  void* Value = nullptr;
  HWND Window = nullptr;
  char Property[64] = {};  // empty when Value was the window handle itself
} g_lastControl;

bool LastControlStillValid(void* Value)
{
  const TLastControl& last = g_lastControl;
  if (!Value || Value != last.Value || !IsWindow(last.Window))
    return false;
  return !last.Property[0] || GetPropA(last.Window, last.Property) == Value;
}

// ---- Connection ----

// The image of the module that serves ADO's Connection class in this process; empty when no such
// module is loaded (then no pointer can be one of its objects).
struct TModuleImage {
  uintptr_t Base = 0, End = 0;
  bool Contains(const void* P) const
  {
    const auto a = reinterpret_cast<uintptr_t>(P);
    return a >= Base && a < End;
  }
};

TModuleImage LookUpAdoConnectionServer()
{
  TModuleImage image;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{00000514-0000-0010-8000-00AA006D2EA4}\\InprocServer32", 0,
                    KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
    return image;
  TRegKey key(opened);
  wchar_t value[MAX_PATH] = {}, path[MAX_PATH] = {};
  DWORD type = 0, size = sizeof value - sizeof(wchar_t);
  if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return image;
  const DWORD n = ExpandEnvironmentStringsW(value, path, MAX_PATH);
  if (n == 0 || n > MAX_PATH)
    return image;
  HMODULE module = GetModuleHandleW(path);
  if (!module) {  // the same file, named differently (short name, other case of the folder)
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p)
      if (*p == L'\\' || *p == L'/' || *p == L':')
        name = p + 1;
    module = GetModuleHandleW(name);
  }
  if (!module)
    return image;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(module) + dos->e_lfanew);
  image.Base = reinterpret_cast<uintptr_t>(module);
  image.End = image.Base + nt->OptionalHeader.SizeOfImage;
  return image;
}

// The server found last, while the same module is still loaded at the same place: the registry
// lookup costs a server round trip or more per key under some systems, and every call that touches
// the catalogue asks for it.
struct TAdoServerCache {
  TModuleImage Image;
  wchar_t File[MAX_PATH] = {};
} g_adoServer;

bool StillLoaded(const TAdoServerCache& Cached)
{
  if (!Cached.Image.Base)
    return false;
  HMODULE module = nullptr;
  wchar_t file[MAX_PATH] = {};
  return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(Cached.Image.Base), &module) &&
         reinterpret_cast<uintptr_t>(module) == Cached.Image.Base &&
         GetModuleFileNameW(module, file, MAX_PATH) && lstrcmpW(file, Cached.File) == 0;
}

TModuleImage AdoConnectionServer()
{
  if (StillLoaded(g_adoServer))
    return g_adoServer.Image;
  g_adoServer = TAdoServerCache();
  const TModuleImage image = LookUpAdoConnectionServer();
  if (image.Base &&
      GetModuleFileNameW(reinterpret_cast<HMODULE>(image.Base), g_adoServer.File, MAX_PATH))
    g_adoServer.Image = image;
  return image;
}

// How many bytes from Address on are committed, readable memory (at most Limit).
size_t ReadableExtent(const void* Address, size_t Limit)
{
  const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                         PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  uintptr_t at = reinterpret_cast<uintptr_t>(Address);
  size_t extent = 0;
  while (extent < Limit) {
    MEMORY_BASIC_INFORMATION info;
    if (!VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) || info.State != MEM_COMMIT ||
        (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) || !(info.Protect & readable))
      break;
    const uintptr_t end = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    const size_t here = std::min<size_t>(Limit - extent, end - at);
    extent += here;
    at += here;
  }
  return extent;
}

bool IsReadable(const void* Address, size_t Size)
{
  const auto a = reinterpret_cast<uintptr_t>(Address);
  return a >= 0x10000 && a % alignof(void*) == 0 && ReadableExtent(Address, Size) == Size;
}

enum class TAdoObject { None, NotAConnection, Connection };

// Whether P is one of ADO's objects, and if so whether it is a connection (then Out holds it).
TAdoObject AdoObjectAt(void* P, const TModuleImage& Ado, ComPtr<_Connection>& Out)
{
  if (!IsReadable(P, sizeof(void*)))
    return TAdoObject::None;
  void* const* vtable = *static_cast<void* const* const*>(P);
  if (!Ado.Contains(vtable))
    return TAdoObject::None;
  // The vtable lies in ADO's image; so must the QueryInterface it names before it is called.
  if (!IsReadable(vtable, 3 * sizeof(void*)) || !Ado.Contains(vtable[0]))
    return TAdoObject::NotAConnection;
  Out.Reset();
  const HRESULT hr = static_cast<IUnknown*>(P)->QueryInterface(__uuidof(_Connection),
                                                               reinterpret_cast<void**>(Out.GetAddressOf()));
  if (FAILED(hr) || !Out) {
    Out.Reset();
    SetErrorInfo(0, nullptr);
    return TAdoObject::NotAConnection;
  }
  return TAdoObject::Connection;
}

// The connection verified in the current call (an export called from the host's page handler opens
// a scope of its own, and the outer call verifies again after it).
int g_callScopes = 0;
struct TCallConnection {
  void* Value = nullptr;
  ComPtr<_Connection> Connection;
} g_callConnection;

// Fields of a host object that are looked at for the connection. The class library's connection
// component keeps its ADO connection within its first few dozen fields.
constexpr size_t kScannedFields = 256;

// Keeps what Value was verified as, for the rest of the call.
const ComPtr<_Connection>& Verified(void* Value, const ComPtr<_Connection>& Connection)
{
  if (g_callScopes > 0) {
    g_callConnection.Value = Value;
    g_callConnection.Connection = Connection;
  }
  return Connection;
}

}  // namespace

HWND THostObjects::ControlWindow() { return ControlWindow(DLLParams.HostControl); }

HWND THostObjects::ControlWindow(void* HostControl)
{
  if (!HostControl)
    return nullptr;
  if (LastControlStillValid(HostControl))
    return g_lastControl.Window;
  TControlSearch search;
  search.Value = HostControl;
  EnumThreadWindows(GetCurrentThreadId(), TopWindowProc, reinterpret_cast<LPARAM>(&search));
  TLastControl found;
  found.Value = HostControl;
  if (search.Found) {
    found.Window = search.Found;
    lstrcpynA(found.Property, search.Property, sizeof found.Property);
  } else if (IsWindow(static_cast<HWND>(HostControl))) {
    found.Window = static_cast<HWND>(HostControl);
  } else {
    throw EdsError("参数 HostControl 既不是窗口句柄，也不是宿主程序的窗口控件对象！");
  }
  g_lastControl = found;
  return found.Window;
}

ComPtr<_Connection> THostObjects::Connection() { return Connection(DLLParams.Connection); }

THostObjects::TCallScope::TCallScope() { ++g_callScopes; }

THostObjects::TCallScope::~TCallScope()
{
  --g_callScopes;
  g_callConnection = TCallConnection();
}

ComPtr<_Connection> THostObjects::Connection(void* Value)
{
  if (g_callScopes > 0 && Value && Value == g_callConnection.Value)
    return g_callConnection.Connection;
  ComPtr<_Connection> connection;
  if (!Value)
    return connection;
  const TModuleImage ado = AdoConnectionServer();
  switch (AdoObjectAt(Value, ado, connection)) {
    case TAdoObject::Connection:
      return Verified(Value, connection);
    case TAdoObject::NotAConnection:  // one of ADO's own objects: its fields are private
      throw EdsError("参数 Connection 指向的 ADO 对象不是数据库连接！");
    case TAdoObject::None:
      break;
  }
  // An object of the host: look for the interface among its first fields, as far as they are readable.
  if (ado.Base && reinterpret_cast<uintptr_t>(Value) % alignof(void*) == 0) {
    const size_t fields = ReadableExtent(Value, kScannedFields * sizeof(void*)) / sizeof(void*);
    void* const* field = static_cast<void* const*>(Value);
    for (size_t i = 0; i < fields; ++i)
      if (field[i] && field[i] != Value && AdoObjectAt(field[i], ado, connection) == TAdoObject::Connection)
        return Verified(Value, connection);
  }
  throw EdsError(ado.Base ? "参数 Connection 既不是 ADO 数据库连接，也不是含有 ADO 数据库连接的对象！"
                          : "参数 Connection 不是 ADO 数据库连接：本进程没有载入 ADO。");
}
#endif
