// The call frame as a host sees it: strings held and released, errors as structured exceptions.
#include <gtest/gtest.h>

#include "TestHost.h"

TEST(Frame, OperationErrorReachesHostAsStructuredException)
{
  int before = THostStrings::LiveBlocks();
  {
    TTestHost host;
    THostParams hp;
    hp.ImageFolder = "C:\\images\\";
    TScanDLLParams p = host.Record(hp);
    THostException e = CallCatchingLibraryError([&] { host.ScanInvoice(p); });
    EXPECT_TRUE(e.Raised);
    EXPECT_EQ(e.Code, QRX_EXCEPTION_CODE);
    EXPECT_NE(e.Message.find("ScanInvoice"), std::string::npos) << e.Message;
  }
  EXPECT_EQ(THostStrings::LiveBlocks(), before);
}
