// The test host is a Delphi host: it allocates and frees its string blocks through borlndmm.dll in
// Delphi's calling convention, and its runs fail when it leaks a block or frees one wrongly. The two
// disabled cases prove the failure: ctest runs each on its own and expects the run to report it.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "HostStrings.h"
#include "TestHost.h"

namespace {

TEST(HostStrings, BlocksComeAndGoThroughTheSharedMemoryManager)
{
  const int live = THostStrings::LiveBlocks(), bad = THostStrings::BadFrees();
  std::vector<QRX_String> blocks;
  for (int length : {1, 7, 260, 70000})
    blocks.push_back(THostStrings::New(std::string(static_cast<size_t>(length), 'x')));
  EXPECT_EQ(THostStrings::LiveBlocks(), live + 4);
  EXPECT_GE(THostStrings::LiveBytes(), 70000 + 260 + 7 + 1);
  for (QRX_String s : blocks) {
    EXPECT_EQ(THostStrings::RefCount(s), 1);
    THostStrings::Release(s);
  }
  EXPECT_EQ(THostStrings::LiveBlocks(), live) << "every block given back";
  EXPECT_EQ(THostStrings::BadFrees(), bad) << "each with the pointer it was allocated at";
}

// A pointer into a block is no block: borlndmm.dll refuses it and counts it, and wine reports it.
TEST(HostStrings, DISABLED_AWrongFreeIsCaught)
{
  const int bad = THostStrings::BadFrees();
  QRX_String s = THostStrings::New("0123456789");
  THostStrings::FreeBlock(s);  // the block begins 8 bytes before the text: a wrong pointer
  EXPECT_EQ(THostStrings::BadFrees(), bad + 1);
  THostStrings::Release(s);
}

// A block the host never gives back fails the run once every host has unloaded the library.
TEST(HostStrings, DISABLED_ALeakIsCaught)
{
  TTestHost host;
  THostStrings::New("forgotten");
}

}  // namespace
