#include "Scenario.h"

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "EngineFiles.h"
#include "GbkText.h"

namespace {

// A fault in one line; LoadScenario adds the file and the line.
struct EScenarioLine {
  std::string Reason;
};

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

std::string Trim(const std::string& S)
{
  size_t b = 0, e = S.size();
  while (b < e && IsBlank(S[b]))
    ++b;
  while (e > b && IsBlank(S[e - 1]))
    --e;
  return S.substr(b, e - b);
}

std::string Lower(std::string S)
{
  for (char& c : S)
    if (c >= 'A' && c <= 'Z')
      c = char(c - 'A' + 'a');
  return S;
}

// The blank-separated words of S up to a word that begins with "#".
std::vector<std::string> Words(const std::string& S)
{
  std::vector<std::string> words;
  size_t i = 0;
  while (i < S.size()) {
    while (i < S.size() && IsBlank(S[i]))
      ++i;
    size_t start = i;
    while (i < S.size() && !IsBlank(S[i]))
      ++i;
    if (i == start)
      break;
    if (S[start] == '#')
      break;
    words.push_back(S.substr(start, i - start));
  }
  return words;
}

int ParseInt(const std::string& Word, long Min, long Max, const char* What)
{
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(Word.c_str(), &end, 10);
  if (Word.empty() || *end != '\0' || errno == ERANGE || v < Min || v > Max || IsBlank(Word[0]))
    throw EScenarioLine{std::string(What) + " must be a whole number from " + std::to_string(Min) + " to " +
                        std::to_string(Max) + ", not \"" + Word + "\""};
  return int(v);
}

const long kIntMin = -2147483647L - 1, kIntMax = 2147483647L;
const long kMaxDelayMs = 3600000;

int HexDigit(char C)
{
  if (C >= '0' && C <= '9')
    return C - '0';
  if (C >= 'a' && C <= 'f')
    return C - 'a' + 10;
  if (C >= 'A' && C <= 'F')
    return C - 'A' + 10;
  return -1;
}

// "hex:<pairs>" (blanks between pairs allowed, then perhaps a comment) gives those bytes as they
// are; anything else is UTF-8 text made GBK, "{n}" standing for the page number.
TTextTemplate ParseValue(const std::string& Value)
{
  TTextTemplate t;
  if (Lower(Value.substr(0, 4)) == "hex:") {
    std::string digits;
    for (char c : Value.substr(4)) {
      if (c == '#')
        break;  // hex digits never hold "#": the rest is a comment
      if (IsBlank(c))
        continue;
      if (HexDigit(c) < 0)
        throw EScenarioLine{std::string("\"") + c + "\" is not a hex digit"};
      digits += c;
    }
    if (digits.size() % 2)
      throw EScenarioLine{"hex bytes need two digits each"};
    for (size_t i = 0; i < digits.size(); i += 2)
      t.Pieces[0] += char(HexDigit(digits[i]) * 16 + HexDigit(digits[i + 1]));
    return t;
  }
  // Split the UTF-8 text, not the GBK one: a GBK trail byte may be "{", "n" or "}".
  t.Pieces.clear();
  size_t from = 0;
  for (;;) {
    size_t at = Value.find("{n}", from);
    std::string gbk;
    if (!Utf8ToGbk(Value.substr(from, at == std::string::npos ? std::string::npos : at - from), gbk))
      throw EScenarioLine{"the text is not UTF-8 or has a character that GBK lacks"};
    t.Pieces.push_back(gbk);
    if (at == std::string::npos)
      return t;
    from = at + 3;
  }
}

bool IsAbsolute(const std::string& Path)
{
  return (!Path.empty() && Path[0] == '\\') || (Path.size() > 1 && Path[1] == ':');
}

class TParser {
public:
  TParser(const std::string& Folder, const std::string& DefaultImagePath)
    : FFolder(Folder), FDefaultImagePath(DefaultImagePath) {}

