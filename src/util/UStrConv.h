// Conversions between texts, numbers and SQL literals. Texts are GBK byte strings.
#pragma once
#include <cstdint>
#include <string>

// Decimal text to a 32-bit signed integer, as the host's own conversion does: leading blanks and a
// sign allowed, nothing after the digits. Anything else raises EConvertError
// ("'<text>' is not a valid integer value").
int32_t StrToInt(const std::string& text);
// As StrToInt, but gives Default instead of raising.
int32_t StrToIntDef(const std::string& text, int32_t Default);
std::string IntToStr(int64_t value);

// SQL string literal: in single quotes, every single quote inside doubled.
std::string QuotedStr(const std::string& text);

// Strips leading and trailing bytes of value 0x20 or below.
std::string Trim(const std::string& text);

#ifdef _WIN32
// System ANSI code page (936 here) <-> UTF-16.
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
#endif
