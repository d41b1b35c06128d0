// SplitString, QuotedJoin, SplitAndQuote and CopyFrom on arbitrary bytes.
// Input: byte 0 picks the separator length (0-3) and the join character, the next bytes are the
// separator, the rest is the text.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "util/UdsStrUtils.h"

namespace {
// Reads back a QuotedJoin text: literals separated by Separator.
bool ParseQuotedList(const std::string& text, char separator, TStringList& out)
{
  out.clear();
  if (text.empty())
    return true;
  size_t i = 0;
  for (;;) {
    if (i >= text.size() || text[i] != '\'')
      return false;
    ++i;
    std::string item;
    for (;;) {
      if (i >= text.size())
        return false;
      if (text[i] == '\'') {
        if (i + 1 < text.size() && text[i + 1] == '\'') {
          item += '\'';
          i += 2;
          continue;
        }
        ++i;
        break;
      }
      item += text[i++];
    }
    out.push_back(item);
    if (i == text.size())
      return true;
    if (text[i++] != separator)
      return false;
  }
}

std::string Join(const TStringList& list, const std::string& separator)
{
  std::string out;
  for (size_t i = 0; i < list.size(); ++i)
    out += (i ? separator : "") + list[i];
  return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size == 0)
    return 0;
  size_t sepLength = data[0] % 4;
  char joinChar = "',;|"[(data[0] >> 2) % 4];
  if (size < 1 + sepLength)
    return 0;
  std::string separator(reinterpret_cast<const char*>(data) + 1, sepLength);
  std::string text(reinterpret_cast<const char*>(data) + 1 + sepLength, size - 1 - sepLength);

  TStringList items;
  TdsStrUtils::SplitString(text, separator, items);
  if (separator.empty() || text.find(separator) == std::string::npos) {
    FUZZ_CHECK(items.size() == 1 && items[0] == text);
  } else {
    for (const std::string& item : items)
      FUZZ_CHECK(item.find(separator) == std::string::npos);
    if (sepLength == 1) {
      // Joining the items again gives the text without one leading and one trailing separator.
      std::string inner = text;
      if (!inner.empty() && inner.front() == separator[0])
        inner.erase(0, 1);
      if (!inner.empty() && inner.back() == separator[0])
        inner.pop_back();
      FUZZ_CHECK(items.empty() ? inner.empty() : Join(items, separator) == inner);
    }
  }

  // QuotedJoin reads back into the same items (a quote as joiner is ambiguous, so not then).
  std::string joined = TdsStrUtils::QuotedJoin(items, joinChar);
  if (joinChar != '\'') {
    TStringList back;
    FUZZ_CHECK(ParseQuotedList(joined, joinChar, back));
    FUZZ_CHECK(back == items);
  }
  if (sepLength == 1)
    FUZZ_CHECK(TdsStrUtils::SplitAndQuote(text, separator[0], joinChar) == joined);

  int position = static_cast<int>(data[0]) - 8;
  std::string tail = TdsStrUtils::CopyFrom(text, position);
  size_t from = position < 1 ? 0 : static_cast<size_t>(position - 1);
  FUZZ_CHECK(tail == (from < text.size() ? text.substr(from) : std::string()));
  return 0;
}
