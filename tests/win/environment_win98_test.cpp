// The Windows version and the special folders on a system that reports Windows 98: the folders
// of all users fall back to the user's own.
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

TEST(EnvironmentWin98, IsNotWin2KOrLater)
{
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_TRUE(GetVersionExA(&info));
  ASSERT_EQ(info.dwMajorVersion, 4u);
  EXPECT_EQ(TdsEnvironment::WindowsMajorVersion(), 4u);
  EXPECT_FALSE(TdsEnvironment::IsWin2KOrLater());
}

TEST(EnvironmentWin98, AllUsersFoldersFallBackToTheUsers)
{
  std::string desktop = Special(CSIDL_DESKTOPDIRECTORY), programs = Special(CSIDL_PROGRAMS);
  std::string commonDesktop = Special(CSIDL_COMMON_DESKTOPDIRECTORY);
  std::string commonPrograms = Special(CSIDL_COMMON_PROGRAMS);
  ASSERT_FALSE(desktop.empty());
  ASSERT_FALSE(programs.empty());
  // The fallback is only visible where the two folders differ.
  ASSERT_NE(desktop, commonDesktop);
  ASSERT_NE(programs, commonPrograms);

  EXPECT_EQ(TdsEnvironment::GetSystemFolder(5), desktop + "\\");
  EXPECT_EQ(TdsEnvironment::GetSystemFolder(4), desktop + "\\");
  EXPECT_EQ(TdsEnvironment::GetSystemFolder(7), programs + "\\");
  EXPECT_EQ(TdsEnvironment::GetSystemFolder(6), programs + "\\");
}

}  // namespace
