// A delivered page on arbitrary record bytes: the decoded fields stay within their own bytes, the
// result file always has exactly nine lines, and read back line by line it gives the image's name and
// the eight fields.
// Input: byte 0 picks where the rest is laid into the record (repeated to fill it when byte 1 is
// odd); the record is otherwise zero.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "scanning/UInvoiceBaseInfo.h"
#include "scanning/UNewPageRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  std::array<uint8_t, kNewPageRecordSize> record{};
  if (size >= 2) {
    const size_t at = data[0] * kNewPageRecordSize / 256;
    const bool tile = data[1] & 1;
    for (size_t i = at, j = 2; i < record.size() && size > 2; ++i, ++j) {
      if (j == size) {
        if (!tile)
          break;
        j = 2;
      }
      record[i] = data[j];
    }
  }
  const TNewPageField fields[] = {NewPageField::ImagePath, NewPageField::Info1, NewPageField::Info2,
                                  NewPageField::Info3,     NewPageField::Info4, NewPageField::Info5,
                                  NewPageField::Info6,     NewPageField::Info7, NewPageField::Info8};
  for (const TNewPageField& f : fields) {
    const std::string text = NewPageFieldText(record.data(), f);
    FUZZ_CHECK(text.size() <= f.Width);
    FUZZ_CHECK(text.find('\0') == std::string::npos);
    FUZZ_CHECK(text.empty() || (static_cast<uint8_t>(text.front()) > 0x20 && static_cast<uint8_t>(text.back()) > 0x20));
    // The value is the field's own bytes.
    const std::string field(reinterpret_cast<const char*>(record.data()) + f.Offset, f.Width);
    FUZZ_CHECK(field.find(text) != std::string::npos);
  }
  TInvoiceBaseInfo info = InvoiceOfNewPage(record.data());
  info.ImageFile = ImageFileName(size);
  const std::string result = ResultFileText(info);
  size_t lines = 0;
  for (size_t i = 0; i < result.size(); ++i) {
    if (result[i] == '\r') {
      FUZZ_CHECK(i + 1 < result.size() && result[i + 1] == '\n');
      ++lines;
      ++i;
    } else {
      FUZZ_CHECK(result[i] != '\n');
    }
  }
  FUZZ_CHECK(lines == 9);
  FUZZ_CHECK(result.size() >= 2 && result.compare(result.size() - 2, 2, "\r\n") == 0);

  // The host reads the fields back line by line: the image's name, then each field as decoded, a CR
  // or LF inside one read as a blank.
  std::vector<std::string> read;
  for (size_t from = 0, at; (at = result.find("\r\n", from)) != std::string::npos; from = at + 2)
    read.push_back(result.substr(from, at - from));
  FUZZ_CHECK(read.size() == 9);
  FUZZ_CHECK(read[0] == "KVRNEWFP." + info.ImageFile.substr(0, info.ImageFile.rfind('.')));
  const std::string* decoded[] = {&info.Info1, &info.Info2, &info.Info3, &info.Info4,
                                  &info.Info5, &info.Info6, &info.Info7, &info.Info8};
  for (size_t i = 0; i < 8; ++i) {
    std::string expected = *decoded[i];
    for (char& c : expected)
      if (c == '\r' || c == '\n')
        c = ' ';
    FUZZ_CHECK(read[i + 1] == expected);
  }
  return 0;
}
