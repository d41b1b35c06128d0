#include "scanning/UNewPageRecord.h"

#include <cstring>

#include "util/UStrConv.h"

std::string NewPageFieldText(const uint8_t* Record, const TNewPageField& Field)
{
  const char* start = reinterpret_cast<const char*>(Record) + Field.Offset;
  const void* zero = std::memchr(start, 0, Field.Width);
  const size_t length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - start) : Field.Width;
  return Trim(std::string(start, length));
}

TInvoiceBaseInfo InvoiceOfNewPage(const uint8_t* Record)
{
  TInvoiceBaseInfo info;
  info.Info1 = NewPageFieldText(Record, NewPageField::Info1);
  info.Info2 = NewPageFieldText(Record, NewPageField::Info2);
  info.Info3 = NewPageFieldText(Record, NewPageField::Info3);
  info.Info4 = NewPageFieldText(Record, NewPageField::Info4);
  info.Info5 = NewPageFieldText(Record, NewPageField::Info5);
  info.Info6 = NewPageFieldText(Record, NewPageField::Info6);
  info.Info7 = NewPageFieldText(Record, NewPageField::Info7);
  info.Info8 = NewPageFieldText(Record, NewPageField::Info8);
  return info;
}
