#include "scanning/UScannerRX.h"

#include "boundary/UDLLParams.h"
#include "boundary/UHostObjects.h"
#include "catalogue/UScannerCatalogue.h"
#include "data/UAdoDataSet.h"
#include "data/UdsAdoDBKit.h"
#include "util/UStrConv.h"
#include "util/UdsErrors.h"
#include "util/UdsIOUtils.h"

// Operations still to be built fail loudly rather than pretend to work.
bool TScannerRX::SelectScanner(bool, std::string&, std::string&)
{
  throw EdsError("TScannerRX.SelectScanner is not built yet");
}

void TScannerRX::SetScanMode(const std::string&, const std::string&)
{
  throw EdsError("TScannerRX.SetScanMode is not built yet");
}

int32_t TScannerRX::ScanInvoice() { throw EdsError("TScannerRX.ScanInvoice is not built yet"); }

bool TScannerRX::GetSelectedScanner(std::string& ScannerID, int32_t& ScannerType)
{
  ScannerID.clear();
  TdsAdoDBKit kit;
  kit.AttachConnection(THostObjects::Connection().Get());
  FSQL = TScannerCatalogue::SelectedScannerSQL;
  // A failed query (already shown by the kit) leaves the table as it was: count it as empty.
  const bool found = kit.OpenQuery(*FVirtualTable, FSQL) >= 0 && FVirtualTable->RecordCount() > 0;
  if (found) {
    FVirtualTable->First();
    ScannerID = FVirtualTable->FieldByName("FID").AsString();
    ScannerType = FVirtualTable->FieldByName("FType").AsInteger();
    // The engine knows types below 200 only.
    if (ScannerType >= 200)
      ScannerType = 0;
  }
  return found;
}

std::string TScannerRX::ScanConfigFileName()
{
  std::string name = ParamConfigFolder() + "simple.cfg";
  TdsIOUtils::ClearReadOnly(name);
  return name;
}

std::string TScannerRX::ScannerSectionName(const std::string& ScannerID)
{
  return "Scan" + IntToStr(StrToInt(ScannerID));
}

void TScannerRX::LoadDriverFiles(const std::string& ScannerID, TStringList& List)
{
  TdsAdoDBKit kit;
  kit.AttachConnection(THostObjects::Connection().Get());
  TADODataSet dataSet;
  kit.OpenQuery(dataSet, TScannerCatalogue::DriverFilesSQL(ScannerID));
  List.clear();
  // No row reads as ""; a query that failed left the dataset closed, and reading it raises.
  const std::string names = dataSet.FieldValueAt(0).Text;
  if (Trim(names).empty())
    return;
  TdsStrUtils::SplitString(names, ";", List);
  const std::string folder = TwainFolder();
  for (std::string& item : List)
    item = folder + Trim(item);
}
