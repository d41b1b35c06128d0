// The call log: one UTF-8 line per call, appended to QRX_ENGINE_LOG (a Windows path), else to
// ScanReco.log beside ScanReco.dll; "-" turns it off. During a scan the file stays open; outside one
// every line opens, appends and closes it, so a test may read or delete it between scans.
#pragma once
#include <string>

#include "EngineFiles.h"

class TCallLog {
public:
  // Start of a scan: finds the log (the variable is read again) and keeps it open until Close; lines
  // in between go only there (nowhere when it could not be opened).
  void Open();
  // End of a scan: closes the file.
  void Close();
  // Appends Line (UTF-8, without line end) and "\r\n".
  void Write(const std::string& Line);

private:
  // The path from the environment; "" when logging is off.
  static std::string Path();
  static TFileHandle OpenForAppend(const std::string& Path);

  TFileHandle FFile;
  bool FInScan = false;
};
