#include "util/UStrConv.h"

#include "util/UdsErrors.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
bool ParseInt(const std::string& text, int32_t& value)
{
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  if (i == text.size())
    return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9')
      return false;
    v = v * 10 + (c - '0');
    if (v > 2147483648LL)
      return false;
  }
  if (negative)
    v = -v;
  if (v > INT32_MAX || v < INT32_MIN)
    return false;
  value = static_cast<int32_t>(v);
  return true;
}
}  // namespace

int32_t StrToInt(const std::string& text)
{
  int32_t value = 0;
  if (!ParseInt(text, value))
    throw EConvertError("'" + text + "' is not a valid integer value");
  return value;
}

int32_t StrToIntDef(const std::string& text, int32_t Default)
{
  int32_t value = 0;
  return ParseInt(text, value) ? value : Default;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string QuotedStr(const std::string& text)
{
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'')
      out += '\'';
  }
  out += '\'';
  return out;
}

std::string Trim(const std::string& text)
{
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 0x20)
    ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20)
    --e;
  return text.substr(b, e - b);
}

#ifdef _WIN32
std::wstring AnsiToWide(const std::string& text)
{
  if (text.empty())
    return {};
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string WideToAnsi(const std::wstring& text)
{
  if (text.empty())
    return {};
  int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}
#endif
