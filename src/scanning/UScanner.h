// The generic scanner object.
#pragma once
#include <cstdint>
#include <string>

#include "scanning/UBusiness.h"

class TScanner : public TBusiness {
public:
  // The three operations an export calls, in slot order. SelectScanner and SetScanMode are
  // abstract here: calling them on a plain TScanner raises an error.
  virtual bool SelectScanner(bool OnlyIfNoneSelected, std::string& ScannerID, std::string& ScanMode);
  virtual void SetScanMode(const std::string& ScannerID, const std::string& ScanMode);
  // Deletes the result file and returns 0.
  virtual int32_t ScanInvoice();

  // The Windows TWAIN folder: the Windows folder + "Twain_32\".
  static std::string TwainFolder();
};
