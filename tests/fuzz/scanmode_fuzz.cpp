// The copy into "[Scan]" on arbitrary files. A section's header is found the way the system's
// profile functions find it: the line, without the blanks before it, starts with "[", and the name
// runs to its first "]" (ASCII letters in any case; text after the bracket does not count). A
// section's body runs to the next line holding a "[".
// Properties: outside the body of the first "[Scan]" not a line changes (nothing lost, nothing
// reordered; a missing "[Scan]" is added at the end); that body becomes the scanner's body; a file
// without the scanner's section is left alone; copying again changes nothing; the text reads back
// to the same lines. Input: the text of simple.cfg; the scanner's section is Scan1. The first byte
// picks whether the harness adds headers of its own, and how it writes them (blanks, letter case,
// text after the bracket).
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "catalogue/UScanMode.h"

namespace {
bool IsHeader(const std::string& Line, const std::string& Name)
{
  size_t open = 0;
  while (open < Line.size() && static_cast<unsigned char>(Line[open]) <= 0x20)
    ++open;
  const size_t close = Line.find(']', open);
  if (open >= Line.size() || Line[open] != '[' || close == std::string::npos || close - open - 1 != Name.size())
    return false;
  for (size_t i = 0; i < Name.size(); ++i) {
    char a = Line[open + 1 + i], b = Name[i];
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

// The input as it is; with both headers written one of four ways around it; or with only the
// scanner's (so that "[Scan]" is missing).
std::string Text(const uint8_t* Data, size_t Size)
{
  static const char* const kScannerHeaders[] = {"[Scan1]", " [SCAN1]\t", "[scan1] ; roll feed", "[Scan1]]"};
  static const char* const kScanHeaders[] = {"[Scan]", "[Scan] ; shared by both drivers", "  [sCaN]x", "[SCAN]]"};
  const std::string input(reinterpret_cast<const char*>(Data), Size);
  const uint8_t style = Size > 0 ? Data[0] : 0;
  switch (style % 3) {
    case 0: return input;
    case 1:
      return std::string(kScannerHeaders[(style / 3) % 4]) + "\r\n" + input + "\r\n" +
             kScanHeaders[(style / 12) % 4] + "\r\nold\r\n";
    default: return std::string(kScannerHeaders[(style / 3) % 4]) + "\r\n" + input;
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const TStringList before = TextLines(Text(data, size));
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
