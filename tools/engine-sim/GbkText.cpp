#include "GbkText.h"

#include <windows.h>

namespace {
const UINT kGbk = 936;

std::wstring ToWide(UINT CodePage, DWORD Flags, const std::string& Text, bool* Valid)
{
  if (Text.empty())
    return std::wstring();
  int n = MultiByteToWideChar(CodePage, Flags, Text.data(), int(Text.size()), nullptr, 0);
  if (Valid)
    *Valid = n > 0;
  std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0)
    MultiByteToWideChar(CodePage, Flags, Text.data(), int(Text.size()), &wide[0], n);
  return wide;
}

std::string FromWide(UINT CodePage, const std::wstring& Wide, bool* Exact)
{
  if (Wide.empty())
    return std::string();
  // Code page 936 takes WC_NO_BEST_FIT_CHARS and reports a character it lacks; UTF-8 takes neither.
  const bool checked = CodePage != CP_UTF8;
  BOOL usedDefault = FALSE;
  DWORD flags = checked ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL* used = checked ? &usedDefault : nullptr;
  int n = WideCharToMultiByte(CodePage, flags, Wide.data(), int(Wide.size()), nullptr, 0, nullptr, used);
  std::string text(size_t(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CodePage, flags, Wide.data(), int(Wide.size()), &text[0], n, nullptr, nullptr);
  if (Exact)
    *Exact = n > 0 && !usedDefault;
  return text;
}
}  // namespace

bool Utf8ToGbk(const std::string& Utf8, std::string& Gbk)
{
  bool valid = true;
  std::wstring wide = ToWide(CP_UTF8, MB_ERR_INVALID_CHARS, Utf8, &valid);
  if (!valid)
    return false;
  bool exact = true;
  Gbk = FromWide(kGbk, wide, &exact);
  return wide.empty() || exact;
}

std::string GbkToUtf8(const std::string& Gbk) { return FromWide(CP_UTF8, ToWide(kGbk, 0, Gbk, nullptr), nullptr); }

std::wstring GbkToWide(const std::string& Gbk) { return ToWide(kGbk, 0, Gbk, nullptr); }

std::string GbkFolderOf(const std::string& Path)
{
  size_t end = 0;  // one past the last delimiter found
  for (size_t i = 0; i < Path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(Path[i]);
    if (IsDBCSLeadByteEx(kGbk, c) && i + 1 < Path.size())
      ++i;  // the trail byte is part of this character
    else if (c == '\\' || c == ':')
      end = i + 1;
  }
  return Path.substr(0, end);
}
