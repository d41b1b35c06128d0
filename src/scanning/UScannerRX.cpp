#include "scanning/UScannerRX.h"

#include <array>
#include <optional>

#include "QuillonRX.h"
#include "boundary/UDLLParams.h"
#include "boundary/UHostObjects.h"
#include "catalogue/UScannerCatalogue.h"
#include "catalogue/USelectScannerForm.h"
#include "data/UAdoDataSet.h"
#include "data/UdsAdoDBKit.h"
#include "scanning/UEngineStatus.h"
#include "scanning/UNewPageRecord.h"
#include "scanning/UScanConfig.h"
#include "scanning/UScanEngine.h"
#include "ui/UApplication.h"
#include "ui/UdsBusyForm.h"
#include "ui/UdsDialogs.h"
#include "util/USehGuard.h"
#include "util/UStrConv.h"
#include "util/UdsErrors.h"
#include "util/UdsIOUtils.h"

bool TScannerRX::SelectScanner(bool OnlyIfNoneSelected, std::string& ScannerID, std::string& ScanMode)
{
  ScannerID.clear();
  ScanMode.clear();
  if (OnlyIfNoneSelected) {
    int32_t type = 0;
    if (GetSelectedScanner(ScannerID, type)) {
      ScannerID.clear();  // the host asked only whether one is selected
      return true;
    }
  }
  TSelectScannerForm form;
  if (form.ShowModal() != IDOK)
    return false;
  ScannerID = form.ScannerID();
  ScanMode = form.ScanMode();
  return true;
}

void TScannerRX::SetScanMode(const std::string& ScannerID, const std::string& ScanMode)
{
  TSelectScannerForm::RecordScanMode(ScannerID, ScanMode);
}

namespace {
// The window of the host's control: the owner of the scan's boxes and the receiver of the page
// message. Asked for at every use, since a call from the host's page handler may replace the record.
HWND HostWindow() { return THostObjects::ControlWindow(); }

void StorePageImage(const std::string& EngineImagePath, const std::string& ImageFile)
{
  // The engine writes every page as "temp1.tif" beside the path it reports. A failed copy leaves
  // the host without this image; the page's fields still reach it.
  const std::string source = TdsIOUtils::GetFolder(EngineImagePath) + "temp1.tif";
  const std::string target = ParamImageFolder() + ImageFile;
  if (source.find('\0') == std::string::npos && target.find('\0') == std::string::npos)
    CopyFileA(source.c_str(), target.c_str(), FALSE);
}
}  // namespace

int32_t TScannerRX::ScanInvoice()
{
  TScanner::ScanInvoice();  // the previous result file is gone
  HostWindow();  // a HostControl that is neither a window nor a control of the host fails here, early
  std::string scannerID;
  int32_t scannerType = 0;
  {
    TStringList driverFiles;
    GetSelectedScanner(scannerID, scannerType);
    LoadDriverFiles(scannerID, driverFiles);
    if (!CheckDriverFiles(driverFiles))
      return -1;
    TScanConfig::Prepare(scannerID, driverFiles);
  }
  TApplication::ProcessMessages();

  // Declared before the engine, so that every way out terminates the engine first and then frees
  // the window: the normal ones below by hand, an error or a fault raised in the engine or the
  // host's page handler by the destructors.
  std::optional<TdsBusyForm> busy;
  TScanEngine engine;
  engine.GetVersion(scannerType);
  if (engine.Initialize() != 0) {
    TdsDialogs::ShowOwnedMsg(HostWindow(), "扫描仪未正确连接或者扫描仪型号选择不正确！", mkError);
    engine.Terminate();
    return -1;
  }
  busy.emplace();
  engine.SetScannerMode(3);

  // The scan ends only at a status that is not a page; that status decides the result.
  for (int32_t page = 1;; ++page) {
    if (scannerID == "601")
      busy->ShowBusy(HostWindow(), bkScan, "正在扫描发票", btPleaseWait);
    std::array<uint8_t, kNewPageRecordSize> record{};
    const int32_t status = engine.GetNewPage(record.data());
    busy->HideBusy();

    const TEngineStatusOutcome outcome = EngineStatusOutcome(status, scannerID);
    if (!outcome.PageDelivered) {
      if (outcome.Message)
        TdsDialogs::ShowOwnedMsg(HostWindow(), outcome.Message, outcome.Kind);
      engine.Terminate();
      return outcome.Result;
    }
    TInvoiceBaseInfo invoice = InvoiceOfNewPage(record.data());
    invoice.ImageFile = ImageFileName(page);
    StorePageImage(NewPageFieldText(record.data(), NewPageField::ImagePath), invoice.ImageFile);
    WriteResultFile(invoice);
    // Both files of the page are complete: the host takes them over before the next page.
    if (HWND host = HostWindow())
      CallForeign([host]() noexcept { SendMessageW(host, QRX_WM_NEWPAGE, 0, 0); });
    TApplication::ProcessMessages();
  }
}

bool TScannerRX::CheckDriverFiles(const TStringList& List)
{
  if (List.empty()) {
    TdsDialogs::ShowOwnedMsg(HostWindow(), "当前扫描仪不受本软件的支持，请联系软件供应商获取升级程序！", mkError);
    return false;
  }
  for (const std::string& file : List) {
    if (TdsIOUtils::FileExists(file)) {
      SetTwainDefaultSource(file);
      return true;
    }
  }
  const bool fujitsu = List.front().find("Fjtw") != std::string::npos;
  TdsDialogs::ShowOwnedMsg(HostWindow(),
                           fujitsu ? "扫描仪驱动程序安装不正确或者扫描仪未正确连接！" : "扫描仪驱动程序安装不正确！", mkError);
  return false;
}

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
