/* Links every export through the import library (x86_64: the twin's import libraries are checked by
 * linking, not run). */
#include "QuillonRXImports.h"

int main(void)
{
  TScanDLLParams p = {0};
  QRX_String id = 0, mode = 0;
  if (GetModuleHandleA("no such module")) {
    SetScanMode(p, id, mode);
    SelectScanner(p, FALSE, &id, &mode);
    GetScannerID(p, &id, FALSE);
    return ScanInvoice(p);
  }
  return 0;
}
