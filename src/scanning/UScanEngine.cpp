#include "scanning/UScanEngine.h"

#include <vector>

#include "ui/UApplication.h"
#include "util/UStrConv.h"
#include "util/UdsErrors.h"

namespace {
template <class TFunction>
TFunction Resolve(HMODULE Module, const char* Name)
{
  FARPROC f = GetProcAddress(Module, Name);
  if (!f)
    throw EdsError(std::string("扫描-识别系统 ScanReco.dll 缺少函数 ") + Name + "！");
  return reinterpret_cast<TFunction>(reinterpret_cast<void*>(f));
}
}  // namespace

std::wstring TScanEngine::EngineFileName()
{
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(TApplication::Instance(), path.data(), static_cast<DWORD>(path.size()));
    if (n == 0)
      throw EdsError("找不到扫描-识别系统 ScanReco.dll：本库的文件夹未知。");
    if (n < path.size() - 1)
      break;
    path.resize(path.size() * 2);
  }
  std::wstring name(path.data());
  return name.substr(0, name.find_last_of(L"\\/:") + 1) + L"ScanReco.dll";
}

TScanEngine::TScanEngine()
{
  const std::wstring file = EngineFileName();
  // By full path; the engine's own DLLs are then found beside it first.
  FModule = LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!FModule)
    throw EdsError("无法载入扫描-识别系统 " + WideToAnsi(file) + "！");
  try {
    FGetVersion = Resolve<TGetVersion>(FModule, "FpGetVersion");
    FInitialize = Resolve<TInitialize>(FModule, "FpScannerInitialize");
    FSetScannerMode = Resolve<TIntCall>(FModule, "FpSetScannerMode");
    FGetNewPage = Resolve<TGetNewPage>(FModule, "FpGetNewPage");
    FTerminate = Resolve<TIntCall>(FModule, "FpScannerTerminate");
  } catch (...) {
    FreeLibrary(FModule);
    throw;
  }
}

TScanEngine::~TScanEngine()
{
  Terminate();
  FreeLibrary(FModule);
}

void TScanEngine::GetVersion(int32_t ScannerType) { FGetVersion(kInterfaceVersion, ScannerType); }

int32_t TScanEngine::Initialize()
{
  FTerminateOwed = true;
  return FInitialize();
}

void TScanEngine::SetScannerMode(int32_t Mode) { FSetScannerMode(Mode); }

int32_t TScanEngine::GetNewPage(uint8_t* Record) { return FGetNewPage(Record); }

void TScanEngine::Terminate()
{
  if (!FTerminateOwed)
    return;
  FTerminateOwed = false;
  FTerminate(0);
}
