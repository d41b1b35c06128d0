// The call frame and the business objects, white-box: what the operation sees, what the frame holds
// and releases, and that nothing created by a call outlives it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <new>

#include "HostStrings.h"
#include "boundary/UCallFrame.h"
#include "boundary/UDLLParams.h"
#include "scanning/UScannerRX.h"
#include "ui/UApplication.h"
#include "util/UdsErrors.h"

// Live C++ allocations of the whole program (library code included: it is linked in). The
// replacements pair malloc with free, which GCC cannot see through the inlined containers.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
static std::atomic<long> g_liveAllocations{0};
void* operator new(size_t n)
{
  void* p = std::malloc(n ? n : 1);
  if (!p)
    throw std::bad_alloc();
  ++g_liveAllocations;
  return p;
}
void operator delete(void* p) noexcept
{
  if (p) {
    --g_liveAllocations;
    std::free(p);
  }
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

struct TRecord {
  THostString Reserved24{"r24"}, Reserved28{"r28"}, Config{"C:\\cfg\\"}, Image, Result{"C:\\out\\result.txt"},
      Options{"<Options/>"};
  explicit TRecord(const std::string& image) : Image(image) {}
  TScanDLLParams Params(HWND app = reinterpret_cast<HWND>(0x1234)) const
  {
    TScanDLLParams p = {};
    p.AppHandle = app;
    p.Reserved24 = Reserved24.S;
    p.Reserved28 = Reserved28.S;
    p.ConfigFolder = Config.S;
    p.ImageFolder = Image.S;
    p.ResultFile = Result.S;
    p.OptionsXML = Options.S;
    return p;
  }
  std::vector<QRX_String> Strings() const
  {
    return {Reserved24.S, Reserved28.S, Config.S, Image.S, Result.S, Options.S};
  }
};

class CallFrame : public ::testing::Test {
protected:
  void TearDown() override { ClearDLLParams(); }
};

TEST_F(CallFrame, SecondCallSeesOnlyItsOwnRecordAndReleasesTheFirstOnce)
{
  TRecord first("C:\\first\\"), second("D:\\second\\");
  std::vector<std::string> seen;
  auto look = [&](TScannerRX&) { seen.push_back(ParamImageFolder()); };

  ASSERT_TRUE(RunCallFrame(first.Params(), nullptr, nullptr, look));
  for (QRX_String s : first.Strings())
    EXPECT_EQ(THostStrings::RefCount(s), 2) << "DLLParams keeps one reference after the call";

  ASSERT_TRUE(RunCallFrame(second.Params(), nullptr, nullptr, look));
  EXPECT_EQ(seen, (std::vector<std::string>{"C:\\first\\", "D:\\second\\"}));
  for (QRX_String s : first.Strings())
    EXPECT_EQ(THostStrings::RefCount(s), 1) << "released exactly once";
  for (QRX_String s : second.Strings())
    EXPECT_EQ(THostStrings::RefCount(s), 2);

  ClearDLLParams();
  for (QRX_String s : second.Strings())
    EXPECT_EQ(THostStrings::RefCount(s), 1);
}

TEST_F(CallFrame, StringsAreHeldWhileTheOperationRunsEvenIfDLLParamsIsReplaced)
{
  TRecord outer("C:\\outer\\"), inner("C:\\inner\\");
  THostString id("401"), mode("G");
  ASSERT_TRUE(RunCallFrame(outer.Params(), id.S, mode.S, [&](TScannerRX&) {
    EXPECT_EQ(THostStrings::RefCount(id.S), 2);
    EXPECT_EQ(THostStrings::RefCount(mode.S), 2);
    // A call made from inside (the host's page handler) replaces DLLParams...
    ASSERT_TRUE(RunCallFrame(inner.Params(), nullptr, nullptr, [](TScannerRX&) {}));
    EXPECT_EQ(ParamImageFolder(), "C:\\inner\\");
    // ...while the outer call's own references keep its strings alive.
    for (QRX_String s : outer.Strings())
      EXPECT_EQ(THostStrings::RefCount(s), 2);
  }));
  EXPECT_EQ(THostStrings::RefCount(id.S), 1);
  EXPECT_EQ(THostStrings::RefCount(mode.S), 1);
  for (QRX_String s : outer.Strings())
    EXPECT_EQ(THostStrings::RefCount(s), 1);
}

TEST_F(CallFrame, RaisingOperationFreesEverythingAndKeepsTheMessage)
{
  TRecord record("C:\\img\\");
  ASSERT_TRUE(RunCallFrame(record.Params(), nullptr, nullptr, [](TScannerRX&) {}));  // warm-up: DLLParams set
  THostString id("7");
  LastFrameError().reserve(256);  // the kept message is meant to outlive the call
  const long allocations = g_liveAllocations;
  const int blocks = THostStrings::LiveBlocks();

  bool ok = RunCallFrame(record.Params(), id.S, nullptr, [](TScannerRX&) { throw EConvertError("'x' is not a valid integer value"); });

  EXPECT_FALSE(ok);
  EXPECT_EQ(LastFrameError(), "'x' is not a valid integer value");
  EXPECT_EQ(THostStrings::RefCount(id.S), 1);
  for (QRX_String s : record.Strings())
    EXPECT_EQ(THostStrings::RefCount(s), 2);
  EXPECT_EQ(THostStrings::LiveBlocks(), blocks);
  EXPECT_EQ(g_liveAllocations, allocations) << "the scanner object, its table and list are freed";
}

TEST_F(CallFrame, ConstantStringsAreNeverTouched)
{
  const std::vector<std::string> texts = {"r24", "r28", "C:\\cfg\\", "C:\\img\\", "C:\\res.txt", "<x/>"};
  std::vector<QRX_String> constants;
  for (const std::string& t : texts)
    constants.push_back(THostStrings::Constant(t));
  std::vector<std::string> before;
  for (QRX_String s : constants)
    before.emplace_back(s - 8, s + texts[before.size()].size() + 1);

  TScanDLLParams p = {};
  QRX_String* slots = ParamStringSlots(p);
  for (size_t i = 0; i < constants.size(); ++i)
    slots[i] = constants[i];
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(RunCallFrame(p, constants[0], constants[1], [](TScannerRX&) {}));
  ClearDLLParams();

  for (size_t i = 0; i < constants.size(); ++i)
    EXPECT_EQ(std::string(constants[i] - 8, constants[i] + texts[i].size() + 1), before[i]) << texts[i];
}

TEST_F(CallFrame, OneBlockInSeveralSlotsIsCountedPerSlot)
{
  THostString shared("C:\\same\\");
  TScanDLLParams p = {};
  p.ConfigFolder = p.ImageFolder = p.ResultFile = shared.S;
  ASSERT_TRUE(RunCallFrame(p, shared.S, nullptr, [&](TScannerRX&) { EXPECT_EQ(THostStrings::RefCount(shared.S), 8); }));
  EXPECT_EQ(THostStrings::RefCount(shared.S), 4);
  ClearDLLParams();
  EXPECT_EQ(THostStrings::RefCount(shared.S), 1);
}

TEST_F(CallFrame, AdoptsTheHostsApplicationWindow)
{
  TRecord record("");
  ASSERT_TRUE(RunCallFrame(record.Params(reinterpret_cast<HWND>(0x5678)), nullptr, nullptr, [](TScannerRX&) {}));
  EXPECT_EQ(TApplication::Handle(), reinterpret_cast<HWND>(0x5678));
}

TEST_F(CallFrame, NonLibraryExceptionsAreCaughtToo)
{
  TRecord record("");
  EXPECT_FALSE(RunCallFrame(record.Params(), nullptr, nullptr, [](TScannerRX&) { throw 42; }));
  EXPECT_FALSE(LastFrameError().empty());
}

TEST(BusinessObjects, CreatingAndFreeingLeavesNothingBehind)
{
  const long allocations = g_liveAllocations;
  { TScannerRX scanner; }
  { auto scanner = std::make_unique<TScannerRX>(); }
  EXPECT_EQ(g_liveAllocations, allocations);
}

TEST(BusinessObjects, PlainScannerDeletesTheResultFileAndReturnsZero)
{
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  std::string path = std::string(dir) + "qrx_plain_result.txt";
  std::ofstream(path) << "KVRNEWFP.T0001\n";
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
  THostString result(path);
  TScanDLLParams p = {};
  p.ResultFile = result.S;
  AssignDLLParams(p);

  TScanner scanner;
  EXPECT_EQ(scanner.ScanInvoice(), 0);
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(scanner.ScanInvoice(), 0) << "no file is fine too";
  ClearDLLParams();
}

TEST(BusinessObjects, PlainScannerSelectionOperationsAreAbstract)
{
  TScanner scanner;
  std::string id, mode;
  EXPECT_THROW(scanner.SelectScanner(false, id, mode), EdsError);
  EXPECT_THROW(scanner.SetScanMode("401", "G"), EdsError);
}

}  // namespace
