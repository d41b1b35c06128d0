// Our stand-in for the scan-and-recognition engine ScanReco.dll: the five stdcall functions the
// library resolves by name, answering from a scenario file and logging every call (README.md).
// Built a second time with QRX_ENGINE_WITHOUT_GETNEWPAGE, lacking that export.
#include <windows.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>

#include "CallLog.h"
#include "EngineFiles.h"
#include "GbkText.h"
#include "PagePainter.h"
#include "Scenario.h"
#include "TiffWriter.h"

#define ENGINE_EXPORT extern "C" __declspec(dllexport)
#ifdef QRX_ENGINE_WITHOUT_GETNEWPAGE
#define ENGINE_EXPORT_GETNEWPAGE extern "C"
#else
#define ENGINE_EXPORT_GETNEWPAGE ENGINE_EXPORT
#endif

namespace {

// The page record: 738 bytes of fixed-width fields.
const size_t kRecordSize = 738;
struct TField {
  size_t Offset, Width;
};
const TField kImagePathField = {0, 258};
const TField kInfoField[kInfoFields] = {
  {348, 20}, {258, 20}, {278, 20}, {558, 180}, {378, 30}, {408, 30}, {478, 40}, {518, 40},
};

const int kEndOfScanning = 2;
const int kNotConnected = 1;
const int kReadingFailed = -1;

enum class TState { Idle, Scanning, InitFailed };

struct TEngine {
  TState State = TState::Idle;
  bool Faulted = false;  // a request of this scan faulted
  TScenario Scenario;
  size_t Next = 0;         // the request answered next
  int Delivered = 0;       // deliveries of Scenario.Requests[Next] so far
  int PageNumber = 0;      // pages delivered in this scan
  std::unique_ptr<TPagePainter> Painter;
  // The bytes last written to each image file, to leave an unchanged one alone.
  std::map<std::string, std::vector<uint8_t>> Written;
  TCallLog Log;
};

TEngine& Engine()
{
  static TEngine engine;
  return engine;
}

void Protocol(const std::string& What) { Engine().Log.Write("protocol: " + What); }

// Writes Value into its field, cut at the width; shorter values end with a zero byte.
void PutField(unsigned char* Record, const TField& Field, const std::string& Value)
{
  const size_t n = Value.size() < Field.Width ? Value.size() : Field.Width;
  std::memcpy(Record + Field.Offset, Value.data(), n);
  if (n < Field.Width)
    Record[Field.Offset + n] = 0;
}

std::string DefaultImagePath()
{
  char temp[MAX_PATH] = {};
  DWORD n = GetTempPathA(MAX_PATH, temp);
  return std::string(temp, n < MAX_PATH ? n : 0) + "qrx-engine\\page.tif";
}

std::string ScenarioPath()
{
  char value[MAX_PATH] = {};
  DWORD n = GetEnvironmentVariableA("QRX_ENGINE_SCENARIO", value, MAX_PATH);
  if (n == 0 || n >= MAX_PATH)
    return ModuleFolder() + "ScanReco.scenario";
  return std::string(value, n);
}

// Writes Bytes as File unless the file already holds what was last written there.
void WriteImage(const std::string& File, const std::vector<uint8_t>& Bytes)
{
  TEngine& e = Engine();
  auto last = e.Written.find(File);
  if (last != e.Written.end() && last->second == Bytes && FileSizeOf(File) == int64_t(Bytes.size()))
    return;
  if (!CreateFolders(GbkFolderOf(File)) || !WriteWholeFile(File, Bytes.data(), Bytes.size())) {
    e.Log.Write("error: cannot write " + GbkToUtf8(File) + " (error " + std::to_string(GetLastError()) + ")");
    e.Written.erase(File);
    return;
  }
  if (e.Written.size() >= 16 && last == e.Written.end())
    e.Written.clear();
  e.Written[File] = Bytes;
}

void DeliverPage(const TRequest& Page, unsigned char* Record)
{
  TEngine& e = Engine();
  const int n = e.PageNumber;
  const std::string imagePath = Page.ImagePath.Expand(n);
  PutField(Record, kImagePathField, imagePath);
  std::array<std::string, kInfoFields> fields;
  for (int i = 0; i < kInfoFields; ++i) {
    fields[size_t(i)] = Page.Info[i].Expand(n).substr(0, kInfoField[i].Width);
    PutField(Record, kInfoField[i], fields[size_t(i)]);
  }
  // The image goes beside the path the record reports, as "temp1.tif".
  const std::string file = GbkFolderOf(imagePath.substr(0, kImagePathField.Width)) + "temp1.tif";
  if (Page.Image == TImageKind::File) {
    WriteImage(file, Page.ImageBytes);
  } else if (Page.Image == TImageKind::Draw) {
    if (!e.Painter)
      e.Painter = std::make_unique<TPagePainter>();
    WriteImage(file, EncodeBilevelTiff(e.Painter->Paint(fields, n), TPagePainter::kDpi));
  }
}

// Answers the next request; Tail gets " page <n>" when a page is delivered.
int GetNewPage(void* Record, std::string& Tail)
{
  TEngine& e = Engine();
  if (e.State != TState::Scanning) {
    Protocol("FpGetNewPage outside FpScannerInitialize..FpScannerTerminate");
    return kNotConnected;
  }
  if (!Record) {
    Protocol("FpGetNewPage with a null record");
    return kReadingFailed;
  }
  unsigned char* record = static_cast<unsigned char*>(Record);
  for (size_t i = 0; i < kRecordSize; ++i)
    if (record[i] != 0) {
      Protocol("FpGetNewPage record not all zero on entry (byte " + std::to_string(i) + " is " +
               std::to_string(record[i]) + ")");
      break;
    }
  if (e.Next >= e.Scenario.Requests.size())
    return kEndOfScanning;
  const TRequest& r = e.Scenario.Requests[e.Next];
  if (++e.Delivered >= r.Repeat) {
    ++e.Next;
    e.Delivered = 0;
  }
  if (r.DelayMs > 0)
    Sleep(DWORD(r.DelayMs));  // a real engine blocks its caller while the paper moves
  if (r.Page) {
    ++e.PageNumber;
    Tail = " page " + std::to_string(e.PageNumber);
    DeliverPage(r, record);
  }
  return r.Status;
}

// What a crashing engine does: write where nothing is mapped (0x10 in FpGetNewPage, 0x20 in
// FpScannerTerminate, so that a test tells the two apart). The line is logged first, so that a test
// sees which call faulted; the log is closed when the scan ends with it.
[[noreturn]] void AccessViolation(const std::string& Call, uintptr_t Address, bool EndsScan)
{
  Engine().Log.Write(Call + " -> fault");
  if (EndsScan)
    Engine().Log.Close();
  volatile uintptr_t nowhere = Address;  // unknown to the compiler, which would warn of a constant one
  *reinterpret_cast<volatile int*>(nowhere) = 1;
  __builtin_unreachable();
}

// The edge of every export: runs Body, logs the call's line (Body may add to it) and returns the
// result. An exception stops here and the caller gets Failure.
template <typename F>
int Answer(const char* Name, std::initializer_list<int> Arguments, int Failure, F Body) noexcept
{
  try {
    std::string call = Name;
    for (int a : Arguments)
      call += " " + std::to_string(a);
    try {
      std::string tail;
      const int result = Body(tail);
      Engine().Log.Write(call + " -> " + std::to_string(result) + tail);
      return result;
    } catch (const std::exception& x) {
      Engine().Log.Write("error: " + call + ": " + x.what());
      Engine().Log.Write(call + " -> " + std::to_string(Failure));
    }
  } catch (...) {
  }
  return Failure;
}

}  // namespace

