// On Windows older than 5.0 the engine's scanner type comes from "ScanThread_98", default 1.
#include <gtest/gtest.h>

#include "DriverConfigFixture.h"
#include "util/UdsEnvironment.h"

namespace {

class DriverConfigWin98 : public TDriverConfigFixture {};

TEST_F(DriverConfigWin98, RunsOnOldWindows) { ASSERT_FALSE(TdsEnvironment::IsWin2KOrLater()); }

TEST_F(DriverConfigWin98, ScannerTypeComesFromScanThread98)
{
  struct Case {
    const char* body;  // section Scan250
    const char* type;
  } cases[] = {
      {"ScanThread_2K=5\r\n", "1"},
      {"ScanThread_2K=5\r\nScanThread_98=3\r\n", "3"},
      {"ScanThread_98=x\r\n", "1"},
      {"", "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    WriteFile(Cfg(), std::string("[Scan250]\r\n") + c.body);
    TScanConfig::Prepare("250", {});
    EXPECT_EQ(Ini(Cfg(), "Scan250", "ScannerType"), c.type);
    EXPECT_EQ(Ini(Cfg(), "Scan", "ScannerType"), c.type);
  }
}

}  // namespace
