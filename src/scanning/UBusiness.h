// Root of the library's business objects: one is created per exported call and freed before the
// call returns.
#pragma once
#include <memory>
#include <string>

#include "data/UVirtualTable.h"
#include "util/UdsStrUtils.h"

class TBusiness {
public:
  TBusiness();
  virtual ~TBusiness();
  TBusiness(const TBusiness&) = delete;
  TBusiness& operator=(const TBusiness&) = delete;

protected:
  std::unique_ptr<TVirtualTable> FVirtualTable;  // catalogue queries land here
  std::string FSQL;                              // text of the last query the object ran
  std::unique_ptr<TStringList> FStringList;      // general-purpose list
};
