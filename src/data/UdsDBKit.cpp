#include "data/UdsDBKit.h"

void TConnectInfo::Assign(const TPersistent& Source)
{
  if (auto* info = dynamic_cast<const TConnectInfo*>(&Source)) {
    Text1 = info->Text1;
    Text2 = info->Text2;
    Text3 = info->Text3;
    Text4 = info->Text4;
  }
}

void TConnectInfo::Clear()
{
  Text1.clear();
  Text2.clear();
  Text3.clear();
  Text4.clear();
}

TdsDBKit::TdsDBKit() : FConnectionBorrowed(false), FConnectInfo(std::make_unique<TConnectInfo>()) {}

TdsDBKit::~TdsDBKit() = default;

void TdsDBKit::Disconnect() { FConnectInfo->Clear(); }
