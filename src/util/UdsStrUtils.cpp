#include "util/UdsStrUtils.h"

#include "util/UStrConv.h"

void TdsStrUtils::SplitString(const std::string& Text, const std::string& Separator, TStringList& List)
{
  List.clear();
  if (Separator.empty() || Text.find(Separator) == std::string::npos) {
    List.push_back(Text);
    return;
  }
  // Frame the text with separators so that every item sits between two of them.
  std::string framed = Text;
  if (framed.compare(0, Separator.size(), Separator) != 0)
    framed.insert(0, Separator);
  if (framed.compare(framed.size() - Separator.size(), Separator.size(), Separator) != 0)
    framed += Separator;
  size_t start = Separator.size();
  for (;;) {
    size_t next = framed.find(Separator, start);
    if (next == std::string::npos)
      break;
    List.push_back(framed.substr(start, next - start));
    start = next + Separator.size();
  }
}

std::string TdsStrUtils::QuotedJoin(const TStringList& List, char Separator)
{
  std::string out;
  for (const std::string& item : List) {
    out += QuotedStr(item);
    out += Separator;
  }
  if (!out.empty())
    out.pop_back();
  return out;
}

std::string TdsStrUtils::SplitAndQuote(const std::string& Text, char SplitChar, char JoinChar)
{
  TStringList parts;
  SplitString(Text, std::string(1, SplitChar), parts);
  return QuotedJoin(parts, JoinChar);
}

std::string TdsStrUtils::CopyFrom(const std::string& Text, int Position)
{
  // Positions below 1 count as 1, as the framework's copy does.
  size_t from = Position < 1 ? 0 : static_cast<size_t>(Position) - 1;
  if (from >= Text.size())
    return {};
  return Text.substr(from);
}
