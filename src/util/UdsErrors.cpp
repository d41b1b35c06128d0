#include "util/UdsErrors.h"

std::string FormatText(const char* format, const std::string& arg)
{
  std::string out;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      out += arg;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}
