// The copy into "[Scan]" on arbitrary files: lines outside the old body of "[Scan]" are never lost
// or reordered, and afterwards "[Scan]" holds exactly the scanner's body.
// Input: the text of simple.cfg; the scanner's section is Scan1.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "catalogue/UScanMode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  // Short inputs rarely spell a header: give the harness some to work with.
  std::string text = "[Scan1]\r\n" + std::string(reinterpret_cast<const char*>(data), size) + "\r\n[Scan]\r\nold\r\n";
  const TStringList before = TextLines(text);
  FUZZ_CHECK(TextLines(LinesText(before)) == before);
  TStringList after = before;
  CopySectionBodyToScan(after, "Scan1");
  // Every line that is not a "[Scan]" body line survives, in order.
  size_t j = 0;
  for (const std::string& line : before) {
    size_t k = j;
    while (k < after.size() && after[k] != line)
      ++k;
    if (k < after.size())
      j = k + 1;
    else
      FUZZ_CHECK(line.find('[') == std::string::npos);  // only body lines may go
  }
  // Copying again changes nothing.
  TStringList again = after;
  CopySectionBodyToScan(again, "Scan1");
  FUZZ_CHECK(again == after);
  return 0;
}
