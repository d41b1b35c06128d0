// The engine's page record: 738 bytes that FpGetNewPage fills for a delivered page. Every text is a
// fixed-width byte field; its value ends at the first zero byte or at the field's width.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "scanning/UInvoiceBaseInfo.h"

constexpr size_t kNewPageRecordSize = 738;

struct TNewPageField {
  size_t Offset;
  size_t Width;
};

// Where the fields lie (the record's order differs from the invoice's).
namespace NewPageField {
constexpr TNewPageField ImagePath = {0, 258};
constexpr TNewPageField Info2 = {258, 20};
constexpr TNewPageField Info3 = {278, 20};
constexpr TNewPageField Info1 = {348, 20};
constexpr TNewPageField Info5 = {378, 30};
constexpr TNewPageField Info6 = {408, 30};
constexpr TNewPageField Info7 = {478, 40};
constexpr TNewPageField Info8 = {518, 40};
constexpr TNewPageField Info4 = {558, 180};
}  // namespace NewPageField

// A field's value: its bytes up to the first zero byte or its width, without leading and trailing
// bytes of value 0x20 or below. Record holds kNewPageRecordSize bytes.
std::string NewPageFieldText(const uint8_t* Record, const TNewPageField& Field);

// Info1..Info8 of a delivered page; ImageFile is left for the caller to name.
TInvoiceBaseInfo InvoiceOfNewPage(const uint8_t* Record);
