// The scan configuration written before the engine starts: the engine's scanner type in
// "simple.cfg", and for scanner "401" two entries of its driver's "PANA_S2025.INI".
#pragma once
#include <string>

#include "util/UdsStrUtils.h"

class TScanConfig {
public:
  TScanConfig() = delete;

  // DriverFiles is the scanner's driver file list (TScannerRX::LoadDriverFiles), already checked.
  // Raises EConvertError for an id that is not an integer (before anything is written) and
  // EFileError naming the file for a write the system refuses.
  static void Prepare(const std::string& ScannerID, const TStringList& DriverFiles);
};
