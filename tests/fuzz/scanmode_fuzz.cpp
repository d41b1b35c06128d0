// The copy into "[Scan]" on arbitrary files. A section's header is the line that reads "[name]"
// (blanks around it and ASCII letter case aside); its body runs to the next line holding a "[".
// Properties: outside the body of the first "[Scan]" not a line changes (nothing lost, nothing
// reordered; a missing "[Scan]" is added at the end); that body becomes the scanner's body; a file
// without the scanner's section is left alone; copying again changes nothing; the text reads back
// to the same lines. Input: the text of simple.cfg; the scanner's section is Scan1.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "catalogue/UScanMode.h"

namespace {
bool IsHeader(const std::string& Line, const std::string& Name)
{
  size_t from = 0, to = Line.size();
  while (from < to && static_cast<unsigned char>(Line[from]) <= 0x20)
    ++from;
  while (to > from && static_cast<unsigned char>(Line[to - 1]) <= 0x20)
    --to;
  if (to - from != Name.size() + 2 || Line[from] != '[' || Line[to - 1] != ']')
    return false;
  for (size_t i = 0; i < Name.size(); ++i) {
    char a = Line[from + 1 + i], b = Name[i];
    if (a >= 'a' && a <= 'z')
      a = static_cast<char>(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z')
      b = static_cast<char>(b - 'a' + 'A');
    if (a != b)
      return false;
  }
  return true;
}

size_t Header(const TStringList& Lines, const std::string& Name)
{
  size_t i = 0;
  while (i < Lines.size() && !IsHeader(Lines[i], Name))
    ++i;
  return i;
}

// The body after the header at Index: the lines up to the next one holding a "[".
TStringList Body(const TStringList& Lines, size_t Index)
{
  TStringList body;
  for (size_t i = Index + 1; i < Lines.size() && Lines[i].find('[') == std::string::npos; ++i)
    body.push_back(Lines[i]);
  return body;
}

TStringList Slice(const TStringList& Lines, size_t From, size_t To)
{
  return TStringList(Lines.begin() + static_cast<std::ptrdiff_t>(From), Lines.begin() + static_cast<std::ptrdiff_t>(To));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const std::string input(reinterpret_cast<const char*>(data), size);
  // Short inputs rarely spell a header: half of them get the scanner's section and an old "[Scan]".
  const std::string text = size > 0 && data[0] % 2 ? "[Scan1]\r\n" + input + "\r\n[Scan]\r\nold\r\n" : input;
  const TStringList before = TextLines(text);
  FUZZ_CHECK(TextLines(LinesText(before)) == before);
  TStringList after = before;
  CopySectionBodyToScan(after, "Scan1");

  const size_t source = Header(before, "Scan1");
  if (source == before.size()) {
    FUZZ_CHECK(after == before);
    return 0;
  }
  const TStringList body = Body(before, source);
  const size_t scan = Header(before, "Scan");
  if (scan == before.size()) {
    TStringList expected = before;
    expected.push_back("[Scan]");
    expected.insert(expected.end(), body.begin(), body.end());
    FUZZ_CHECK(after == expected);
  } else {
    const size_t oldEnd = scan + 1 + Body(before, scan).size();
    const size_t newEnd = scan + 1 + body.size();
    FUZZ_CHECK(after.size() == before.size() - (oldEnd - scan - 1) + body.size());
    FUZZ_CHECK(Slice(after, 0, scan + 1) == Slice(before, 0, scan + 1));
    FUZZ_CHECK(Slice(after, scan + 1, newEnd) == body);
    FUZZ_CHECK(Slice(after, newEnd, after.size()) == Slice(before, oldEnd, before.size()));
  }
  // Copying again changes nothing.
  TStringList again = after;
  CopySectionBodyToScan(again, "Scan1");
  FUZZ_CHECK(again == after);
  return 0;
}
