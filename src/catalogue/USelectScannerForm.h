// The select-scanner dialog: the scanners of the catalogue that the host's options allow and whose
// driver is installed, the scan modes the chosen one supports, and on OK the choice recorded in the
// catalogue and in "simple.cfg".
#pragma once
#include <string>

#include "data/UVirtualTable.h"
#include "ui/UBusinessForm.h"
#include "ui/dsComboBox.h"
#include "util/UdsStrUtils.h"

class TSelectScannerForm : public TBusinessForm {
public:
  TSelectScannerForm();

  // The choice, set only by a successful OK: the chosen FID and "G" (roll) or "P" (flatbed).
  const std::string& ScannerID() const { return FScannerID; }
  const std::string& ScanMode() const { return FScanMode; }

  // The first line from Start on that contains Text; -1 when none.
  static int FindLine(const TStringList& Lines, const std::string& Text, int Start);
  // Makes the body of "[Scan]" in "simple.cfg" a copy of the body of Section (such as Scan201).
  // Raises EFileError naming the file when it cannot be read or written.
  static void CopySectionToScan(const std::string& Section);
  // Records ScanMode for the scanner in "simple.cfg": its key ScanWithADF, and for scanners numbered
  // 200 and above the copy of its section into "[Scan]", made after the write. Raises
  // EConvertError for an id that is not a number, before anything is written.
  static void RecordScanMode(const std::string& ScannerID, const std::string& ScanMode);

protected:
  void FormCreate() override;
  void FormShow() override;
  void Command(int Id, int Code, HWND Control) override;

private:
  void cbxScannerClick();
  void cbxScannerCloseUp();
  void btnOkClick();

  std::string BuildScannerListQuery();
  std::string FindSelectedScannerID();
  std::string GetScanModeOf(const std::string& ScannerID);
  void UpdateScanModeButtons();

  TdsComboBox cbxScanner;
  TVirtualTable vdsScanner;
  std::string FScannerID, FScanMode;
};
