// main() of the wine test programs. After the last test the string blocks must have come out even,
// as a Delphi host's memory manager reports at exit: no block freed that was not live (a wrong
// pointer, a wrong calling convention), and, once every host has unloaded the library, no block
// left over from the host or the library.
#include <gtest/gtest.h>

#include "HostStrings.h"
#include "TestHost.h"

namespace {
class TStringBlockBalance : public ::testing::Environment {
public:
  void SetUp() override
  {
    FBadFrees = THostStrings::BadFrees();
    FLiveBlocks = THostStrings::LiveBlocks();
  }
  void TearDown() override
  {
    EXPECT_EQ(THostStrings::BadFrees(), FBadFrees)
        << "borlndmm.dll was asked to free or reallocate what is no live block of its heap";
    if (TTestHost::LibraryWasLoaded() && TTestHost::LiveHosts() == 0) {
      EXPECT_EQ(THostStrings::LiveBlocks(), FLiveBlocks)
          << "string blocks of borlndmm.dll still live after every host unloaded the library: a leak";
    }
  }

private:
  int FBadFrees = 0;
  int FLiveBlocks = 0;
};
}  // namespace

int main(int argc, char** argv)
{
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new TStringBlockBalance);
  return RUN_ALL_TESTS();
}
