// One recognised page as the host receives it: eight invoice fields and the name of the page's
// image, written as the nine-line result file.
#pragma once
#include <cstdint>
#include <string>

struct TInvoiceBaseInfo {
  std::string Info1, Info2, Info3, Info4, Info5, Info6, Info7, Info8;
  std::string ImageFile;  // the stored page image, without folder: T0001.tif, T0002.tif, ...
};

// "T" + PageNumber with at least four digits + ".tif": T0001.tif, T0012.tif, T10000.tif.
std::string ImageFileName(int32_t PageNumber);

// The result file's bytes: "KVRNEWFP." + ImageFile without extension, then Info1..Info8, each line
// ending in CR LF. The fields' bytes are written as they are (GBK stays GBK), except that a CR or LF
// byte inside a field becomes a space, so the file always has exactly nine lines. (GBK's trail bytes
// are never 0x0A or 0x0D.)
std::string ResultFileText(const TInvoiceBaseInfo& Info);
