// The in-memory table's filter on arbitrary text: parsing never reads past the text, a parsed
// condition written back as Name = 'literal' parses to the same condition, and the filtered
// table shows exactly the records whose field text equals the literal.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "data/UVirtualTable.h"
#include "util/UStrConv.h"
#include "util/UdsErrors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  std::string input(reinterpret_cast<const char*>(data), size);
  // Half the inputs are turned into a well-formed condition: the first byte chooses where the
  // name ends, the rest is the value, quoted as the library quotes SQL literals.
  std::string text = input;
  if (size > 0 && (data[0] & 1)) {
    size_t cut = 1 + data[0] % (size + 1) / 2;
    std::string name;
    for (size_t i = 1; i < cut && i < size; ++i)
      if ((data[i] >= 'A' && data[i] <= 'Z') || (data[i] >= '0' && data[i] <= '9') || data[i] >= 0x80)
        name += static_cast<char>(data[i]);
    if (name.empty())
      name = "FID";
    std::string value = cut < size ? input.substr(cut) : std::string();
    text = name + " = " + QuotedStr(value);
    TFilterCondition made;
    bool madeEmpty = true;
    FUZZ_CHECK(ParseFilterCondition(text, made, madeEmpty));
    FUZZ_CHECK(!madeEmpty && made.FieldName == name && made.Value == value);
  }
  TFilterCondition cond;
  bool empty = false;
  bool parsed = ParseFilterCondition(text, cond, empty);
  if (parsed && !empty) {
    TFilterCondition again;
    bool empty2 = true;
    FUZZ_CHECK(ParseFilterCondition(cond.FieldName + " = " + QuotedStr(cond.Value), again, empty2));
    FUZZ_CHECK(!empty2 && again.FieldName == cond.FieldName && again.Value == cond.Value);
  }

  // Records: the literal itself (if any), pieces of the input, a NULL.
  TVirtualTable t;
  t.AddFieldDef({parsed && !empty ? cond.FieldName : std::string("FID"), ftString, 20});
  std::vector<std::string> values = {parsed ? cond.Value : std::string(), text.substr(0, text.size() / 2), text, "'"};
  for (const std::string& v : values)
    t.AppendRecord({{v, false}});
  t.AppendRecord({TFieldValue{}});
  t.Open();
  t.SetFilter(text);
  bool accepted = true;
  try {
    t.SetFiltered(true);
  } catch (const EDatabaseError&) {
    accepted = false;
  }
  FUZZ_CHECK(accepted == parsed);
  FUZZ_CHECK(t.Filtered() == parsed);
  int expected = 0;
  for (const std::string& v : values)
    expected += !parsed || empty || v == cond.Value;
  if (!parsed || empty)
    expected += 1;  // the NULL record shows when nothing is filtered
  FUZZ_CHECK(t.RecordCount() == expected);
  int seen = 0;
  for (t.First(); !t.Eof(); t.Next()) {
    ++seen;
    if (parsed && !empty)
      FUZZ_CHECK(t.FieldValueAt(0).Text == cond.Value && !t.FieldValueAt(0).IsNull);
  }
  FUZZ_CHECK(seen == expected);
  return 0;
}
