#include "MatrixReport.h"

#include <cstdio>

#include "Screenshot.h"
#include "TestHost.h"
#include "QuillonRX.h"

namespace {
// Tabs and line ends would break the row.
std::string Cell(std::string Text)
{
  for (char& c : Text)
    if (c == '\t' || c == '\r' || c == '\n')
      c = ' ';
  return Text;
}
}  // namespace

std::string Utf8(const std::wstring& Text)
{
  if (Text.empty())
    return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), &s[0], n, nullptr, nullptr);
  return s;
}

std::string Utf8OfGbk(const std::string& Gbk) { return Utf8(Wide(Gbk)); }

void ReportMatrixRow(const std::string& Area, const std::string& Fault, const std::string& Expected,
                     const std::string& Observed, bool Passed)
{
  // One file per test program, begun afresh by its first row of the run.
  static bool begun = false;
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring name = program;
  name = name.substr(name.find_last_of(L"\\/") + 1);
  name = name.substr(0, name.rfind(L'.'));
  FILE* out = _wfopen(TestOutputPath(L"fault-matrix-" + name + L".tsv").c_str(), begun ? L"ab" : L"wb");
  begun = true;
  if (!out)
    return;
  const std::string row = Cell(Area) + '\t' + Cell(Fault) + '\t' + Cell(Expected) + '\t' + Cell(Observed) + '\t' +
                          (Passed ? "pass" : "FAIL") + "\n";
  std::fwrite(row.data(), 1, row.size(), out);
  std::fclose(out);
}

std::string DescribeBoxes(const std::vector<TBoxRecord>& Boxes)
{
  if (Boxes.empty())
    return "no box";
  std::string text;
  for (const TBoxRecord& b : Boxes) {
    const char* kind = b.Icon == MB_ICONERROR         ? "error"
                       : b.Icon == MB_ICONWARNING     ? "warning"
                       : b.Icon == MB_ICONINFORMATION ? "information"
                       : b.Icon == MB_ICONQUESTION    ? "question"
                                                      : "box";
    text += (text.empty() ? "" : "; ") + std::string(kind) + " \"" + Utf8(b.Text) + "\"";
  }
  return text;
}

std::string DescribeOutcome(bool Raised, const THostException& E, int Result)
{
  if (!Raised)
    return "result " + std::to_string(Result);
  char code[16];
  std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(E.Code));
  return std::string("exception ") + code + (E.Code == QRX_EXCEPTION_CODE ? ": " + Utf8OfGbk(E.Message) : "");
}
