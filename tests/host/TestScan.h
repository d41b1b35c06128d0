// The surroundings of a scan for tests, the demo and benchmarks: the host's configuration and image
// folders and result file, the scanner's driver files in the Windows TWAIN folder, and the engine
// simulator's scenario and call log (tools/engine-sim). Everything is made in a fresh folder and
// removed with the object.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "TestHost.h"

class TTestScan {
public:
  // Root: a new folder under Parent (default: the temp folder). Points the engine simulator at this
  // scan's scenario and log.
  explicit TTestScan(const std::string& Parent = "");
  ~TTestScan();
  TTestScan(const TTestScan&) = delete;
  TTestScan& operator=(const TTestScan&) = delete;

  // GBK paths; folders end in a backslash.
  std::string Root, ConfigFolder, ImageFolder, ResultFile, EngineFolder;

  // The host's record texts for this scan (OptionsXML left empty).
  THostParams Params(void* Connection) const;

  // The Windows TWAIN folder, as the library finds it.
  static std::string TwainFolder();
  // Creates a driver file RelativeName (may hold subfolders) in the TWAIN folder; it is removed with
  // the object. Returns RelativeName, as FConfigFile lists it.
  std::string AddDriverFile(const std::string& RelativeName);

  // The scenario, in GBK here (written as the UTF-8 the simulator reads).
  void Scenario(const std::string& GbkText);
  // The engine's call log, a line each (GBK), and emptying it.
  std::vector<std::string> EngineLog() const;
  void ClearEngineLog();
  // Log lines that start with Prefix (such as "FpScannerTerminate" or "protocol:").
  std::vector<std::string> EngineCalls(const std::string& Prefix) const;

  // Creates Name (or empties it) with Bytes; throws std::runtime_error when it cannot be written.
  static void WriteFileBytes(const std::string& Name, const std::string& Bytes);
  // The bytes of a file, or "" (and Exists false) when it cannot be read.
  static std::string FileBytes(const std::string& Name, bool* Exists = nullptr);
  static bool FileExists(const std::string& Name);

  // "simple.cfg" of this scan's configuration folder.
  std::string ConfigFile() const { return ConfigFolder + "simple.cfg"; }

private:
  std::vector<std::string> FDriverFiles;
};

// The current user's TWAIN default source in the registry ("默认资源" and "Default Source"), and
// removing both values.
std::string RegistryTwainSource(const char* Value);
void ClearRegistryTwainSource();