  void Line(const std::string& Text)
  {
    std::string line = Trim(Text);
    if (line.empty() || line[0] == '#')
      return;
    size_t end = 0;
    while (end < line.size() && !IsBlank(line[end]))
      ++end;
    const std::string keyword = Lower(line.substr(0, end));
    const std::string rest = Trim(line.substr(end));  // a text value: the rest of the line as it is
    const std::vector<std::string> words = Words(rest);

    if (keyword == "init") {
      Count(words, 1, 1, "init <result>");
      FScenario.InitResult = ParseInt(words[0], kIntMin, kIntMax, "the result");
    } else if (keyword == "page") {
      Count(words, 0, 1, "page [0|5|6]");
      TRequest r;
      r.Page = true;
      r.Status = words.empty() ? 0 : ParseInt(words[0], kIntMin, kIntMax, "the status");
      if (r.Status != 0 && r.Status != 5 && r.Status != 6)
        throw EScenarioLine{"a page is delivered with status 0, 5 or 6"};
      r.ImagePath.Pieces[0] = FDefaultImagePath;
      FScenario.Requests.push_back(r);
      FInPage = true;
    } else if (keyword == "status") {
      if (words.size() != 1 && !(words.size() == 3 && Lower(words[1]) == "delay"))
        throw EScenarioLine{"expected: status <code> [delay <ms>]"};
      TRequest r;
      r.Status = ParseInt(words[0], kIntMin, kIntMax, "the status");
      if (words.size() == 3)
        r.DelayMs = ParseInt(words[2], 0, kMaxDelayMs, "the delay");
      FScenario.Requests.push_back(r);
      FInPage = false;
    } else if (keyword == "fault") {
      Count(words, 0, 1, "fault [terminate | <function>]");
      const std::string what = words.empty() ? std::string() : Lower(words[0]);
      for (const char* function : {"FpGetVersion", "FpScannerInitialize", "FpSetScannerMode", "FpScannerTerminate"}) {
        if (what == Lower(function)) {
          FScenario.FaultingCall = function;
          return;
        }
      }
      if (!what.empty() && what != "terminate")
        throw EScenarioLine{"expected: fault, fault terminate, or fault and the name of one of the other functions"};
      TRequest r;
      r.Fault = true;
      FScenario.FaultInTerminate = FScenario.FaultInTerminate || !words.empty();
      FScenario.Requests.push_back(r);
      FInPage = false;
    } else if (keyword == "delay") {
      Count(words, 1, 1, "delay <ms>");
      Page().DelayMs = ParseInt(words[0], 0, kMaxDelayMs, "the delay");
    } else if (keyword == "repeat") {
      Count(words, 1, 1, "repeat <count>");
      Page().Repeat = ParseInt(words[0], 1, kIntMax, "the count");
    } else if (keyword == "image-path") {
      Page().ImagePath = ParseValue(rest);
    } else if (keyword == "image") {
      Image(rest, words);
    } else if (keyword.size() == 5 && keyword.compare(0, 4, "info") == 0 && keyword[4] >= '1' && keyword[4] <= '8') {
      Page().Info[keyword[4] - '1'] = ParseValue(rest);
    } else {
      throw EScenarioLine{"unknown keyword \"" + keyword + "\""};
    }
  }

  TScenario FScenario;

private:
  static void Count(const std::vector<std::string>& Words, size_t Min, size_t Max, const char* Form)
  {
    if (Words.size() < Min || Words.size() > Max)
      throw EScenarioLine{std::string("expected: ") + Form};
  }

  TRequest& Page()
  {
    if (!FInPage)
      throw EScenarioLine{"this line belongs to a page: put it after a \"page\" line"};
    return FScenario.Requests.back();
  }

  void Image(const std::string& Rest, const std::vector<std::string>& Words)
  {
    TRequest& page = Page();
    const std::string kind = Words.empty() ? std::string() : Lower(Words[0]);
    if ((kind == "draw" || kind == "none") && Words.size() == 1) {
      page.Image = kind == "draw" ? TImageKind::Draw : TImageKind::None;
      return;
    }
    if (kind != "file" || Words.size() < 2)
      throw EScenarioLine{"expected: image draw, image none or image file <path>"};
    std::string path;
    if (!Utf8ToGbk(Trim(Rest.substr(4)), path))
      throw EScenarioLine{"the path is not UTF-8 or has a character that GBK lacks"};
    if (!IsAbsolute(path))
      path = FFolder + path;
    std::string bytes;
    if (!ReadWholeFile(path, bytes))
      throw EScenarioLine{"cannot read the image file " + GbkToUtf8(path) + " (error " +
                          std::to_string(GetLastError()) + ")"};
    page.ImageBytes.assign(bytes.begin(), bytes.end());
    page.Image = TImageKind::File;
  }

  const std::string FFolder;
  const std::string FDefaultImagePath;
  bool FInPage = false;
};

}  // namespace

std::string TTextTemplate::Expand(int PageNumber) const
{
  if (!HasPageNumber())
    return Pieces[0];
  const std::string number = std::to_string(PageNumber);
  std::string text = Pieces[0];
  for (size_t i = 1; i < Pieces.size(); ++i)
    text += number + Pieces[i];
  return text;
}

TScenario LoadScenario(const std::string& Path, const std::string& DefaultImagePath)
{
  const std::string where = "scenario " + GbkToUtf8(Path);
  std::string text;
  if (!ReadWholeFile(Path, text))
    throw std::runtime_error(where + ": cannot read the file (error " + std::to_string(GetLastError()) + ")");
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
    text.erase(0, 3);
  TParser parser(GbkFolderOf(Path), DefaultImagePath);
  size_t lineNumber = 0, from = 0;
  while (from <= text.size()) {
    size_t end = text.find('\n', from);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(from, end - from);
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    ++lineNumber;
    try {
      parser.Line(line);
    } catch (const EScenarioLine& e) {
      throw std::runtime_error(where + ": line " + std::to_string(lineNumber) + ": " + e.Reason + ": " + line);
    }
    from = end + 1;
  }
  return parser.FScenario;
}
