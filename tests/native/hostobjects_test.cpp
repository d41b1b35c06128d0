#include "boundary/UHostObjects.h"

#include <gtest/gtest.h>

namespace {

TEST(HostObjectsTest, ControlPropertyNames)
{
  struct Case {
    const char* name;
    bool control;
  } cases[] = {
      {"ControlOfs0040000000000A3C", true},
      {"ControlOfs00400000abcdef01", true},
      {"Delphi00000F3C", true},
      {"Delphi0000f3c9", true},
      {"ControlOfs0040000000000A3", false},    // 15 digits
      {"ControlOfs0040000000000A3C0", false},  // 17 digits
      {"ControlOfs004000000000XA3C", false},
      {"controlofs0040000000000A3C", false},   // the prefix is exact
      {"Delphi0000F3C", false},
      {"Delphi00000F3C9", false},
      {"DelphiABCDEFGH", false},
      {"WndProcPtr00400000", false},
      {"", false},
      {"Delphi", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(THostObjects::IsControlPropertyName(c.name), c.control) << c.name;
}

}  // namespace
