#include "util/UdsIOUtils.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include "util/UHandle.h"
#include "util/UdsErrors.h"
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

bool TdsIOUtils::FileExists(const std::string& FileName)
{
  if (FileName.empty() || FileName.find('\0') != std::string::npos)
    return false;
  const DWORD attr = GetFileAttributesA(FileName.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {
// Writes Data at Offset; false with the system's error (a short write is a full disk).
bool WriteAt(HANDLE File, LONGLONG Offset, const char* Data, size_t Size)
{
  LARGE_INTEGER at;
  at.QuadPart = Offset;
  DWORD written = 0;
  if (Size > MAXDWORD || !SetFilePointerEx(File, at, nullptr, FILE_BEGIN) ||
      !WriteFile(File, Data, static_cast<DWORD>(Size), &written, nullptr))
    return false;
  if (written != Size)
    SetLastError(ERROR_DISK_FULL);
  return written == Size;
}

// Creates FileName (or empties it) and writes Bytes; false with the step and the system's error.
bool WriteWhole(const std::string& FileName, const std::string& Bytes, bool& Created, DWORD& Error)
{
  // A name with a NUL inside would be cut short by the system and name another file.
  Created = false;
  THandle file(FileName.find('\0') == std::string::npos
                   ? CreateFileA(FileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr)
                   : INVALID_HANDLE_VALUE);
  if (file.get() == INVALID_HANDLE_VALUE) {
    Error = FileName.find('\0') == std::string::npos ? GetLastError() : ERROR_INVALID_NAME;
    return false;
  }
  Created = true;
  if (!WriteAt(file.get(), 0, Bytes.data(), Bytes.size())) {
    Error = GetLastError();
    return false;
  }
  return true;
}

bool CutAt(HANDLE File, LONGLONG Size)
{
  LARGE_INTEGER at;
  at.QuadPart = Size;
  return SetFilePointerEx(File, at, nullptr, FILE_BEGIN) && SetEndOfFile(File);
}
}  // namespace

void TdsIOUtils::RewriteFile(const std::string& FileName, const std::string& Bytes)
{
  // A name with a NUL inside would be cut short by the system and name another file.
  const bool named = FileName.find('\0') == std::string::npos;
  THandle file(named ? CreateFileA(FileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr)
                     : INVALID_HANDLE_VALUE);
  if (file.get() == INVALID_HANDLE_VALUE)
    throw EFileError("Cannot create file \"" + FileName + "\". " +
                     SysErrorMessage(named ? GetLastError() : ERROR_INVALID_NAME));
  const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  const LONGLONG size = static_cast<LONGLONG>(Bytes.size());
  LARGE_INTEGER old;
  DWORD error = ERROR_SUCCESS;
  if (!GetFileSizeEx(file.get(), &old)) {
    error = GetLastError();
  } else if (size > old.QuadPart &&
             !WriteAt(file.get(), old.QuadPart, Bytes.data() + old.QuadPart, Bytes.size() - size_t(old.QuadPart))) {
    // Only the bytes beyond the old end need room on the disk: they go first, and when they do not
    // fit, the file is cut back to its old content, untouched.
    error = GetLastError();
    CutAt(file.get(), old.QuadPart);
  } else if (!WriteAt(file.get(), 0, Bytes.data(), size_t(std::min(size, old.QuadPart))) ||
             (size < old.QuadPart && !CutAt(file.get(), size))) {
    error = GetLastError();
  }
  if (error == ERROR_SUCCESS)
    return;
  file.reset();
  if (created)
    DeleteFileA(FileName.c_str());  // no file was there before the failed write
  throw EFileError("Cannot write to file \"" + FileName + "\". " + SysErrorMessage(error));
}

bool TdsIOUtils::MoveInPlaceOf(const std::string& Replacement, const std::string& FileName)
{
  if (Replacement.find('\0') != std::string::npos || FileName.find('\0') != std::string::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  return MoveFileExA(Replacement.c_str(), FileName.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void TdsIOUtils::ReplaceFileContent(const std::string& FileName, const std::string& Bytes)
{
  const std::string replacement = ReplacementName(FileName);
  bool created = false;
  DWORD error = 0;
  if (!WriteWhole(replacement, Bytes, created, error)) {
    if (created)
      DeleteFileA(replacement.c_str());
    throw EFileError((created ? "Cannot write to file \"" : "Cannot create file \"") + FileName + "\". " +
                     SysErrorMessage(error));
  }
  if (MoveInPlaceOf(replacement, FileName))
    return;
  DeleteFileA(replacement.c_str());
  RewriteFile(FileName, Bytes);
}

std::string TdsIOUtils::LoadFromFile(const std::string& FileName)
{
  THandle file(FileName.find('\0') == std::string::npos
                   ? CreateFileA(FileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                   : INVALID_HANDLE_VALUE);
  if (file.get() == INVALID_HANDLE_VALUE)
    throw EFileError("Cannot open file \"" + FileName + "\". " + SysErrorMessage(GetLastError()));
  std::string bytes;
  char buffer[16384];
  DWORD got = 0;
  for (;;) {
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr))
      throw EFileError("Cannot read file \"" + FileName + "\". " + SysErrorMessage(GetLastError()));
    if (got == 0)
      return bytes;
    bytes.append(buffer, got);
  }
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
