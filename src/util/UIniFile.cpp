#include "util/UIniFile.h"

#include <windows.h>

#include <vector>

#include "util/UStrConv.h"
#include "util/UdsErrors.h"

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

void TIniFile::WriteString(const std::string& Section, const std::string& Ident, const std::string& Value)
{
  if (!WritePrivateProfileStringA(Section.c_str(), Ident.c_str(), Value.c_str(), FFileName.c_str()))
    throw EFileError("Unable to write to " + FFileName);
}

void TIniFile::WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value)
{
  WriteString(Section, Ident, IntToStr(Value));
}
