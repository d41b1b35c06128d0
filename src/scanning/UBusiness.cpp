#include "scanning/UBusiness.h"

TBusiness::TBusiness()
    : FVirtualTable(std::make_unique<TVirtualTable>()), FStringList(std::make_unique<TStringList>())
{
}

TBusiness::~TBusiness()
{
  FVirtualTable.reset();
  FStringList.reset();
}
