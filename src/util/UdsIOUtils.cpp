#include "util/UdsIOUtils.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

bool TdsIOUtils::IsLeadByte(unsigned char Byte)
{
#ifdef _WIN32
  return IsDBCSLeadByte(Byte) != 0;
#else
  // The native build has no system code page: it stands in for code page 936 (GBK).
  return Byte >= 0x81 && Byte <= 0xFE;
#endif
}

size_t TdsIOUtils::LastDelimiter(const std::string& Path, const char* Delimiters)
{
  size_t last = std::string::npos;
  for (size_t i = 0; i < Path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(Path[i]);
    if (IsLeadByte(c) && i + 1 < Path.size())
      ++i;  // the trail byte may be 0x5C, the code of "\"
    else if (c != 0 && std::strchr(Delimiters, c))
      last = i;
  }
  return last;
}

std::string TdsIOUtils::GetFolder(const std::string& Path)
{
  size_t cut = LastDelimiter(Path, "\\:");
  return cut == std::string::npos ? std::string() : Path.substr(0, cut + 1);
}

std::string TdsIOUtils::GetFileName(const std::string& Path)
{
  // With a drive ("C:name") or share part the name also ends at a ":"; plain paths only at "\".
  bool hasDrive = (Path.size() >= 2 && Path[1] == ':') || Path.compare(0, 2, "\\\\") == 0;
  size_t cut = LastDelimiter(Path, hasDrive ? "\\:" : "\\");
  return cut == std::string::npos ? Path : Path.substr(cut + 1);
}

std::string TdsIOUtils::GetFileName(const std::string& Path, bool WithExtension)
{
  std::string name = GetFileName(Path);
  if (WithExtension)
    return name;
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(0, dot);
}

#ifdef _WIN32
std::string TdsIOUtils::NormalizeDirectory(const std::string& Path)
{
  // A name with a NUL inside would be cut short by the system: it names no folder.
  if (Path.empty() || Path.find('\0') != std::string::npos)
    return {};
  DWORD attr = GetFileAttributesA(Path.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES || !(attr & FILE_ATTRIBUTE_DIRECTORY))
    return {};
  if (LastDelimiter(Path, "\\") == Path.size() - 1)
    return Path;
  return Path + "\\";
}

void TdsIOUtils::ClearReadOnly(const std::string& FileName)
{
  DWORD attr = GetFileAttributesA(FileName.c_str());
  if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(FileName.c_str(), attr & ~FILE_ATTRIBUTE_READONLY);
}

bool TdsIOUtils::RemoveFile(const std::string& FileName)
{
  // The system would cut a name with a NUL inside short and delete another file.
  if (FileName.find('\0') != std::string::npos)
    return true;
  DWORD attr = GetFileAttributesA(FileName.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY))
    return true;
  // A failure to clear the attribute shows up as a failed deletion below.
  SetFileAttributesA(FileName.c_str(), attr & ~FILE_ATTRIBUTE_READONLY);
  return DeleteFileA(FileName.c_str()) != 0;
}
#endif
