// StrToInt, StrToIntDef, IntToStr, QuotedStr and Trim on arbitrary bytes.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "util/UStrConv.h"
#include "util/UdsErrors.h"

namespace {
// An independent reading of the accepted form: blanks, an optional sign, one or more digits,
// nothing else, within 32 bits.
bool Reference(const std::string& text, int32_t& value)
{
  size_t i = text.find_first_not_of(" \t");
  if (i == std::string::npos)
    return false;
  size_t digits = i + (text[i] == '+' || text[i] == '-');
  if (digits == text.size() || text.find_first_not_of("0123456789", digits) != std::string::npos)
    return false;
  std::string number = text.substr(i);
  size_t firstNonZero = number.find_first_not_of("+-0");
  if (firstNonZero != std::string::npos && number.size() - firstNonZero > 11)
    return false;  // far out of range; strtoll would clamp
  errno = 0;
  long long v = std::strtoll(number.c_str(), nullptr, 10);
  if (errno != 0 || v > INT32_MAX || v < INT32_MIN)
    return false;
  value = static_cast<int32_t>(v);
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  std::string text(reinterpret_cast<const char*>(data), size);

  int32_t expected = 0;
  bool valid = text.find('\0') == std::string::npos && Reference(text, expected);
  bool raised = false;
  int32_t got = 0;
  try {
    got = StrToInt(text);
  } catch (const EConvertError&) {
    raised = true;
  }
  FUZZ_CHECK(raised == !valid);
  if (valid) {
    FUZZ_CHECK(got == expected);
    FUZZ_CHECK(StrToIntDef(text, got ^ 1) == got);
    FUZZ_CHECK(StrToInt(IntToStr(got)) == got);
  } else {
    FUZZ_CHECK(StrToIntDef(text, 12345) == 12345);
  }

  // Any 32-bit value made of the input survives IntToStr and StrToInt.
  int32_t n = 0;
  if (size > 0)
    std::memcpy(&n, data, size < sizeof(n) ? size : sizeof(n));
  FUZZ_CHECK(StrToInt(IntToStr(n)) == n);

  std::string trimmed = Trim(text);
  FUZZ_CHECK(text.find(trimmed) != std::string::npos);
  FUZZ_CHECK(trimmed.empty() || (static_cast<unsigned char>(trimmed.front()) > 0x20 &&
                                 static_cast<unsigned char>(trimmed.back()) > 0x20));
  FUZZ_CHECK(Trim(trimmed) == trimmed);

  std::string quoted = QuotedStr(text);
  size_t quotes = 0;
  for (char c : text)
    quotes += c == '\'';
  FUZZ_CHECK(quoted.size() == text.size() + quotes + 2);
  FUZZ_CHECK(quoted.front() == '\'' && quoted.back() == '\'');
  return 0;
}
