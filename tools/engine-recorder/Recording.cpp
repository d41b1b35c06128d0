#include "Recording.h"

#include <cstdio>

#include "GbkText.h"
#include "ScenarioText.h"

namespace {
// The page record's fields (tools/engine-sim/README.md), Info1 first.
struct TField {
  size_t Offset, Width;
};
const TField kImagePath = {0, 258};
const TField kInfo[8] = {{348, 20}, {258, 20}, {278, 20}, {558, 180}, {378, 30}, {408, 30}, {478, 40}, {518, 40}};

std::string Stamp()
{
  SYSTEMTIME t;
  GetLocalTime(&t);
  char text[32];
  std::snprintf(text, sizeof text, "%04u%02u%02u-%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond);
  return text;
}
}  // namespace

TRecording::TRecording(const std::string& Folder, int MinDelayMs) : FMinDelayMs(MinDelayMs)
{
  CreateFolders(Folder);
  const std::string stamp = Stamp();
  for (int n = 1; !FOut && n < 1000; ++n) {
    const std::string name = "scan-" + stamp + "-" + std::to_string(n);
    FFile = Folder + name + ".scenario";
    FOut = OpenFile(FFile, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW);
    FImageFolder = Folder + name + "\\";
    FImagePrefix = name + "\\";
  }
  Line("# A scan recorded by the engine recorder in front of ScanReco.real.dll, " + stamp + ".");
  Line("# Replay it with the engine simulator (tools/engine-sim/README.md); the page images are in " +
       GbkToUtf8(FImagePrefix));
}

void TRecording::Line(const std::string& Utf8)
{
  if (!FOut)
    return;
  const std::string line = Utf8 + "\r\n";
  DWORD written = 0;
  WriteFile(FOut.get(), line.data(), DWORD(line.size()), &written, nullptr);
}

void TRecording::Comment(const std::string& Utf8) { Line("# " + Utf8); }

void TRecording::Init(int Result) { Line("init " + std::to_string(Result)); }

void TRecording::Page(int Status, const unsigned char* Record, int DelayMs)
{
  ++FPages;
  Line("page " + std::to_string(Status));
  if (DelayMs >= FMinDelayMs)
    Line("delay " + std::to_string(DelayMs));
  const std::string imagePath = RecordField(Record, kImagePath.Offset, kImagePath.Width);
  const std::string path = ScenarioValue(imagePath);
  Line(path.empty() ? "image-path" : "image-path " + path);
  for (int i = 0; i < 8; ++i) {
    const std::string value = ScenarioValue(RecordField(Record, kInfo[i].Offset, kInfo[i].Width));
    if (!value.empty())
      Line("info" + std::to_string(i + 1) + " " + value);
  }
  // The image the library copies for this page: whatever "temp1.tif" holds now.
  std::string image;
  if (!ReadWholeFile(GbkFolderOf(imagePath) + "temp1.tif", image)) {
    Line("image none");
    return;
  }
  if (FLastImageName.empty() || image != FLastImage) {
    char name[32];
    std::snprintf(name, sizeof name, "page-%04d.tif", FPages);
    CreateFolders(FImageFolder);
    if (!WriteWholeFile(FImageFolder + name, image.data(), image.size())) {
      Comment("cannot write the page image " + GbkToUtf8(FImageFolder + name) + " (error " +
              std::to_string(GetLastError()) + ")");
      Line("image none");
      return;
    }
    FLastImage = image;
    FLastImageName = FImagePrefix + name;
  }
  Line("image file " + GbkToUtf8(FLastImageName));
}

void TRecording::Status(int Status, int DelayMs)
{
  Line("status " + std::to_string(Status) + (DelayMs >= FMinDelayMs ? " delay " + std::to_string(DelayMs) : ""));
}

void TRecording::Fault()
{
  FFaulted = true;
  Line("fault");
}

void TRecording::FaultInTerminate()
{
  if (FFaulted)
    Line("fault terminate  # the request after the fault is never made: this says FpScannerTerminate faulted too");
  else
    Comment("FpScannerTerminate faulted without an earlier fault, which the simulator cannot replay");
}
