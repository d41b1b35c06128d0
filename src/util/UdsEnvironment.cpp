#include "util/UdsEnvironment.h"

#include <windows.h>
#include <shlobj.h>

#include "util/UdsIOUtils.h"

unsigned TdsEnvironment::WindowsMajorVersion()
{
  // The basic 148-byte record: the extended one is refused by Windows 95 and NT 4.
  OSVERSIONINFOA info = {};
  static_assert(sizeof(info) == 148, "OSVERSIONINFOA is 148 bytes");
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExA(&info))
    return 0;
  return info.dwMajorVersion;
}

bool TdsEnvironment::IsWin2KOrLater() { return WindowsMajorVersion() >= 5; }

std::string TdsEnvironment::GetSystemFolder(uint8_t Kind)
{
  // One byte more than the system is told of, so the text always ends in a NUL.
  char buffer[MAX_PATH + 1] = {};
  const DWORD size = MAX_PATH;
  // The length the call reports; the buffer size or more means the text did not fit.
  DWORD length = 0;
  auto special = [&](int csidl) {
    length = SHGetSpecialFolderPathA(nullptr, buffer, csidl, FALSE) ? 1 : 0;
  };
  switch (Kind) {
  case 0: length = GetWindowsDirectoryA(buffer, size); break;
  case 1: length = GetSystemDirectoryA(buffer, size); break;
  case 2: special(CSIDL_PROGRAM_FILES); break;
  case 3: length = GetTempPathA(size, buffer); break;
  case 4: special(CSIDL_DESKTOPDIRECTORY); break;
  case 5: special(IsWin2KOrLater() ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY); break;
  case 6: special(CSIDL_PROGRAMS); break;
  case 7: special(IsWin2KOrLater() ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS); break;
  default: return {};
  }
  if (length == 0 || length >= size)
    return {};
  std::string folder(buffer);
  return folder.empty() ? folder : TdsIOUtils::NormalizeDirectory(folder);
}
