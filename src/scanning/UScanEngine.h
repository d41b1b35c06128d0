// The scan-and-recognition engine ScanReco.dll. Loaded once and kept for the life of the process:
// an engine may leave a thread, hook or timer behind that would crash the host after FreeLibrary,
// and its attach and detach code need not run for every scan. It is looked for by full path in the
// library's own folder, then in the host program's folder (where a static import would have found
// it); never in the current folder or on the search path, where a planted DLL of that name could be
// picked up. Its five functions are resolved by name before any of them is called.
//
// One TScanEngine is one scan. Every call into the engine runs under a structured-exception guard:
// a fault inside the engine continues as EForeignException, so that the scan's clean-up runs (the
// engine is terminated once, the busy window freed) before the export raises it again for the host.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

class TScanEngine {
public:
  // Raises EdsError naming the file or the missing function; nothing of the engine has run then.
  TScanEngine();
  // Terminates the engine if it is still owed that; a second fault there is swallowed, so that it
  // never replaces the error or fault that is on its way out.
  ~TScanEngine();
  TScanEngine(const TScanEngine&) = delete;
  TScanEngine& operator=(const TScanEngine&) = delete;

  // The value the engine expects as FpGetVersion's first argument.
  static constexpr int32_t kInterfaceVersion = 1000;

  void GetVersion(int32_t ScannerType);
  // 0: the engine and the scanner are ready. After this call (whatever it answered or raised) the
  // engine is owed exactly one Terminate.
  int32_t Initialize();
  void SetScannerMode(int32_t Mode);
  // Record: kNewPageRecordSize bytes, zeroed by the caller. Blocks until the engine has a page or a
  // status.
  int32_t GetNewPage(uint8_t* Record);
  // FpScannerTerminate(0), once, if Initialize was called and Terminate was not.
  void Terminate();

  // The places the engine is looked for, in order: the library's folder, the host program's folder.
  static std::wstring LibraryFolderEngine();
  static std::wstring HostFolderEngine();

  struct TFunctions;

private:
  const TFunctions& FEngine;
  bool FTerminateOwed = false;
};
