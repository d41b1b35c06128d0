// The generic scanner object.
#pragma once
#include <cstdint>
#include <string>

#include "options/UdsXMLParser.h"
#include "scanning/UBusiness.h"
#include "scanning/UInvoiceBaseInfo.h"

class TScanner : public TBusiness {
public:
  // The three operations an export calls, in slot order. SelectScanner and SetScanMode are
  // abstract here: calling them on a plain TScanner raises an error.
  virtual bool SelectScanner(bool OnlyIfNoneSelected, std::string& ScannerID, std::string& ScanMode);
  virtual void SetScanMode(const std::string& ScannerID, const std::string& ScanMode);
  // Deletes the result file and returns 0.
  virtual int32_t ScanInvoice();

  // Writes one page as the host's result file (DLLParams.ResultFile), replacing its content.
  // True; raises EFileError naming the file when it cannot be written.
  bool WriteResultFile(const TInvoiceBaseInfo& Info);

  // The Windows TWAIN folder: the Windows folder + "Twain_32\".
  static std::string TwainFolder();
  // Makes Path the system's TWAIN default source, as its values "默认资源" and "Default Source":
  // in the registry of the current user, or in section "Twain" of "Win.ini" on Windows older than
  // 2000. Raises an error naming the value or file when the system refuses the write.
  static void SetTwainDefaultSource(const std::string& Path);

  // The host's options document (DLLParams.OptionsXML), parsed afresh: its document element, and its
  // "Options" element (a new empty one when it has none). Raise EdsError with the parser's reason
  // when the text does not parse.
  static TXmlNode GetOptionsRoot();
  static TXmlNode GetOptionsNode();
};
