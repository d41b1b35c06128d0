// The Windows version and the special folders on a system that reports Windows 2000 or later.
#include <windows.h>
#include <shlobj.h>

#include <string>

#include <gtest/gtest.h>

#include "util/UdsEnvironment.h"

namespace {

std::string Special(int csidl)
{
  char buffer[MAX_PATH + 1] = {};
  return SHGetSpecialFolderPathA(nullptr, buffer, csidl, TRUE) ? buffer : "";
}

// The folder as the system reports it, with exactly one "\" at the end.
std::string WithOneBackslash(std::string folder)
{
  while (!folder.empty() && folder.back() == '\\')
    folder.pop_back();
  return folder + "\\";
}

TEST(Environment, IsWin2KOrLater)
{
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_TRUE(GetVersionExA(&info));
  ASSERT_GE(info.dwMajorVersion, 5u);
  EXPECT_EQ(TdsEnvironment::WindowsMajorVersion(), info.dwMajorVersion);
  EXPECT_TRUE(TdsEnvironment::IsWin2KOrLater());
}

TEST(Environment, SystemFolders)
{
  char windows[MAX_PATH] = {}, system[MAX_PATH] = {}, temp[MAX_PATH] = {};
  ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
  ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
  ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
  // Special() creates the shell folders, so each of them exists here.
  struct Case {
    uint8_t kind;
    std::string expected;
  } cases[] = {
    {0, WithOneBackslash(windows)},
    {1, WithOneBackslash(system)},
    {2, WithOneBackslash(Special(CSIDL_PROGRAM_FILES))},
    {3, WithOneBackslash(temp)},
    {4, WithOneBackslash(Special(CSIDL_DESKTOPDIRECTORY))},
    {5, WithOneBackslash(Special(CSIDL_COMMON_DESKTOPDIRECTORY))},
    {6, WithOneBackslash(Special(CSIDL_PROGRAMS))},
    {7, WithOneBackslash(Special(CSIDL_COMMON_PROGRAMS))},
    {8, ""},
    {9, ""},
    {200, ""},
    {255, ""},
  };
  for (const Case& c : cases) {
    std::string folder = TdsEnvironment::GetSystemFolder(c.kind);
    EXPECT_EQ(folder, c.expected) << int(c.kind);
    if (!folder.empty()) {
      EXPECT_NE(folder.substr(folder.size() - 2), "\\\\") << int(c.kind);
      DWORD attr = GetFileAttributesA(folder.c_str());
      EXPECT_TRUE(attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY)) << folder;
    }
  }
  // All users' folders, not the user's own.
  EXPECT_NE(TdsEnvironment::GetSystemFolder(5), TdsEnvironment::GetSystemFolder(4));
  EXPECT_NE(TdsEnvironment::GetSystemFolder(7), TdsEnvironment::GetSystemFolder(6));
}

// A special folder that does not exist gives the empty text.
TEST(Environment, MissingSpecialFolderIsEmpty)
{
  std::string programs = Special(CSIDL_PROGRAMS);
  ASSERT_FALSE(programs.empty());
  std::string moved = programs + ".qrx-moved";
  ASSERT_TRUE(MoveFileA(programs.c_str(), moved.c_str()));
  std::string folder = TdsEnvironment::GetSystemFolder(6);
  ASSERT_TRUE(MoveFileA(moved.c_str(), programs.c_str()));
  EXPECT_EQ(folder, "");
}

}  // namespace