// Whether the scenario has Function fault whenever it is called. FpGetVersion and
// FpScannerInitialize come before the scenario of the scan is read: they look at the file themselves.
// Every fault is raised outside Answer, so that no C++ handler of ours sees it.
bool Faults(const char* Function)
{
  TEngine& e = Engine();
  if (std::strcmp(Function, "FpGetVersion") != 0 && std::strcmp(Function, "FpScannerInitialize") != 0)
    return e.Scenario.FaultingCall == Function;
  try {
    return LoadScenario(ScenarioPath(), DefaultImagePath()).FaultingCall == Function;
  } catch (const std::exception&) {
    return false;  // FpScannerInitialize reports what is wrong with the file
  }
}

ENGINE_EXPORT int __stdcall FpGetVersion(int Constant, int ScannerType)
{
  if (Faults("FpGetVersion"))
    AccessViolation("FpGetVersion " + std::to_string(Constant) + " " + std::to_string(ScannerType), 0x10, false);
  return Answer("FpGetVersion", {Constant, ScannerType}, -1,
                [](std::string&) { return 1; });
}

ENGINE_EXPORT int __stdcall FpScannerInitialize(void)
{
  TEngine& e = Engine();
  if (Faults("FpScannerInitialize")) {
    e.State = TState::InitFailed;  // as after a failed initialisation: FpScannerTerminate may follow
    AccessViolation("FpScannerInitialize", 0x10, false);
  }
  return Answer("FpScannerInitialize", {}, -1, [&](std::string&) {
    if (e.State == TState::Scanning)
      Protocol("FpScannerInitialize again before FpScannerTerminate");
    e.Log.Open();
    e.State = TState::InitFailed;
    e.Scenario = TScenario();
    e.Next = 0;
    e.Delivered = 0;
    e.PageNumber = 0;
    e.Painter.reset();
    int result = -1;
    try {
      e.Scenario = LoadScenario(ScenarioPath(), DefaultImagePath());
      result = e.Scenario.InitResult;
    } catch (const std::exception& x) {
      e.Log.Write(x.what());
    }
    if (result == 0)
      e.State = TState::Scanning;
    else
      e.Log.Close();  // no scan, so no FpScannerTerminate to close it
    return result;
  });
}

