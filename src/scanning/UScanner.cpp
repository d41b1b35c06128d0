#include "scanning/UScanner.h"

#include <windows.h>

#include "boundary/UDLLParams.h"
#include "options/UOptionsDocument.h"
#include "util/UIniFile.h"
#include "util/URegKey.h"
#include "util/UdsEnvironment.h"
#include "util/UdsErrors.h"
#include "util/UdsIOUtils.h"

bool TScanner::SelectScanner(bool, std::string&, std::string&) { throw EdsError("Abstract Error"); }

void TScanner::SetScanMode(const std::string&, const std::string&) { throw EdsError("Abstract Error"); }

int32_t TScanner::ScanInvoice()
{
  TdsIOUtils::RemoveFile(ParamResultFile());
  return 0;
}

bool TScanner::WriteResultFile(const TInvoiceBaseInfo& Info)
{
  // The same file every page, rewritten in place: the host reads it in its page handler, after this
  // write and before the next one. A disk too full for this page leaves the last page's file whole.
  TdsIOUtils::RewriteFile(ParamResultFile(), ResultFileText(Info));
  return true;
}

std::string TScanner::TwainFolder() { return TdsEnvironment::GetSystemFolder(0) + "Twain_32\\"; }

TXmlNode TScanner::GetOptionsRoot() { return OptionsRoot(ParamOptionsXML()); }

TXmlNode TScanner::GetOptionsNode() { return OptionsNode(ParamOptionsXML()); }

namespace {
const char* const kTwainValues[] = {"默认资源", "Default Source"};
}

void TScanner::SetTwainDefaultSource(const std::string& Path)
{
  // No answer (0) counts as a current Windows.
  const unsigned major = TdsEnvironment::WindowsMajorVersion();
  if (major != 0 && major < 5) {
    TIniFile ini(TdsEnvironment::GetSystemFolder(0) + "Win.ini", TIniFile::InPlace);
    for (const char* value : kTwainValues)
      ini.WriteString("Twain", value, Path);
    return;
  }
  HKEY opened = nullptr;
  const LONG created = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Twain", 0,
                                       nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &opened, nullptr);
  TRegKey key(created == ERROR_SUCCESS ? opened : nullptr);
  for (const char* value : kTwainValues) {
    // A key that could not be opened fails here, at its first value.
    const LONG written = key ? RegSetValueExA(key.get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(Path.c_str()),
                                              static_cast<DWORD>(Path.size() + 1))
                             : created;
    if (written != ERROR_SUCCESS)
      throw EdsError(std::string("Failed to set data for '") + value + "'. " + SysErrorMessage(written));
  }
}
