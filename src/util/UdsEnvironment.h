// The Windows version and the system's special folders. Every test of the Windows version in the
// library goes through this class.
#pragma once
#include <cstdint>
#include <string>

class TdsEnvironment {
public:
  TdsEnvironment() = delete;

  // The system's major version number (4 for Windows 95/98/Me and NT 4, 5 for 2000/XP, ...);
  // 0 when the system does not tell.
  static unsigned WindowsMajorVersion();
  // Major version 5 or later (Windows 2000 onwards), whatever the platform identifier.
  static bool IsWin2KOrLater();
  // Kind: 0 Windows, 1 system, 2 program files, 3 temp, 4 user desktop, 5 common desktop,
  // 6 user programs, 7 common programs. Ends in "\", or "" when unknown or missing.
  static std::string GetSystemFolder(uint8_t Kind);
};
