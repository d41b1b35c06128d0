#include "ScenarioText.h"

#include <cstring>

#include "GbkText.h"

namespace {
bool IsBlank(char C) { return C == ' ' || C == '\t'; }

std::string Hex(const std::string& Bytes)
{
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text = "hex:";
  for (unsigned char b : Bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

bool StartsWithHexPrefix(const std::string& Text)
{
  if (Text.size() < 4)
    return false;
  std::string head = Text.substr(0, 4);
  for (char& c : head)
    if (c >= 'A' && c <= 'Z')
      c = char(c - 'A' + 'a');
  return head == "hex:";
}
}  // namespace

std::string ScenarioValue(const std::string& Value)
{
  if (Value.empty())
    return std::string();
  for (unsigned char c : Value)
    if (c < 0x20 || c == 0x7F)
      return Hex(Value);
  if (IsBlank(Value.front()) || IsBlank(Value.back()) || StartsWithHexPrefix(Value))
    return Hex(Value);
  const std::string utf8 = GbkToUtf8(Value);
  std::string back;
  if (!Utf8ToGbk(utf8, back) || back != Value || utf8.find("{n}") != std::string::npos)
    return Hex(Value);
  return utf8;
}

std::string RecordField(const unsigned char* Record, size_t Offset, size_t Width)
{
  const unsigned char* field = Record + Offset;
  const void* zero = std::memchr(field, 0, Width);
  const size_t n = zero ? size_t(static_cast<const unsigned char*>(zero) - field) : Width;
  return std::string(reinterpret_cast<const char*>(field), n);
}
