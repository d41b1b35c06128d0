#include "catalogue/USelectScannerForm.h"

#include "boundary/UHostObjects.h"
#include "catalogue/SelectScannerFormIds.h"
#include "catalogue/UScanMode.h"
#include "catalogue/UScannerCatalogue.h"
#include "data/UdsAdoDBKit.h"
#include "options/UdsXMLParser.h"
#include "scanning/UScannerRX.h"
#include "ui/UApplication.h"
#include "ui/UdsDialogs.h"
#include "util/UIniFile.h"
#include "util/UStrConv.h"
#include "util/UdsIOUtils.h"

namespace {
// The hourglass for the time of a handler's work, and the default cursor after it on every path.
class THourGlass {
public:
  THourGlass() { TApplication::SetScreenCursor(TApplication::crHourGlass); }
  ~THourGlass() { TApplication::SetScreenCursor(TApplication::crDefault); }
  THourGlass(const THourGlass&) = delete;
  THourGlass& operator=(const THourGlass&) = delete;
};

bool IsChecked(HWND Button) { return SendMessageW(Button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetButton(HWND Button, bool Checked, bool Enabled)
{
  SendMessageW(Button, BM_SETCHECK, Checked ? BST_CHECKED : BST_UNCHECKED, 0);
  EnableWindow(Button, Enabled);
}
}  // namespace

TSelectScannerForm::TSelectScannerForm() : TBusinessForm(L"" IDD_SELECTSCANNERFORM) {}

int TSelectScannerForm::FindLine(const TStringList& Lines, const std::string& Text, int Start)
{
  return ::FindLine(Lines, Text, Start);
}

void TSelectScannerForm::CopySectionToScan(const std::string& Section)
{
  const std::string file = TScannerRX::ScanConfigFileName();
  TStringList lines = TextLines(TdsIOUtils::LoadFromFile(file));
  CopySectionBodyToScan(lines, Section);
  TdsIOUtils::SaveToFile(file, LinesText(lines));
}

void TSelectScannerForm::RecordScanMode(const std::string& ScannerID, const std::string& ScanMode)
{
  const std::string section = TScannerRX::ScannerSectionName(ScannerID);
  {
    TIniFile ini(TScannerRX::ScanConfigFileName());
    ini.WriteString(section, "ScanWithADF", ScanWithADFValue(ScanMode));
  }  // written out before the copy reads the file
  if (StrToInt(ScannerID) >= 200)
    CopySectionToScan(section);
}

void TSelectScannerForm::FormCreate()
{
  cbxScanner.Attach(Item(IDC_SELECT_SCANNER));
  cbxScanner.SetHeightAndDropDownCount(20, 20);
  SendMessageW(Item(IDC_SELECT_ROLL), BM_SETCHECK, BST_CHECKED, 0);  // the designed state
  TBusinessForm::FormCreate();
}

void TSelectScannerForm::FormShow()
{
  TBusinessForm::FormShow();
  THourGlass hourGlass;
  TdsAdoDBKit kit;
  kit.AttachConnection(THostObjects::Connection().Get());
  kit.OpenQuery(vdsScanner, BuildScannerListQuery());
  cbxScanner.Clear();
  // A query that failed has been reported by the kit and leaves no rows to offer.
  if (vdsScanner.Active()) {
    TStringList driverFiles;
    for (vdsScanner.First(); !vdsScanner.Eof(); vdsScanner.Next()) {
      const std::string id = vdsScanner.FieldByName("FID").AsString();
      TScannerRX::LoadDriverFiles(id, driverFiles);
      bool installed = false;
      for (const std::string& file : driverFiles)
        installed = installed || TdsIOUtils::FileExists(file);
      if (!installed)
        continue;
      cbxScanner.AddItem(vdsScanner.FieldByName("FName").AsString() + "(" + vdsScanner.FieldByName("FModel").AsString() + ")");
      cbxScanner.Values().push_back(id);
      cbxScanner.Values2().push_back(vdsScanner.FieldByName("FType").AsString());
    }
  }
  const std::string selected = FindSelectedScannerID();
  int index = -1;
  for (size_t i = 0; i < cbxScanner.Values().size() && !selected.empty(); ++i)
    if (cbxScanner.Values()[i] == selected) {
      index = static_cast<int>(i);
      break;
    }
  cbxScanner.SetItemIndex(index);
  UpdateScanModeButtons();
}

std::string TSelectScannerForm::BuildScannerListQuery()
{
  TXmlNode list;
  TdsXMLParser::SelectNode(TScanner::GetOptionsNode().Get(), "ScnrList", list);
  return TScannerCatalogue::ScannerListSQL(list ? Trim(TdsXMLParser::GetNodeText(list.Get())) : std::string());
}

std::string TSelectScannerForm::FindSelectedScannerID()
{
  if (!vdsScanner.Active())
    return {};
  for (vdsScanner.First(); !vdsScanner.Eof(); vdsScanner.Next())
    if (vdsScanner.FieldByName("FSelect").AsInteger() != 0)
      return vdsScanner.FieldByName("FID").AsString();
  return {};
}

std::string TSelectScannerForm::GetScanModeOf(const std::string& ScannerID)
{
  vdsScanner.SetFiltered(false);
  vdsScanner.SetFilter("FID = " + QuotedStr(ScannerID));
  vdsScanner.SetFiltered(true);
  if (vdsScanner.RecordCount() <= 0)
    return {};
  vdsScanner.First();
  return vdsScanner.FieldByName("FScanMode").AsString();
}

void TSelectScannerForm::UpdateScanModeButtons()
{
  HWND roll = Item(IDC_SELECT_ROLL), flatbed = Item(IDC_SELECT_FLATBED);
  const int index = cbxScanner.ItemIndex();
  if (index < 0 || static_cast<size_t>(index) >= cbxScanner.Values().size()) {
    SetButton(roll, false, false);
    SetButton(flatbed, false, false);
    return;
  }
  const std::string id = cbxScanner.Values()[static_cast<size_t>(index)];
  const std::string mode = GetScanModeOf(id);
  if (mode == "G") {
    SetButton(roll, true, true);
    SetButton(flatbed, false, false);
  } else if (mode == "P") {
    SetButton(roll, false, false);
    SetButton(flatbed, true, true);
  } else {
    TIniFile ini(TScannerRX::ScanConfigFileName());
    const bool rolls = ReadsAsRollScanning(ini.ReadString(TScannerRX::ScannerSectionName(id), "ScanWithADF", "1"));
    SetButton(roll, rolls, true);
    SetButton(flatbed, !rolls, true);
  }
}

void TSelectScannerForm::Command(int Id, int Code, HWND)
{
  if (Id == IDC_SELECT_SCANNER && Code == CBN_SELCHANGE)
    cbxScannerClick();
  else if (Id == IDC_SELECT_SCANNER && Code == CBN_CLOSEUP)
    cbxScannerCloseUp();
  else if (Id == IDOK && Code == BN_CLICKED)
    btnOkClick();
}

void TSelectScannerForm::cbxScannerClick() { UpdateScanModeButtons(); }

void TSelectScannerForm::cbxScannerCloseUp()
{
  if (cbxScanner.ItemCount() == 0)
    TdsDialogs::ShowMsg("扫描仪列表为空，请确认扫描仪驱动程序安装是否正确！", mkError);
}

void TSelectScannerForm::btnOkClick()
{
  const int index = cbxScanner.ItemIndex();
  if (index < 0 || static_cast<size_t>(index) >= cbxScanner.Values().size()) {
    TdsDialogs::ShowWarning("请选择一种扫描仪！");
    return;
  }
  if (cbxScanner.ItemCount() > 1 &&
      TdsDialogs::AskYesNo("如果扫描仪型号选择不正确，将会导致系统停止响应或出现异常！\r\n您确定选择了正确的扫描仪型号吗？",
                           mkWarning) != IDYES)
    return;
  {
    THourGlass hourGlass;
    const std::string id = cbxScanner.Values()[static_cast<size_t>(index)];
    // Converts the id: one that is not a number stops here, before the catalogue is touched.
    TScannerRX::ScannerSectionName(id);
    const std::string mode = IsChecked(Item(IDC_SELECT_ROLL)) ? "G" : "P";
    TScannerCatalogue::MarkSelected(id);
    TApplication::ProcessMessages();
    RecordScanMode(id, mode);
    FScannerID = id;
    FScanMode = mode;
  }
  SetModalResult(IDOK);
}
