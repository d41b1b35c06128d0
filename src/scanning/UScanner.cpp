#include "scanning/UScanner.h"

#include "boundary/UDLLParams.h"
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

std::string TScanner::TwainFolder() { return TdsEnvironment::GetSystemFolder(0) + "Twain_32\\"; }
