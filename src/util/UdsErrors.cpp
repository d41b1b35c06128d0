#include "util/UdsErrors.h"

#ifdef _WIN32
#include <windows.h>

#include "util/UStrConv.h"
#endif

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

#ifdef _WIN32
std::string SysErrorMessage(unsigned long Code)
{
  char* buffer = nullptr;
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, Code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = n && buffer ? Trim(std::string(buffer, n)) : std::string();
  LocalFree(buffer);
  return text.empty() ? "System error " + std::to_string(Code) : text;
}
#endif
