#include "scanning/UScanConfig.h"

#include "scanning/UScannerRX.h"
#include "util/UIniFile.h"
#include "util/UStrConv.h"
#include "util/UdsEnvironment.h"
#include "util/UdsIOUtils.h"

namespace {

// The Panasonic driver reads its page and crop settings from its own INI file; the engine needs
// every page and automatic cropping. Values already right are not written, so a correct file
// (read-only or not) stays untouched.
void PreparePanasonicDriver(const std::string& DriverFile)
{
  TIniFile ini(TdsIOUtils::GetFolder(DriverFile) + "PANA_S2025.INI");
  const struct { const char* Ident; const char* Value; } entries[] = {
      {"Page", "All Pages"},
      {"AutoCrop", "ON"},
  };
  for (const auto& e : entries) {
    if (ini.ReadString("Image", e.Ident, "") != e.Value) {
      TdsIOUtils::ClearReadOnly(ini.FileName());
      ini.WriteString("Image", e.Ident, e.Value);
    }
  }
}

}  // namespace

void TScanConfig::Prepare(const std::string& ScannerID, const TStringList& DriverFiles)
{
  {
    TIniFile ini(TScannerRX::ScanConfigFileName());  // writable from here on
    const std::string section = TScannerRX::ScannerSectionName(ScannerID);
    const int32_t scannerType = TdsEnvironment::IsWin2KOrLater() ? ini.ReadInteger(section, "ScanThread_2K", 2)
                                                                 : ini.ReadInteger(section, "ScanThread_98", 1);
    ini.WriteInteger(section, "ScannerType", scannerType);
    // Scanners numbered 200 and above are driven through the shared section.
    if (StrToInt(ScannerID) > 199)
      ini.WriteInteger("Scan", "ScannerType", scannerType);
  }
  // Exact bytes: "0401" is not this scanner. Without a driver file there is no folder to look in.
  if (ScannerID == "401" && !DriverFiles.empty())
    PreparePanasonicDriver(DriverFiles.front());
}
