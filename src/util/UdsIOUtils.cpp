#include "util/UdsIOUtils.h"

#ifdef _WIN32
#include <windows.h>

bool TdsIOUtils::RemoveFile(const std::string& FileName)
{
  DWORD attr = GetFileAttributesA(FileName.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY))
    return true;
  SetFileAttributesA(FileName.c_str(), attr & ~FILE_ATTRIBUTE_READONLY);
  return DeleteFileA(FileName.c_str()) != 0;
}
#endif
