// The version boundary on Windows NT 4.0 (major version 4 on the NT platform): not 2000 or later,
// whatever the platform.
#include <windows.h>

#include <gtest/gtest.h>

#include "util/UdsEnvironment.h"

namespace {

TEST(EnvironmentNT40, MajorVersionFourIsNotWin2KOrLater)
{
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_TRUE(GetVersionExA(&info));
  ASSERT_EQ(info.dwMajorVersion, 4u);
  ASSERT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  EXPECT_EQ(TdsEnvironment::WindowsMajorVersion(), 4u);
  EXPECT_FALSE(TdsEnvironment::IsWin2KOrLater());
}

}  // namespace
