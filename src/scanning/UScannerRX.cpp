#include "scanning/UScannerRX.h"

#include "util/UdsErrors.h"

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

bool TScannerRX::GetSelectedScanner(std::string&, int32_t&)
{
  throw EdsError("TScannerRX.GetSelectedScanner is not built yet");
}
