#include "scanning/UScanEngine.h"

#include <vector>

#include "ui/UApplication.h"
#include "util/USehGuard.h"
#include "util/UStrConv.h"
#include "util/UdsErrors.h"

struct TScanEngine::TFunctions {
  int32_t(WINAPI* GetVersion)(int32_t, int32_t) = nullptr;
  int32_t(WINAPI* Initialize)() = nullptr;
  int32_t(WINAPI* SetScannerMode)(int32_t) = nullptr;
  int32_t(WINAPI* GetNewPage)(void*) = nullptr;
  int32_t(WINAPI* Terminate)(int32_t) = nullptr;
};

namespace {
const wchar_t kEngineName[] = L"ScanReco.dll";

// The engine once found, for the rest of the process (empty until a scan found one).
TScanEngine::TFunctions g_engine;

std::wstring ModuleFolder(HMODULE Module)
{
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(Module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0)
      return {};
    if (n < path.size() - 1)
      break;
    path.resize(path.size() * 2);
  }
  std::wstring name(path.data());
  return name.substr(0, name.find_last_of(L"\\/:") + 1);
}

bool IsFile(const std::wstring& Name)
{
  const DWORD attributes = GetFileAttributesW(Name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

template <class TFunction>
void Resolve(HMODULE Module, const char* Name, TFunction& Function)
{
  FARPROC f = GetProcAddress(Module, Name);
  if (!f)
    throw EdsError(std::string("扫描-识别系统 ScanReco.dll 缺少函数 ") + Name + "！");
  Function = reinterpret_cast<TFunction>(reinterpret_cast<void*>(f));
}

const TScanEngine::TFunctions& LoadEngine()
{
  if (g_engine.GetNewPage)
    return g_engine;
  std::wstring file;
  for (const std::wstring& candidate : {TScanEngine::LibraryFolderEngine(), TScanEngine::HostFolderEngine()}) {
    if (!candidate.empty() && IsFile(candidate)) {
      file = candidate;
      break;
    }
  }
  if (file.empty())
    throw EdsError("找不到扫描-识别系统 ScanReco.dll：本库的文件夹 " + WideToAnsi(TScanEngine::LibraryFolderEngine()) +
                   " 和主程序的文件夹 " + WideToAnsi(TScanEngine::HostFolderEngine()) + " 中都没有！");
  // By full path; the engine's own DLLs are then found beside it first.
  const HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module)
    throw EdsError("无法载入扫描-识别系统 " + WideToAnsi(file) + "（" + SysErrorMessage(GetLastError()) + "）！");
  TScanEngine::TFunctions functions;
  try {
    Resolve(module, "FpGetVersion", functions.GetVersion);
    Resolve(module, "FpScannerInitialize", functions.Initialize);
    Resolve(module, "FpSetScannerMode", functions.SetScannerMode);
    Resolve(module, "FpGetNewPage", functions.GetNewPage);
    Resolve(module, "FpScannerTerminate", functions.Terminate);
  } catch (...) {
    FreeLibrary(module);  // no engine function has run
    throw;
  }
  // Pinned: no FreeLibrary, this library's own unloading included, takes it out of the process.
  HMODULE pinned = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                     reinterpret_cast<LPCWSTR>(functions.GetNewPage), &pinned);
  g_engine = functions;
  return g_engine;
}
}  // namespace

std::wstring TScanEngine::LibraryFolderEngine() { return ModuleFolder(TApplication::Instance()) + kEngineName; }

std::wstring TScanEngine::HostFolderEngine() { return ModuleFolder(nullptr) + kEngineName; }

TScanEngine::TScanEngine() : FEngine(LoadEngine()) {}

TScanEngine::~TScanEngine()
{
  try {
    Terminate();
  } catch (const EForeignException&) {
    // The engine faulted again while it was being shut down, most likely after a first fault that
    // is on its way out now: that one is what the host must see.
  }
}

void TScanEngine::GetVersion(int32_t ScannerType)
{
  CallForeign([&]() noexcept { FEngine.GetVersion(kInterfaceVersion, ScannerType); });
}

int32_t TScanEngine::Initialize()
{
  FTerminateOwed = true;
  int32_t result = -1;
  CallForeign([&]() noexcept { result = FEngine.Initialize(); });
  return result;
}

void TScanEngine::SetScannerMode(int32_t Mode)
{
  CallForeign([&]() noexcept { FEngine.SetScannerMode(Mode); });
}

int32_t TScanEngine::GetNewPage(uint8_t* Record)
{
  int32_t status = -1;
  CallForeign([&]() noexcept { status = FEngine.GetNewPage(Record); });
  return status;
}

void TScanEngine::Terminate()
{
  if (!FTerminateOwed)
    return;
  FTerminateOwed = false;
  CallForeign([&]() noexcept { FEngine.Terminate(0); });
}