ENGINE_EXPORT int __stdcall FpSetScannerMode(int Mode)
{
  if (Engine().State == TState::Scanning && Faults("FpSetScannerMode"))
    AccessViolation("FpSetScannerMode " + std::to_string(Mode), 0x10, false);
  return Answer("FpSetScannerMode", {Mode}, -1, [](std::string&) {
    if (Engine().State != TState::Scanning) {
      Protocol("FpSetScannerMode outside FpScannerInitialize..FpScannerTerminate");
      return -1;
    }
    return 0;
  });
}

ENGINE_EXPORT_GETNEWPAGE int __stdcall FpGetNewPage(void* Record)
{
  TEngine& e = Engine();
  if (e.State == TState::Scanning && e.Next < e.Scenario.Requests.size() && e.Scenario.Requests[e.Next].Fault) {
    ++e.Next;
    e.Faulted = true;
    AccessViolation("FpGetNewPage", 0x10, false);  // outside Answer: no C++ handler of ours sees it
  }
  return Answer("FpGetNewPage", {}, kReadingFailed, [Record](std::string& Tail) { return GetNewPage(Record, Tail); });
}

ENGINE_EXPORT int __stdcall FpScannerTerminate(int Reserved)
{
  TEngine& e = Engine();
  if ((e.Faulted && e.Scenario.FaultInTerminate) || (e.State != TState::Idle && Faults("FpScannerTerminate"))) {
    e.Faulted = false;
    e.State = TState::Idle;
    e.Scenario = TScenario();
    AccessViolation("FpScannerTerminate " + std::to_string(Reserved), 0x20, true);
  }
  e.Faulted = false;
  int result = Answer("FpScannerTerminate", {Reserved}, -1, [&](std::string&) {
    if (e.State == TState::Idle)
      Protocol("FpScannerTerminate outside a scan (twice, or without FpScannerInitialize)");
    e.State = TState::Idle;
    e.Scenario = TScenario();
    e.Painter.reset();
    return 0;
  });
  Engine().Log.Close();
  return result;
}
