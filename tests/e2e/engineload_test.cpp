// Where the library finds ScanReco.dll, and how long it keeps it: by full path in its own folder,
// else in the host program's folder, never in the current folder; loaded once and kept for the life
// of the process.
//
// The host program's folder is the folder of this test program, so each lookup case runs in a copy
// of this program in a folder of its own (a child process running the disabled test
// EngineLookupChild.Scan), which reports what it saw in a file.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "BoxRecorder.h"
#include "TestDatabase.h"
#include "TestHost.h"
#include "TestScan.h"

namespace {

const char kChildLibrary[] = "QRX_CHILD_LIBRARY";
const char kChildReport[] = "QRX_CHILD_REPORT";

std::string Env(const char* Name)
{
  char value[MAX_PATH * 2] = {};
  const DWORD n = GetEnvironmentVariableA(Name, value, sizeof value);
  return n && n < sizeof value ? std::string(value, n) : std::string();
}

std::string ProgramFile()
{
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

// The file of the module named ScanReco.dll in this process, or "".
std::string LoadedEngine()
{
  HMODULE engine = GetModuleHandleA("ScanReco.dll");
  char path[MAX_PATH] = {};
  return engine && GetModuleFileNameA(engine, path, MAX_PATH) ? path : "";
}

// One scan of the library named by QRX_CHILD_LIBRARY; what happened goes to QRX_CHILD_REPORT as
// "result", "engine" and "error" lines.
TEST(EngineLookupChild, DISABLED_Scan)
{
  const std::string library = Env(kChildLibrary);
  ASSERT_FALSE(library.empty());
  TBoxRecorder boxes;
  TTestScan scan;
  TTestDatabase db({{"201", 1, "甲", "A", "G", 1, scan.AddDriverFile("Quillon\\lookup.ds")}});
  TTestHost host(library.c_str());
  TScanDLLParams p = host.Record(scan.Params(db.HostConnection()));
  scan.Scenario("status 2\n");
  int result = -99;
  const THostException e = CallCatchingLibraryError([&] { result = host.ScanInvoice(p); });
  std::ofstream report(Env(kChildReport), std::ios::binary);
  report << "result " << result << "\nengine " << LoadedEngine() << "\nerror " << e.Message << "\n";
}

struct TLookupCase {
  const char* Name;
  const char* InLibraryFolder;  // which engine lies there: "sim" (ours), "partial" (no FpGetNewPage), ""
  const char* InHostFolder;
  const char* InCurrentFolder;
  const char* Loaded;      // the folder whose engine scanned: "lib", "app" or "" (none)
  const char* ErrorWords;  // what the error must say ("" for none)
};

class EngineLookup : public ::testing::TestWithParam<TLookupCase> {};

TEST_P(EngineLookup, LibraryFolderThenHostFolderNeverTheCurrentOne)
{
  const TLookupCase& c = GetParam();
  TTestScan place;  // only its folder, removed afterwards
  const std::string lib = place.Root + "lib\\", app = place.Root + "app\\", cwd = place.Root + "cwd\\";
  for (const std::string& f : {lib, app, cwd})
    ASSERT_TRUE(CreateDirectoryA(f.c_str(), nullptr));
  ASSERT_TRUE(CopyFileA("Quillon.RX.dll", (lib + "Quillon.RX.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(ProgramFile().c_str(), (app + "host.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA("borlndmm.dll", (app + "borlndmm.dll").c_str(), FALSE));
  const std::pair<std::string, std::string> engines[] = {
      {lib, c.InLibraryFolder}, {app, c.InHostFolder}, {cwd, c.InCurrentFolder}};
  for (const auto& [folder, which] : engines) {
    if (which == std::string("sim")) {
      ASSERT_TRUE(CopyFileA("ScanReco.dll", (folder + "ScanReco.dll").c_str(), FALSE));
    } else if (which == std::string("partial")) {
      ASSERT_TRUE(CopyFileA("engine-partial\\ScanReco.dll", (folder + "ScanReco.dll").c_str(), FALSE));
    }
  }

  const std::string reportFile = place.Root + "report.txt";
  SetEnvironmentVariableA(kChildLibrary, (lib + "Quillon.RX.dll").c_str());
  SetEnvironmentVariableA(kChildReport, reportFile.c_str());
  std::string command = "\"" + app + "host.exe\" --gtest_also_run_disabled_tests --gtest_filter=EngineLookupChild.*";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(), &si, &pi));
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD exitCode = 1;
  GetExitCodeProcess(pi.hProcess, &exitCode);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  SetEnvironmentVariableA(kChildLibrary, nullptr);
  SetEnvironmentVariableA(kChildReport, nullptr);
  EXPECT_EQ(exitCode, 0u) << "the child's own checks";

  std::ifstream in(reportFile, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string result, engine, error;
  for (std::string line; std::getline(text, line);) {
    if (line.rfind("result ", 0) == 0)
      result = line.substr(7);
    else if (line.rfind("engine ", 0) == 0)
      engine = line.substr(7);
    else if (line.rfind("error ", 0) == 0)
      error = line.substr(6);
  }
  ASSERT_FALSE(result.empty()) << "the child reported nothing";
  const std::string loaded = c.Loaded == std::string("lib") ? lib : c.Loaded == std::string("app") ? app : "";
  EXPECT_EQ(engine, loaded.empty() ? "" : loaded + "ScanReco.dll");
  if (*c.ErrorWords == 0) {
    EXPECT_EQ(error, "");
    EXPECT_EQ(result, "0");
  } else {
    EXPECT_EQ(result, "-99");
    EXPECT_NE(error.find(c.ErrorWords), std::string::npos) << error;
  }
  if (std::string(c.ErrorWords) == "找不到") {
    EXPECT_NE(error.find(lib + "ScanReco.dll"), std::string::npos) << "names where it looked: " << error;
    EXPECT_NE(error.find(app + "ScanReco.dll"), std::string::npos) << error;
  }
}

const TLookupCase kLookups[] = {
    {"BesideTheLibrary", "sim", "sim", "partial", "lib", ""},
    {"InTheHostProgramsFolder", "", "sim", "partial", "app", ""},
    {"NeverFromTheCurrentFolder", "", "", "sim", "", "找不到"},
    // The library's folder comes first even when the engine there is unusable.
    {"ALibraryFolderEngineWithoutAFunction", "partial", "sim", "", "", "FpGetNewPage"},
};

INSTANTIATE_TEST_SUITE_P(Cases, EngineLookup, ::testing::ValuesIn(kLookups),
                         [](const ::testing::TestParamInfo<TLookupCase>& i) { return std::string(i.param.Name); });

// The engine stays loaded after each scan and after the library itself is unloaded: an engine that
// left a thread or hook behind must never see its code taken away.
TEST(EngineLifetime, LoadedOnceForTheLifeOfTheProcess)
{
  TBoxRecorder boxes;
  TTestScan scan;
  TTestDatabase db({{"201", 1, "甲", "A", "G", 1, scan.AddDriverFile("Quillon\\lifetime.ds")}});
  HMODULE first = nullptr;
  {
    TTestHost host;
    TScanDLLParams p = host.Record(scan.Params(db.HostConnection()));
    scan.Scenario("status 2\n");
    for (int i = 0; i < 2; ++i) {
      ASSERT_EQ(host.ScanInvoice(p), 0);
      HMODULE engine = GetModuleHandleA("ScanReco.dll");
      ASSERT_NE(engine, nullptr) << "still loaded after scan " << i + 1;
      if (i == 0)
        first = engine;
      EXPECT_EQ(engine, first) << "the same module for every scan";
    }
    host.Unload();
  }
  EXPECT_EQ(GetModuleHandleA("Quillon.RX.dll"), nullptr);
  EXPECT_EQ(GetModuleHandleA("ScanReco.dll"), first) << "kept after the library was unloaded";
  FreeLibrary(first);
  EXPECT_EQ(GetModuleHandleA("ScanReco.dll"), first) << "pinned: not even FreeLibrary takes it out";
  EXPECT_EQ(scan.EngineCalls("FpScannerTerminate").size(), 2u);
}

}  // namespace
