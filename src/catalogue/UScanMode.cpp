#include "catalogue/UScanMode.h"

#include "util/UStrConv.h"

std::string ScanWithADFValue(const std::string& ScanMode) { return ScanMode == "G" ? "1" : "0"; }

bool ReadsAsRollScanning(const std::string& StoredValue) { return !StoredValue.empty() && StoredValue[0] == '1'; }

int FindLine(const TStringList& Lines, const std::string& Text, int Start)
{
  for (size_t i = Start < 0 ? 0 : static_cast<size_t>(Start); i < Lines.size(); ++i)
    if (Lines[i].find(Text) != std::string::npos)
      return static_cast<int>(i);
  return -1;
}

TStringList TextLines(const std::string& Text)
{
  TStringList lines;
  size_t start = 0;
  for (size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] != '\r' && Text[i] != '\n')
      continue;
    lines.push_back(Text.substr(start, i - start));
    if (Text[i] == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n')
      ++i;
    start = i + 1;
  }
  if (start < Text.size())
    lines.push_back(Text.substr(start));
  return lines;
}

std::string LinesText(const TStringList& Lines)
{
  std::string text;
  for (const std::string& line : Lines)
    text += line + "\r\n";
  return text;
}

namespace {
char UpperAscii(char C) { return C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C; }

// Whether Line is the header of Section as the system's profile functions read one: without the
// blanks around it the line starts with "[", and the name runs from there to the first "]", compared
// without regard to the case of ASCII letters. Whatever follows that bracket (a comment) is ignored.
// Section names are ASCII ("Scan" and a number): a line whose first "]" byte is the trail byte of a
// double-byte character has a name of other characters, and matches none of them either way.
bool IsHeaderOf(const std::string& Line, const std::string& Section)
{
  const std::string t = Trim(Line);
  if (t.empty() || t.front() != '[')
    return false;
  const size_t close = t.find(']');
  if (close == std::string::npos || close - 1 != Section.size())
    return false;
  for (size_t i = 0; i < Section.size(); ++i)
    if (UpperAscii(t[i + 1]) != UpperAscii(Section[i]))
      return false;
  return true;
}

// The header line of Section, or -1.
int HeaderLine(const TStringList& Lines, const std::string& Section)
{
  for (size_t i = 0; i < Lines.size(); ++i)
    if (IsHeaderOf(Lines[i], Section))
      return static_cast<int>(i);
  return -1;
}

// One past the last line of the body that follows the header at Header.
int BodyEnd(const TStringList& Lines, int Header)
{
  const int next = FindLine(Lines, "[", Header + 1);
  return next < 0 ? static_cast<int>(Lines.size()) : next;
}
}  // namespace

void CopySectionBodyToScan(TStringList& Lines, const std::string& Section)
{
  const int source = HeaderLine(Lines, Section);
  if (source < 0)
    return;
  const TStringList body(Lines.begin() + source + 1, Lines.begin() + BodyEnd(Lines, source));
  int scan = HeaderLine(Lines, "Scan");
  if (scan < 0) {
    Lines.push_back("[Scan]");
    scan = static_cast<int>(Lines.size()) - 1;
  }
  Lines.erase(Lines.begin() + scan + 1, Lines.begin() + BodyEnd(Lines, scan));
  Lines.insert(Lines.begin() + scan + 1, body.begin(), body.end());
}
