// The scan-and-recognition engine ScanReco.dll, loaded for one scan from the library's own folder
// (never through the search path, where a planted DLL of that name could be picked up) and released
// with the object, which terminates the engine first if it is still owed that. Its five functions
// are resolved by name before any of them is called.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

class TScanEngine {
public:
  // Raises EdsError naming the file or the missing function; nothing of the engine has run then.
  TScanEngine();
  ~TScanEngine();
  TScanEngine(const TScanEngine&) = delete;
  TScanEngine& operator=(const TScanEngine&) = delete;

  // The value the engine expects as FpGetVersion's first argument.
  static constexpr int32_t kInterfaceVersion = 1000;

  void GetVersion(int32_t ScannerType);
  // 0: the engine and the scanner are ready. After this call (whatever it answered) the engine is
  // owed exactly one Terminate.
  int32_t Initialize();
  void SetScannerMode(int32_t Mode);
  // Record: kNewPageRecordSize bytes, zeroed by the caller. Blocks until the engine has a page or a
  // status.
  int32_t GetNewPage(uint8_t* Record);
  // FpScannerTerminate(0), once, if Initialize was called and Terminate was not.
  void Terminate();

  // Full path of ScanReco.dll beside the library's module.
  static std::wstring EngineFileName();

private:
  using TGetVersion = int32_t(WINAPI*)(int32_t, int32_t);
  using TInitialize = int32_t(WINAPI*)();
  using TIntCall = int32_t(WINAPI*)(int32_t);
  using TGetNewPage = int32_t(WINAPI*)(void*);

  HMODULE FModule = nullptr;
  TGetVersion FGetVersion = nullptr;
  TInitialize FInitialize = nullptr;
  TIntCall FSetScannerMode = nullptr;
  TGetNewPage FGetNewPage = nullptr;
  TIntCall FTerminate = nullptr;
  bool FTerminateOwed = false;
};
