// The copy into "[Scan]" on arbitrary files: lines outside the old body of "[Scan]" are never lost
// or reordered, and afterwards the section that the system's profile functions read as "[Scan]"
// holds exactly the body they read as the scanner's.
// Input: the text of simple.cfg; the scanner's section is Scan1. The first byte picks how the two
// headers the harness adds are written (blanks, letter case, text after the bracket).
#include <cstdint>
#include <optional>
#include <string>

#include "FuzzCheck.h"
#include "catalogue/UScanMode.h"

namespace {

// The body of section Name as GetPrivateProfileString finds it: the first line that, without the
// blanks around it, starts with "[" and names Name (ASCII letters in any case) up to its first "]";
// the body runs to the next line that contains "[". None when no line names the section.
std::optional<TStringList> ProfileBody(const TStringList& Lines, const std::string& Name)
{
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (size_t i = 0; i < Lines.size(); ++i) {
    const std::string& line = Lines[i];
    size_t open = 0;
    while (open < line.size() && static_cast<unsigned char>(line[open]) <= ' ')
      ++open;
    const size_t close = line.find(']', open);
    if (open >= line.size() || line[open] != '[' || close == std::string::npos || close - open - 1 != Name.size())
      continue;
    bool same = true;
    for (size_t k = 0; k < Name.size(); ++k)
      same = same && lower(line[open + 1 + k]) == lower(Name[k]);
    if (!same)
      continue;
    TStringList body;
    for (size_t j = i + 1; j < Lines.size() && Lines[j].find('[') == std::string::npos; ++j)
      body.push_back(Lines[j]);
    return body;
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static const char* const kScannerHeaders[] = {"[Scan1]", " [SCAN1]\t", "[scan1] ; roll feed", "[Scan1]]"};
  static const char* const kScanHeaders[] = {"[Scan]", "[Scan] ; shared by both drivers", "  [sCaN]x", "[SCAN]]"};
  const uint8_t style = size > 0 ? data[0] : 0;
  // Short inputs rarely spell a header: give the harness some to work with.
  std::string text = std::string(kScannerHeaders[style % 4]) + "\r\n" +
                     std::string(reinterpret_cast<const char*>(data), size) + "\r\n" + kScanHeaders[(style / 4) % 4] +
                     "\r\nold\r\n";
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
  // What the driver reads: "[Scan]" is now the scanner's body, and the scanner's own is unchanged.
  const std::optional<TStringList> scanner = ProfileBody(before, "Scan1");
  FUZZ_CHECK(scanner.has_value());
  FUZZ_CHECK(ProfileBody(after, "Scan") == scanner);
  FUZZ_CHECK(ProfileBody(after, "Scan1") == scanner);
  // Copying again changes nothing.
  TStringList again = after;
  CopySectionBodyToScan(again, "Scan1");
  FUZZ_CHECK(again == after);
  return 0;
}
