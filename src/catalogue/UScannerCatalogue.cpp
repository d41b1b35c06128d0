#include "catalogue/UScannerCatalogue.h"

#include "util/UStrConv.h"

#ifdef _WIN32
#include "boundary/UDLLParams.h"
#include "data/UdsAdoDBKit.h"
#endif

const char* const TScannerCatalogue::SelectedScannerSQL = "SELECT FID, FType FROM B_Scanner WHERE FSelect = 1";

std::string TScannerCatalogue::SelectSQL(const std::string& ScannerID)
{
  return "UPDATE B_Scanner SET FSelect = 1 WHERE FID = " + QuotedStr(ScannerID);
}

std::string TScannerCatalogue::UnselectOthersSQL(const std::string& ScannerID)
{
  return "UPDATE B_Scanner SET FSelect = 0 WHERE FID <> " + QuotedStr(ScannerID);
}

std::string TScannerCatalogue::DriverFilesSQL(const std::string& ScannerID)
{
  return "SELECT FConfigFile FROM B_Scanner WHERE FID = " + QuotedStr(ScannerID);
}

#ifdef _WIN32
void TScannerCatalogue::MarkSelected(const std::string& ScannerID)
{
  TdsAdoDBKit kit;
  kit.AttachConnection(DLLParams.Connection);
  // The kit has reported a failure already. When the chosen row could not be marked, the others keep
  // their marks: clearing them would leave the catalogue with no scanner selected at all.
  if (kit.ExecSQL(SelectSQL(ScannerID)) < 0)
    return;
  kit.ExecSQL(UnselectOthersSQL(ScannerID));
}
#endif
