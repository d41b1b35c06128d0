// The engine-specific scanner object: the only class the exports create.
#pragma once
#include <cstdint>
#include <string>

#include "scanning/UScanner.h"

class TScannerRX : public TScanner {
public:
  bool SelectScanner(bool OnlyIfNoneSelected, std::string& ScannerID, std::string& ScanMode) override;
  void SetScanMode(const std::string& ScannerID, const std::string& ScanMode) override;
  int32_t ScanInvoice() override;

  // The selected row of B_Scanner (FSelect = 1; the first the database returns when there are
  // several): its FID and engine type (200 and above reported as 0). False when none is selected
  // or the query failed (the kit has shown the database's error); ScannerType is then untouched.
  bool GetSelectedScanner(std::string& ScannerID, int32_t& ScannerType);

  // Whether one of the scanner's driver files (in list order) exists; it then becomes the TWAIN
  // default source. Otherwise the user is told why (no files: the scanner is not supported; none
  // installed: the driver is not installed correctly) and the answer is false.
  bool CheckDriverFiles(const TStringList& List);

  // The host's "simple.cfg" (configuration folder + name), made writable when it exists.
  static std::string ScanConfigFileName();
  // "Scan" + the id as a number: "0401" gives "Scan401". Raises EConvertError for a non-integer id.
  static std::string ScannerSectionName(const std::string& ScannerID);
  // The scanner's driver files: TWAIN folder + each name of its FConfigFile (";"-separated,
  // trimmed), in order; empty when there is no row or no name. A failed query has been shown by
  // the kit and then raises EDatabaseError.
  static void LoadDriverFiles(const std::string& ScannerID, TStringList& List);
};
