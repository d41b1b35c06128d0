// The engine recorder: a ScanReco.dll that sits in front of the real engine, renamed
// ScanReco.real.dll beside it, forwards every call to it unchanged, and writes each scan as a
// scenario of the engine simulator plus the page images it saw (README.md).
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "EngineFiles.h"
#include "GbkText.h"
#include "Recording.h"
#include "util/USehGuard.h"

#define ENGINE_EXPORT extern "C" __declspec(dllexport)

namespace {

const char kRealEngine[] = "ScanReco.real.dll";
const int kDefaultMinDelayMs = 250;

struct TRealEngine {
  HMODULE Module = nullptr;
  int(WINAPI* GetVersion)(int, int) = nullptr;
  int(WINAPI* Initialize)() = nullptr;
  int(WINAPI* SetScannerMode)(int) = nullptr;
  int(WINAPI* GetNewPage)(void*) = nullptr;
  int(WINAPI* Terminate)(int) = nullptr;
  std::string Problem;  // why there is none (UTF-8)
};

template <class TFunction>
bool Resolve(HMODULE Module, const char* Name, TFunction& Function, std::string& Problem)
{
  FARPROC f = GetProcAddress(Module, Name);
  if (!f && Problem.empty())
    Problem = std::string(kRealEngine) + " lacks " + Name;
  Function = reinterpret_cast<TFunction>(reinterpret_cast<void*>(f));
  return f != nullptr;
}

void Load(TRealEngine& r)
{
  const std::string file = ModuleFolder() + kRealEngine;
  r.Module = LoadLibraryExA(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!r.Module) {
    r.Problem = "cannot load " + GbkToUtf8(file) + " (error " + std::to_string(GetLastError()) + ")";
    return;
  }
  Resolve(r.Module, "FpGetVersion", r.GetVersion, r.Problem);
  Resolve(r.Module, "FpScannerInitialize", r.Initialize, r.Problem);
  Resolve(r.Module, "FpSetScannerMode", r.SetScannerMode, r.Problem);
  Resolve(r.Module, "FpGetNewPage", r.GetNewPage, r.Problem);
  Resolve(r.Module, "FpScannerTerminate", r.Terminate, r.Problem);
}

// Loaded at the first call, by full path (its own DLLs are found beside it), for good.
TRealEngine& Real()
{
  static TRealEngine real = []() noexcept {
    TRealEngine r;
    try {
      Load(r);
    } catch (...) {
      r.Problem = "out of memory";
    }
    return r;
  }();
  return real;
}

std::string Environment(const char* Name)
{
  char value[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableA(Name, value, MAX_PATH);
  return n && n < MAX_PATH ? std::string(value, n) : std::string();
}

// Where recordings go: QRX_RECORDER_FOLDER, else "recordings\" beside this DLL.
std::string RecordingFolder()
{
  std::string folder = Environment("QRX_RECORDER_FOLDER");
  if (folder.empty())
    return ModuleFolder() + "recordings\\";
  if (folder.back() != '\\')
    folder += '\\';
  return folder;
}

int MinDelayMs()
{
  const std::string value = Environment("QRX_RECORDER_MIN_DELAY");
  return value.empty() ? kDefaultMinDelayMs : std::atoi(value.c_str());
}

struct TRecorder {
  std::unique_ptr<TRecording> Scan;  // from FpScannerInitialize to FpScannerTerminate
  std::string VersionCall;           // FpGetVersion's line, for the next recording
};

TRecorder& Recorder()
{
  static TRecorder recorder;
  return recorder;
}

// Runs Call (a call of the real engine) under a guard: a structured exception raised in it is noted
// by OnFault (given the recording, if any) and raised again, unchanged, for the caller.
template <class TCall, class TOnFault>
void Forward(TCall&& Call, TOnFault&& OnFault)
{
  TSehException caught;
  if (CallGuarded(Call, caught))
    return;
  try {
    OnFault();
  } catch (...) {
  }
  RaiseAgain(caught);
}

}  // namespace

ENGINE_EXPORT int __stdcall FpGetVersion(int Constant, int ScannerType)
{
  TRealEngine& real = Real();
  int result = -1;
  if (real.GetVersion)
    Forward([&]() noexcept { result = real.GetVersion(Constant, ScannerType); }, [] {});
  try {
    Recorder().VersionCall =
        "FpGetVersion " + std::to_string(Constant) + " " + std::to_string(ScannerType) + " -> " + std::to_string(result);
  } catch (...) {
  }
  return result;
}

ENGINE_EXPORT int __stdcall FpScannerInitialize(void)
{
  TRecorder& recorder = Recorder();
  TRealEngine& real = Real();
  try {
    recorder.Scan.reset();
    recorder.Scan = std::make_unique<TRecording>(RecordingFolder(), MinDelayMs());
    if (!recorder.VersionCall.empty())
      recorder.Scan->Comment(recorder.VersionCall);
    recorder.VersionCall.clear();
  } catch (...) {
  }
  int result = -1;
  if (!real.Problem.empty()) {
    if (recorder.Scan)
      recorder.Scan->Comment("no engine to record: " + real.Problem);
  } else {
    Forward([&]() noexcept { result = real.Initialize(); },
            [&] {
              if (recorder.Scan)
                recorder.Scan->Comment("FpScannerInitialize faulted, which the simulator cannot replay");
            });
  }
  try {
    if (recorder.Scan)
      recorder.Scan->Init(result);
  } catch (...) {
  }
  return result;
}

ENGINE_EXPORT int __stdcall FpSetScannerMode(int Mode)
{
  TRealEngine& real = Real();
  int result = -1;
  if (real.SetScannerMode)
    Forward([&]() noexcept { result = real.SetScannerMode(Mode); }, [] {});
  try {
    if (Recorder().Scan)
      Recorder().Scan->Comment("FpSetScannerMode " + std::to_string(Mode) + " -> " + std::to_string(result));
  } catch (...) {
  }
  return result;
}

ENGINE_EXPORT int __stdcall FpGetNewPage(void* Record)
{
  TRealEngine& real = Real();
  TRecorder& recorder = Recorder();
  if (!real.GetNewPage)
    return -1;
  int status = -1;
  const DWORD start = GetTickCount();
  Forward([&]() noexcept { status = real.GetNewPage(Record); },
          [&] {
            if (recorder.Scan)
              recorder.Scan->Fault();
          });
  const int took = int(GetTickCount() - start);
  try {
    if (recorder.Scan) {
      if ((status == 0 || status == 5 || status == 6) && Record)
        recorder.Scan->Page(status, static_cast<const unsigned char*>(Record), took);
      else
        recorder.Scan->Status(status, took);
    }
  } catch (...) {
  }
  return status;
}

ENGINE_EXPORT int __stdcall FpScannerTerminate(int Reserved)
{
  TRealEngine& real = Real();
  TRecorder& recorder = Recorder();
  int result = -1;
  if (real.Terminate)
    Forward([&]() noexcept { result = real.Terminate(Reserved); },
            [&] {
              if (recorder.Scan)
                recorder.Scan->FaultInTerminate();
              recorder.Scan.reset();
            });
  recorder.Scan.reset();
  return result;
}
