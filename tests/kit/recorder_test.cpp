// The engine recorder's round trip: the recorder in front of the simulator running a scenario S
// writes S'; the simulator running S' gives the host the same pages (result files), images, message
// boxes, results and engine statuses as S did, and so does the recorded run itself. For the sample
// stacks of tools/engine-sim/samples and a generated stack of 1,000 pages.
//
// The library keeps its engine for the life of the process, so every run is a child process (this
// program, running the disabled test RecorderChild.Scan) with the library in a folder of its own,
// beside the engine of that run; the child writes what the host saw into a report file.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
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
const char kChildScenario[] = "QRX_CHILD_SCENARIO";
const char kChildReport[] = "QRX_CHILD_REPORT";

std::string Env(const char* Name)
{
  char value[MAX_PATH * 2] = {};
  const DWORD n = GetEnvironmentVariableA(Name, value, sizeof value);
  return n && n < sizeof value ? std::string(value, n) : std::string();
}

std::string Hex(const std::string& Bytes)
{
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char b : Bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

// FNV-1a: enough to tell two images apart in a report.
std::string Digest(const std::string& Bytes)
{
  uint64_t h = 1469598103934665603ull;
  for (unsigned char b : Bytes)
    h = (h ^ b) * 1099511628211ull;
  char text[40];
  std::snprintf(text, sizeof text, "%zu:%016llx", Bytes.size(), static_cast<unsigned long long>(h));
  return text;
}

std::string ImageName(int Page)
{
  char name[32];
  std::snprintf(name, sizeof name, "T%04d.tif", Page);
  return name;
}

// One scan of the scenario QRX_CHILD_SCENARIO by the library QRX_CHILD_LIBRARY; everything the host
// saw goes to QRX_CHILD_REPORT, a line each.
TEST(RecorderChild, DISABLED_Scan)
{
  const std::string library = Env(kChildLibrary), scenario = Env(kChildScenario);
  ASSERT_FALSE(library.empty());
  std::ostringstream report;
  TBoxRecorder boxes;
  boxes.OnBox = [&](const TBoxRecord& b) { report << "box " << Hex(Gbk(b.Caption)) << " " << Hex(Gbk(b.Text)) << "\n"; };
  TTestScan scan;
  SetEnvironmentVariableA("QRX_ENGINE_SCENARIO", scenario.c_str());
  TTestDatabase db({{"201", 150, "富士通", "fi-6130", "G", 1, scan.AddDriverFile("Quillon\\recorder.ds")}});
  TTestHost host(library.c_str());
  TScanDLLParams p = host.Record(scan.Params(db.HostConnection()));
  int pages = 0;
  host.OnPage = [&] {
    ++pages;
    bool image = false;
    const std::string bytes = TTestScan::FileBytes(scan.ImageFolder + ImageName(pages), &image);
    report << "page " << pages << " " << Hex(TTestScan::FileBytes(scan.ResultFile)) << " image "
           << (image ? Digest(bytes) : "none") << "\n";
  };
  int result = -99;
  const THostException e = CallCatchingLibraryError([&] { result = host.ScanInvoice(p); });
  report << "result " << result << "\nerror " << Hex(e.Message) << "\n";
  for (const std::string& call : scan.EngineCalls("FpGetNewPage"))
    report << "engine " << call.substr(0, call.find(" page ")) << "\n";
  for (const std::string& line : scan.EngineCalls("protocol:"))
    report << line << "\n";
  std::ofstream(Env(kChildReport), std::ios::binary) << report.str();
}

std::string ProgramFile()
{
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

std::string ReadFile(const std::string& Name) { return TTestScan::FileBytes(Name); }

// Scenarios are UTF-8; this file's literals are GBK.
std::string Utf8(const std::string& Gbk)
{
  const std::wstring wide = Wide(Gbk);
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], n, nullptr, nullptr);
  return utf8;
}

// Runs the child with the library in LibraryFolder on Scenario; its report.
std::string RunChild(const std::string& LibraryFolder, const std::string& Scenario, const std::string& Report)
{
  SetEnvironmentVariableA(kChildLibrary, (LibraryFolder + "Quillon.RX.dll").c_str());
  SetEnvironmentVariableA(kChildScenario, Scenario.c_str());
  SetEnvironmentVariableA(kChildReport, Report.c_str());
  std::string command = "\"" + ProgramFile() + "\" --gtest_also_run_disabled_tests --gtest_filter=RecorderChild.*";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  DWORD exitCode = 1;
  if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  for (const char* name : {kChildLibrary, kChildScenario, kChildReport})
    SetEnvironmentVariableA(name, nullptr);
  EXPECT_EQ(exitCode, 0u) << "the child's own checks, with " << LibraryFolder << " on " << Scenario;
  return ReadFile(Report);
}

// Where two reports first differ.
std::string FirstDifference(const std::string& A, const std::string& B)
{
  std::istringstream a(A), b(B);
  std::string la, lb;
  for (int line = 1;; ++line) {
    const bool ga = static_cast<bool>(std::getline(a, la)), gb = static_cast<bool>(std::getline(b, lb));
    if (!ga && !gb)
      return "none";
    if (!ga || !gb || la != lb)
      return "line " + std::to_string(line) + ":\n  " + (ga ? la : "(end)") + "\n  " + (gb ? lb : "(end)");
  }
}

