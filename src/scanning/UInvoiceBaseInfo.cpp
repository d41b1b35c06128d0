#include "scanning/UInvoiceBaseInfo.h"

#include <cstdio>

#include "util/UdsIOUtils.h"

std::string ImageFileName(int32_t PageNumber)
{
  char name[32];
  std::snprintf(name, sizeof name, "T%04ld.tif", static_cast<long>(PageNumber));
  return name;
}

namespace {
void AddLine(std::string& Text, const std::string& Line)
{
  for (char c : Line)
    Text += (c == '\r' || c == '\n') ? ' ' : c;
  Text += "\r\n";
}
}  // namespace

std::string ResultFileText(const TInvoiceBaseInfo& Info)
{
  std::string text;
  AddLine(text, "KVRNEWFP." + TdsIOUtils::GetFileName(Info.ImageFile, false));
  for (const std::string* field : {&Info.Info1, &Info.Info2, &Info.Info3, &Info.Info4, &Info.Info5, &Info.Info6,
                                   &Info.Info7, &Info.Info8})
    AddLine(text, *field);
  return text;
}
