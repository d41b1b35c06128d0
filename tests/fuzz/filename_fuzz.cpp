// GetFileName on arbitrary bytes: the name is the tail of the path after its last delimiter
// character (GBK second bytes of 0x5C are part of a character, not a "\"), and the name without
// extension is the part of it before its last ".".
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "util/UdsIOUtils.h"

namespace {
// Index just after the last delimiter of Path: "\", and ":" when withColon; a GBK second
// byte is never one. The name starts after the last of them.
size_t NameStart(const std::string& path, bool withColon)
{
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < path.size())
      ++i;
    else if (c == '\\' || (withColon && c == ':'))
      start = i + 1;
  }
  return start;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  std::string path(reinterpret_cast<const char*>(data), size);
  std::string name = TdsIOUtils::GetFileName(path);
  bool hasDrive = (path.size() >= 2 && path[1] == ':') || path.compare(0, 2, "\\\\") == 0;
  FUZZ_CHECK(name == path.substr(NameStart(path, hasDrive)));
  FUZZ_CHECK(TdsIOUtils::GetFileName(path, true) == name);

  // A name joined to any folder comes back: a drive, a share, a relative folder or none.
  std::string plain;
  for (char c : name)
    if (c != '\\' && c != ':' && static_cast<unsigned char>(c) < 0x81)
      plain += c;
  for (const char* folder : {"C:\\scan\\", "\\\\server\\share\\", "images\\", ""})
    FUZZ_CHECK(TdsIOUtils::GetFileName(folder + plain) == plain);

  std::string stem = TdsIOUtils::GetFileName(path, false);
  size_t dot = name.rfind('.');
  if (dot == std::string::npos)
    FUZZ_CHECK(stem.empty());
  else
    FUZZ_CHECK(stem == name.substr(0, dot));
  return 0;
}