std::vector<std::string> FilesIn(const std::string& Folder, const std::string& Pattern)
{
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((Folder + Pattern).c_str(), &found);
  if (h == INVALID_HANDLE_VALUE)
    return names;
  do
    names.push_back(found.cFileName);
  while (FindNextFileA(h, &found));
  FindClose(h);
  return names;
}

// 1,000 pages: the three page statuses, texts with the page number, values only hex can carry
// (control bytes, a field of its full width without a terminator, a cut double-byte character, a
// literal "{n}", blanks at the ends), empty fields, pages without an image, and the end of the stack.
std::string ThousandPages(const std::string& ImagePath)
{
  std::string s = "# generated: 1,000 pages\n";
  for (int i = 1; i <= 1000; ++i) {
    s += "page " + std::to_string(i % 7 == 0 ? 5 : i % 11 == 0 ? 6 : 0) + "\n";
    s += "image-path " + ImagePath + "\n";
    s += "info1 31000" + std::to_string(i % 9) + "{n}\n";
    s += "info2 " + std::string(i % 13 == 0 ? "hex:3132333435363738393031323334353637383930" : "0532{n}") + "\n";
    if (i % 3)
      s += "info4 北京市海淀区中关村大街" + std::to_string(i) + "号\n";
    if (i % 17 == 0)
      s += "info6 hex:41420D0A43 # a line break inside\n";
    if (i % 19 == 0)
      s += "info7 hex:B1B1BEA9FF80\n";
    if (i % 23 == 0)
      s += "info8   padded  \ninfo5 hex:2020414220\n";
    if (i % 29 == 0)
      s += "info3 hex:3230323631323131B1 # a double-byte character cut after its first byte\n";
    if (i % 31 == 0)
      s += "info8 hex:7B6E7D # \"{n}\" as it is\n";
    if (i % 50 == 0)
      s += "image none\n";
  }
  return s + "status 2\n";
}

struct TRoundTrip {
  const char* Name;
  const char* Sample;  // a file of samples/, or "" for the generated 1,000 pages
  size_t Pages;        // what the host receives from it
  const char* Result;  // ScanInvoice's result
};

void PrintTo(const TRoundTrip& Case, std::ostream* Out) { *Out << Case.Name; }

class RecorderRoundTrip : public ::testing::TestWithParam<TRoundTrip> {};

TEST_P(RecorderRoundTrip, ReplayGivesTheHostWhatTheEngineGave)
{
  const TRoundTrip& c = GetParam();
  TTestScan place;  // only its folder, removed afterwards
  const std::string sim = place.Root + "sim\\", rec = place.Root + "rec\\", recordings = place.Root + "recordings\\";
  for (const std::string& f : {sim, rec})
    ASSERT_TRUE(CreateDirectoryA(f.c_str(), nullptr));
  for (const std::string& f : {sim, rec})
    ASSERT_TRUE(CopyFileA("Quillon.RX.dll", (f + "Quillon.RX.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA("ScanReco.dll", (sim + "ScanReco.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA("engine-recorder\\ScanReco.dll", (rec + "ScanReco.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA("ScanReco.dll", (rec + "ScanReco.real.dll").c_str(), FALSE));

  std::string scenario = place.Root + "S.scenario";
  if (*c.Sample) {
    scenario = std::string("engine-sim-samples\\") + c.Sample;
  } else {
    TTestScan::WriteFileBytes(scenario, Utf8(ThousandPages(place.Root + "engine\\page.tif")));
  }

  // The stack as the simulator gives it, without the recorder.
  const std::string direct = RunChild(sim, scenario, place.Root + "direct.txt");
  size_t pages = 0;
  std::istringstream lines(direct);
  for (std::string line; std::getline(lines, line);)
    pages += line.compare(0, 5, "page ") == 0;
  ASSERT_EQ(pages, c.Pages) << direct.substr(0, 2000);
  ASSERT_NE(direct.find(std::string("\nresult ") + c.Result + "\n"), std::string::npos) << direct.substr(direct.find("\nresult "));
  SetEnvironmentVariableA("QRX_RECORDER_FOLDER", recordings.c_str());
  const std::string recorded = RunChild(rec, scenario, place.Root + "recorded.txt");
  SetEnvironmentVariableA("QRX_RECORDER_FOLDER", nullptr);
  const std::vector<std::string> scenarios = FilesIn(recordings, "*.scenario");
  ASSERT_EQ(scenarios.size(), 1u) << "one scan, one recording";
  const std::string replayed = RunChild(sim, recordings + scenarios[0], place.Root + "replayed.txt");

  EXPECT_EQ(recorded, direct) << "the recorder changed what the host saw; first difference: "
                              << FirstDifference(direct, recorded);
  EXPECT_EQ(replayed, direct) << "the replay differs from the original; first difference: "
                              << FirstDifference(direct, replayed);
  EXPECT_EQ(direct.find("protocol:"), std::string::npos) << direct;
  std::printf("%s: %zu pages, the same in all three runs; recording %s (%zu bytes)\n", c.Name, pages,
              scenarios[0].c_str(), ReadFile(recordings + scenarios[0]).size());
}

const TRoundTrip kRoundTrips[] = {
    {"CleanStack", "clean-stack.scenario", 5, "0"},
    {"JamMidStack", "jam-mid-stack.scenario", 2, "2"},
    {"ThousandPages", "", 1000, "0"},
};

INSTANTIATE_TEST_SUITE_P(Stacks, RecorderRoundTrip, ::testing::ValuesIn(kRoundTrips),
                         [](const ::testing::TestParamInfo<TRoundTrip>& i) { return std::string(i.param.Name); });

}  // namespace
