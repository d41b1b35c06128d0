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

  // The selected row of B_Scanner: its FID and engine type (200 and above reported as 0).
  bool GetSelectedScanner(std::string& ScannerID, int32_t& ScannerType);
};
