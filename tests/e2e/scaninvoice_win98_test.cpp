// A scan on a system that reports Windows 98: the TWAIN default source goes to "Win.ini", and the
// scanner type comes from the Windows 98 entry.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "BoxRecorder.h"
#include "TestDatabase.h"
#include "TestHost.h"
#include "TestScan.h"

namespace {

std::string WinIni()
{
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  return std::string(windows) + "\\Win.ini";
}

std::string WinIniTwain(const char* Entry)
{
  char value[512] = {};
  GetPrivateProfileStringA("Twain", Entry, "", value, sizeof value, WinIni().c_str());
  return value;
}

void ClearWinIniTwain()
{
  WritePrivateProfileStringA("Twain", "默认资源", nullptr, WinIni().c_str());
  WritePrivateProfileStringA("Twain", "Default Source", nullptr, WinIni().c_str());
}

TEST(ScanInvoiceWin98, TheDefaultSourceGoesToWinIni)
{
  ASSERT_EQ(GetACP(), 936u);
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  ASSERT_EQ(info.dwMajorVersion, 4u);
  ClearWinIniTwain();
  ClearRegistryTwainSource();

  TBoxRecorder boxes;
  TTestScan scan;
  const std::string driver = scan.AddDriverFile("Quillon\\win98.ds");
  TTestDatabase db({{"250", 1, "甲", "A", "G", 1, "Quillon\\missing.ds;" + driver}});
  TTestScan::WriteFileBytes(scan.ConfigFile(), "[Scan250]\r\nScanThread_2K=5\r\nScanThread_98=3\r\n[Scan]\r\n");
  scan.Scenario("status 2\n");
  TTestHost host;
  TScanDLLParams p = host.Record(scan.Params(db.HostConnection()));
  int result = -99;
  THostException e = CallCatchingLibraryError([&] { result = host.ScanInvoice(p); });
  EXPECT_FALSE(e.Raised) << e.Message;
  EXPECT_EQ(result, 0);

  const std::string source = TTestScan::TwainFolder() + driver;
  EXPECT_EQ(WinIniTwain("默认资源"), source);
  EXPECT_EQ(WinIniTwain("Default Source"), source);
  EXPECT_EQ(RegistryTwainSource("Default Source"), "") << "the registry is not touched";
  char type[16] = {};
  GetPrivateProfileStringA("Scan250", "ScannerType", "", type, sizeof type, scan.ConfigFile().c_str());
  EXPECT_STREQ(type, "3");
  ClearWinIniTwain();
}

}  // namespace
