#include "util/UIniFile.h"

#include <windows.h>

#include <vector>

#include "util/UStrConv.h"
#include "util/UdsErrors.h"
#include "util/UdsIOUtils.h"

TIniFile::~TIniFile()
{
  // The documented "flush" form: writes out and forgets the cached copy of this file.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, FFileName.c_str());
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                 const std::string& Default) const
{
  // Values longer than the buffer are cut by the system, as with any profile read; the entries
  // this library reads are short.
  std::vector<char> buffer(2048);
  DWORD n = GetPrivateProfileStringA(Section.c_str(), Ident.c_str(), Default.c_str(), buffer.data(),
                                     static_cast<DWORD>(buffer.size()), FFileName.c_str());
  return std::string(buffer.data(), n);
}

int32_t TIniFile::ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default) const
{
  return StrToIntDef(ReadString(Section, Ident, ""), Default);
}

namespace {
bool WriteProfile(const std::string& Section, const std::string& Ident, const std::string& Value,
                  const std::string& FileName)
{
  const bool written = WritePrivateProfileStringA(Section.c_str(), Ident.c_str(), Value.c_str(), FileName.c_str());
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, FileName.c_str());  // out to the file, and forgotten
  return written;
}
}  // namespace

void TIniFile::WriteString(const std::string& Section, const std::string& Ident, const std::string& Value)
{
  if (FMode == ThroughCopy && TdsIOUtils::FileExists(FFileName)) {
    WriteThroughCopy(Section, Ident, Value);
    return;
  }
  if (!WritePrivateProfileStringA(Section.c_str(), Ident.c_str(), Value.c_str(), FFileName.c_str()))
    throw EFileError("Unable to write to " + FFileName);
}

void TIniFile::WriteThroughCopy(const std::string& Section, const std::string& Ident, const std::string& Value)
{
  const std::string copy = TdsIOUtils::ReplacementName(FFileName);
  if (FFileName.find('\0') != std::string::npos || !CopyFileA(FFileName.c_str(), copy.c_str(), FALSE))
    throw EFileError("Unable to write to " + FFileName);
  // Rewriting the copy frees its blocks first. The rewritten copy may be up to twice as long plus the
  // entry (where the system writes every line end anew as CR LF), so the disk must hold that much
  // more again, and a cluster to spare.
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  ULARGE_INTEGER available = {};
  const std::string folder = TdsIOUtils::GetFolder(copy);
  const bool room = GetFileAttributesExA(copy.c_str(), GetFileExInfoStandard, &data) &&
                    GetDiskFreeSpaceExA(folder.empty() ? nullptr : folder.c_str(), &available, nullptr, nullptr) &&
                    available.QuadPart >= uint64_t(data.nFileSizeLow) + Section.size() + Ident.size() +
                                              Value.size() + 4096;
  // CopyFile takes the attributes along: the copy must be writable to be written and to take the
  // file's place.
  SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!room || !WriteProfile(Section, Ident, Value, copy)) {
    DeleteFileA(copy.c_str());
    throw EFileError("Unable to write to " + FFileName + (room ? "" : ": the disk is full"));
  }
  if (TdsIOUtils::MoveInPlaceOf(copy, FFileName))
    return;
  // Refused (a reader holds the file open without letting it be replaced): in place after all.
  DeleteFileA(copy.c_str());
  if (!WritePrivateProfileStringA(Section.c_str(), Ident.c_str(), Value.c_str(), FFileName.c_str()))
    throw EFileError("Unable to write to " + FFileName);
}

void TIniFile::WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value)
{
  WriteString(Section, Ident, IntToStr(Value));
}
