// The version boundary on a system that reports Windows 2000 (major version 5, minor 0): it counts
// as 2000 or later, so the all-users folders and the Windows 2000 scanner type apply.
#include <windows.h>

#include <gtest/gtest.h>

#include "DriverConfigFixture.h"
#include "util/UdsEnvironment.h"

namespace {

TEST(EnvironmentWin2K, MajorVersionFiveIsWin2KOrLater)
{
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_TRUE(GetVersionExA(&info));
  ASSERT_EQ(info.dwMajorVersion, 5u);
  ASSERT_EQ(info.dwMinorVersion, 0u);
  EXPECT_EQ(TdsEnvironment::WindowsMajorVersion(), 5u);
  EXPECT_TRUE(TdsEnvironment::IsWin2KOrLater());
}

class DriverConfigWin2K : public TDriverConfigFixture {};

TEST_F(DriverConfigWin2K, ScannerTypeComesFromScanThread2K)
{
  WriteFile(Cfg(), "[Scan250]\r\nScanThread_2K=5\r\nScanThread_98=3\r\n");
  TScanConfig::Prepare("250", {});
  EXPECT_EQ(Ini(Cfg(), "Scan250", "ScannerType"), "5");
  WriteFile(Cfg(), "[Scan250]\r\nScanThread_98=3\r\n");
  TScanConfig::Prepare("250", {});
  EXPECT_EQ(Ini(Cfg(), "Scan250", "ScannerType"), "2");
}

}  // namespace
