// The statements on B_Scanner from arbitrary identifiers and filter texts: each statement parses
// (read here by a small SQL reader of the harness's own, after the grammar of the statements), every
// value stands in it as exactly one quoted literal, and the literals read back to the identifier or
// to the filter's items. The filter's items are the texts between its ";" separators, a ";" at the
// start or the end opening or closing no item; a text without ";" is one item.
// Input: byte 0 chooses what the rest is (an identifier, or a filter behind one of the signs), the
// rest is the text.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "catalogue/UScannerCatalogue.h"

namespace {

struct TToken {
  enum { Word, Number, Literal, Symbol } Kind;
  std::string Text;  // a literal's value, undoubled
};

bool IsLetter(char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_'; }
bool IsDigit(char C) { return C >= '0' && C <= '9'; }

// Splits an SQL text into tokens; false when it holds what no statement of the catalogue may hold
// (an unterminated literal, a character outside literals that is no part of the grammar).
bool Tokens(const std::string& Sql, std::vector<TToken>& Out)
{
  Out.clear();
  size_t i = 0;
  while (i < Sql.size()) {
    const char c = Sql[i];
    if (c == ' ') {
      ++i;
    } else if (c == '\'') {
      std::string value;
      for (++i;; ++i) {
        if (i >= Sql.size())
          return false;
        if (Sql[i] == '\'') {
          if (i + 1 < Sql.size() && Sql[i + 1] == '\'') {
            value += '\'';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        value += Sql[i];
      }
      Out.push_back({TToken::Literal, value});
    } else if (IsLetter(c)) {
      size_t j = i;
      while (j < Sql.size() && (IsLetter(Sql[j]) || IsDigit(Sql[j])))
        ++j;
      Out.push_back({TToken::Word, Sql.substr(i, j - i)});
      i = j;
    } else if (IsDigit(c)) {
      size_t j = i;
      while (j < Sql.size() && IsDigit(Sql[j]))
        ++j;
      Out.push_back({TToken::Number, Sql.substr(i, j - i)});
      i = j;
    } else if (Sql.compare(i, 2, "<>") == 0) {
      Out.push_back({TToken::Symbol, "<>"});
      i += 2;
    } else if (c == '*' || c == '=' || c == '(' || c == ')' || c == ',') {
      Out.push_back({TToken::Symbol, std::string(1, c)});
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

// Reads tokens in order.
class TReader {
public:
  explicit TReader(const std::vector<TToken>& T) : FTokens(T) {}
  // The next tokens are these words and symbols, separated by blanks.
  bool Take(const std::string& Words)
  {
    std::vector<TToken> expected;
    if (!Tokens(Words, expected))
      return false;
    for (const TToken& e : expected) {
      if (FPos >= FTokens.size() || FTokens[FPos].Kind == TToken::Literal || FTokens[FPos].Text != e.Text)
        return false;
      ++FPos;
    }
    return true;
  }
  bool Literal(std::string& Value)
  {
    if (FPos >= FTokens.size() || FTokens[FPos].Kind != TToken::Literal)
      return false;
    Value = FTokens[FPos++].Text;
    return true;
  }
  bool AtEnd() const { return FPos == FTokens.size(); }

private:
  const std::vector<TToken>& FTokens;
  size_t FPos = 0;
};

// Head + one literal + nothing else; the literal's value.
std::string SingleLiteral(const std::string& Sql, const std::string& Head)
{
  std::vector<TToken> tokens;
  FUZZ_CHECK(Tokens(Sql, tokens));
  TReader r(tokens);
  std::string value;
  FUZZ_CHECK(r.Take(Head) && r.Literal(value) && r.AtEnd());
  return value;
}

std::vector<std::string> FilterItems(const std::string& List)
{
  if (List.find(';') == std::string::npos)
    return {List};
  std::string text = List;
  if (text.front() != ';')
    text.insert(text.begin(), ';');
  if (text.back() != ';')
    text.push_back(';');
  std::vector<std::string> items;
  for (size_t from = 1, at; (at = text.find(';', from)) != std::string::npos; from = at + 1)
    items.push_back(text.substr(from, at - from));
  return items;
}

void CheckScannerList(const std::string& Filter)
{
  const std::string sql = TScannerCatalogue::ScannerListSQL(Filter);
  std::vector<TToken> tokens;
  FUZZ_CHECK(Tokens(sql, tokens));
  TReader r(tokens);
  FUZZ_CHECK(r.Take("SELECT * FROM B_Scanner WHERE"));
  const char sign = Filter.empty() ? '*' : Filter[0];  // no list at all offers every scanner
  if (sign != '*' && sign != '+' && sign != '-') {
    FUZZ_CHECK(r.Take("1 = 0 ORDER BY FID") && r.AtEnd());
    return;
  }
  std::string pattern;
  FUZZ_CHECK(r.Take("FID NOT LIKE") && r.Literal(pattern) && pattern == "X%");
  if (sign != '*') {
    FUZZ_CHECK(r.Take(sign == '+' ? "AND FID IN (" : "AND FID NOT IN ("));
    // SQL knows no empty list: at least one literal, and the items each as one literal.
    std::vector<std::string> listed;
    std::string value;
    FUZZ_CHECK(r.Literal(value));
    listed.push_back(value);
    while (r.Take(",")) {
      FUZZ_CHECK(r.Literal(value));
      listed.push_back(value);
    }
    FUZZ_CHECK(r.Take(")"));
    std::vector<std::string> items = FilterItems(Filter.substr(1));
    if (items.empty())
      items.push_back("");  // a list of no item: one literal that names no scanner
    FUZZ_CHECK(listed == items);
  }
  FUZZ_CHECK(r.Take("ORDER BY FID") && r.AtEnd());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size == 0)
    return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 5) {
    case 0:
      FUZZ_CHECK(SingleLiteral(TScannerCatalogue::SelectSQL(text), "UPDATE B_Scanner SET FSelect = 1 WHERE FID =") == text);
      FUZZ_CHECK(SingleLiteral(TScannerCatalogue::UnselectOthersSQL(text), "UPDATE B_Scanner SET FSelect = 0 WHERE FID <>") == text);
      FUZZ_CHECK(SingleLiteral(TScannerCatalogue::DriverFilesSQL(text), "SELECT FConfigFile FROM B_Scanner WHERE FID =") == text);
      break;
    case 1: CheckScannerList("+" + text); break;
    case 2: CheckScannerList("-" + text); break;
    case 3: CheckScannerList("*" + text); break;
    default: CheckScannerList(text); break;
  }
  return 0;
}
