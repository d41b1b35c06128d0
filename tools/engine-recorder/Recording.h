// One scan as the recorder saw it (FpScannerInitialize to FpScannerTerminate), written as it goes:
// a scenario file in the simulator's format, and beside it a folder of the page images the engine
// wrote. A crash of the host leaves what was recorded so far.
#pragma once
#include <string>

#include "EngineFiles.h"

class TRecording {
public:
  // A new scenario in Folder (GBK, ending in "\"; created when missing): "scan-<date>-<time>-<n>"
  // with ".scenario" and its image folder of that name. Calls that took MinDelayMs or longer are
  // replayed with their delay.
  TRecording(const std::string& Folder, int MinDelayMs);
  TRecording(const TRecording&) = delete;
  TRecording& operator=(const TRecording&) = delete;

  const std::string& File() const { return FFile; }

  // A comment line (UTF-8), for what the simulator does not replay.
  void Comment(const std::string& Utf8);
  void Init(int Result);
  // A delivered page: Record is the 738-byte page record as the engine filled it; the engine's
  // image ("temp1.tif" beside the record's image path) is copied now.
  void Page(int Status, const unsigned char* Record, int DelayMs);
  void Status(int Status, int DelayMs);
  // An access violation (or any structured exception) inside FpGetNewPage; in FpScannerTerminate.
  void Fault();
  void FaultInTerminate();

private:
  void Line(const std::string& Utf8);

  std::string FFile, FImageFolder, FImagePrefix;
  TFileHandle FOut;
  int FMinDelayMs;
  int FPages = 0;
  bool FFaulted = false;
  std::string FLastImage, FLastImageName;
};
