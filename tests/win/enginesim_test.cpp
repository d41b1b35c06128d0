// Our engine ScanReco.dll (tools/engine-sim) as the library meets it: loaded by full path, its five
// functions called as in a scan, and its record, page images and call log checked.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using TGetVersion = int(__stdcall*)(int, int);
using TInitialize = int(__stdcall*)();
using TSetScannerMode = int(__stdcall*)(int);
using TGetNewPage = int(__stdcall*)(void*);
using TTerminate = int(__stdcall*)(int);

const size_t kRecordSize = 738;
using TRecord = std::array<unsigned char, kRecordSize>;

struct TField {
  const char* Name;
  size_t Offset, Width;
};
const TField kFields[] = {
  {"image-path", 0, 258}, {"info2", 258, 20}, {"info3", 278, 20}, {"info1", 348, 20}, {"info5", 378, 30},
  {"info6", 408, 30},     {"info7", 478, 40}, {"info8", 518, 40}, {"info4", 558, 180},
};

const TField& FieldNamed(const std::string& Name)
{
  for (const TField& f : kFields)
    if (Name == f.Name)
      return f;
  throw std::logic_error("no field " + Name);
}

// The field's bytes up to its terminator (all of them when it has none).
std::string Value(const TRecord& Record, const std::string& Name)
{
  const TField& f = FieldNamed(Name);
  const char* begin = reinterpret_cast<const char*>(Record.data()) + f.Offset;
  return std::string(begin, strnlen(begin, f.Width));
}

std::string Convert(UINT From, UINT To, const std::string& Text)
{
  if (Text.empty())
    return Text;
  std::wstring wide(size_t(MultiByteToWideChar(From, 0, Text.data(), int(Text.size()), nullptr, 0)), L'\0');
  MultiByteToWideChar(From, 0, Text.data(), int(Text.size()), &wide[0], int(wide.size()));
  std::string out(size_t(WideCharToMultiByte(To, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr)), '\0');
  WideCharToMultiByte(To, 0, wide.data(), int(wide.size()), &out[0], int(out.size()), nullptr, nullptr);
  return out;
}
std::string Utf8(const std::string& Gbk) { return Convert(936, CP_UTF8, Gbk); }

bool Exists(const std::string& Path) { return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadBytes(const std::string& Path)
{
  std::string bytes;
  HANDLE h = CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return bytes;
  bytes.resize(GetFileSize(h, nullptr));
  DWORD read = 0;
  if (!bytes.empty())
    ReadFile(h, &bytes[0], DWORD(bytes.size()), &read, nullptr);
  CloseHandle(h);
  bytes.resize(read);
  return bytes;
}

void WriteBytes(const std::string& Path, const std::string& Bytes)
{
  HANDLE h = CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << Path;
  DWORD written = 0;
  WriteFile(h, Bytes.data(), DWORD(Bytes.size()), &written, nullptr);
  CloseHandle(h);
}

void RemoveTree(const std::string& Dir)
{
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((Dir + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = fd.cFileName;
      if (name == "." || name == "..")
        continue;
      std::string path = Dir + "\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path);
      else
        DeleteFileA(path.c_str());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(Dir.c_str());
}

std::string ProgramFolder()
{
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string p = path;
  return p.substr(0, p.rfind('\\') + 1);
}

uint32_t Get16(const std::string& B, size_t At) { return uint8_t(B[At]) | uint8_t(B[At + 1]) << 8; }
uint32_t Get32(const std::string& B, size_t At) { return Get16(B, At) | Get16(B, At + 2) << 16; }

// Checks File as a baseline bilevel TIFF of Width x Height at Dpi: header, one IFD, its tags and
// their values, and strips that PackBits-decode to exactly their rows. "" when it is one, else what
// is wrong. Black receives the number of black pixels.
std::string CheckBilevelTiff(const std::string& File, uint32_t Width, uint32_t Height, uint32_t Dpi, size_t& Black)
{
  if (File.size() < 8 || File.compare(0, 4, "II*\0", 4) != 0)
    return "no little-endian TIFF header";
  const size_t ifd = Get32(File, 4);
  if (ifd % 2 || ifd + 2 > File.size())
    return "IFD offset " + std::to_string(ifd);
  const size_t entries = Get16(File, ifd);
  if (ifd + 2 + 12 * entries + 4 > File.size())
    return "IFD runs past the end";
  if (Get32(File, ifd + 2 + 12 * entries) != 0)
    return "more than one IFD";
  std::map<uint32_t, std::vector<uint32_t>> tags;
  uint32_t previous = 0;
  for (size_t i = 0; i < entries; ++i) {
    const size_t e = ifd + 2 + 12 * i;
    const uint32_t tag = Get16(File, e), type = Get16(File, e + 2), count = Get32(File, e + 4);
    if (tag <= previous)
      return "tags not in ascending order at " + std::to_string(tag);
    previous = tag;
    const size_t size = type == 3 ? 2 : type == 4 ? 4 : type == 5 ? 8 : 0;
    if (!size)
      return "tag " + std::to_string(tag) + " has type " + std::to_string(type);
    const size_t at = size * count <= 4 ? e + 8 : Get32(File, e + 8);
    if (at + size * count > File.size())
      return "tag " + std::to_string(tag) + " values past the end";
    for (uint32_t k = 0; k < count; ++k) {
      if (type == 3)
        tags[tag].push_back(Get16(File, at + 2 * k));
      else if (type == 4)
        tags[tag].push_back(Get32(File, at + 4 * k));
      else {  // rational: numerator / denominator, which must divide
        uint32_t n = Get32(File, at + 8 * k), d = Get32(File, at + 8 * k + 4);
        tags[tag].push_back(d && n % d == 0 ? n / d : 0xFFFFFFFF);
      }
    }
  }
  struct {
    uint32_t Tag, Value;
  } expected[] = {{256, Width}, {257, Height}, {258, 1}, {259, 32773}, {282, Dpi}, {283, Dpi}, {296, 2}};
  for (const auto& x : expected)
    if (tags[x.Tag] != std::vector<uint32_t>{x.Value})
      return "tag " + std::to_string(x.Tag) + " is not " + std::to_string(x.Value);
  if (tags[262].size() != 1 || tags[262][0] > 1)
    return "PhotometricInterpretation is not 0 or 1";
  if (tags[278].size() != 1 || tags[278][0] == 0)
    return "no RowsPerStrip";
  const uint32_t rowsPerStrip = tags[278][0], rowBytes = (Width + 7) / 8;
  const size_t strips = (Height + rowsPerStrip - 1) / rowsPerStrip;
  if (tags[273].size() != strips || tags[279].size() != strips)
    return "not " + std::to_string(strips) + " strip offsets and byte counts";
  const bool whiteIsZero = tags[262][0] == 0;
  Black = 0;
  for (size_t s = 0; s < strips; ++s) {
    const size_t offset = tags[273][s], count = tags[279][s];
    if (offset + count > File.size())
      return "strip " + std::to_string(s) + " past the end";
    const size_t rows = std::min<size_t>(rowsPerStrip, Height - s * rowsPerStrip);
    std::string pixels;
    for (size_t i = offset; i < offset + count;) {
      const int n = int8_t(File[i++]);
      if (n >= 0) {
        if (i + n + 1 > offset + count)
          return "strip " + std::to_string(s) + ": a literal run past its byte count";
        pixels.append(File, i, size_t(n) + 1);
        i += size_t(n) + 1;
      } else if (n != -128) {
        if (i >= offset + count)
          return "strip " + std::to_string(s) + ": a repeat run past its byte count";
        pixels.append(size_t(1 - n), File[i++]);
      }
    }
    if (pixels.size() != rows * rowBytes)
      return "strip " + std::to_string(s) + " decodes to " + std::to_string(pixels.size()) + " bytes, not " +
             std::to_string(rows * rowBytes);
    for (unsigned char c : pixels)
      for (int bit = 0; bit < 8; ++bit)
        Black += ((c >> bit) & 1) == (whiteIsZero ? 1 : 0);
  }
  return "";
}

// ScanReco.dll loaded for one test, with its scenario and log in a fresh folder of the test's own.
class EngineSim : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_EQ(GetACP(), 936u);
    char temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    FTemp = temp;
    FFolder = FTemp + "qrx_enginesim_" + std::to_string(GetCurrentProcessId());
    RemoveTree(FFolder);
    ASSERT_TRUE(CreateDirectoryA(FFolder.c_str(), nullptr));
    FScenario = FFolder + "\\scan.scenario";
    FLog = FFolder + "\\engine.log";
    SetEnvironmentVariableA("QRX_ENGINE_SCENARIO", FScenario.c_str());
    SetEnvironmentVariableA("QRX_ENGINE_LOG", FLog.c_str());
    Load(ProgramFolder() + "ScanReco.dll");
  }

  void TearDown() override
  {
    Unload();
    SetEnvironmentVariableA("QRX_ENGINE_SCENARIO", nullptr);
    SetEnvironmentVariableA("QRX_ENGINE_LOG", nullptr);
    RemoveTree(FFolder);
  }

  void Load(const std::string& Path)
  {
    Unload();
    FDll = LoadLibraryA(Path.c_str());
    ASSERT_NE(FDll, nullptr) << Path << " error " << GetLastError();
    GetVersion = reinterpret_cast<TGetVersion>(GetProcAddress(FDll, "FpGetVersion"));
    Initialize = reinterpret_cast<TInitialize>(GetProcAddress(FDll, "FpScannerInitialize"));
    SetScannerMode = reinterpret_cast<TSetScannerMode>(GetProcAddress(FDll, "FpSetScannerMode"));
    GetNewPage = reinterpret_cast<TGetNewPage>(GetProcAddress(FDll, "FpGetNewPage"));
    Terminate = reinterpret_cast<TTerminate>(GetProcAddress(FDll, "FpScannerTerminate"));
  }

  void Unload()
  {
    if (FDll)
      FreeLibrary(FDll);
    FDll = nullptr;
  }

  // Scenario lines, UTF-8.
  void WriteScenario(const std::string& Text) { WriteBytes(FScenario, Text); }

  std::vector<std::string> LogLines(const std::string& Log = std::string()) const
  {
    std::string text = ReadBytes(Log.empty() ? FLog : Log);
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2)
      lines.push_back(text.substr(from, end - from));
    EXPECT_EQ(from, text.size()) << "the log's last line has no CRLF";
    return lines;
  }

  static std::vector<std::string> ProtocolLines(const std::vector<std::string>& Lines)
  {
    std::vector<std::string> found;
    for (const std::string& l : Lines)
      if (l.compare(0, 9, "protocol:") == 0)
        found.push_back(l);
    return found;
  }

  struct TPage {
    int Status;
    TRecord Record;
  };
  // A whole scan as the library runs it: initialize, mode 3, pages until end of scanning (2),
  // terminate. AfterPage runs after each delivered page.
  std::vector<TPage> Scan(const std::function<void(const TPage&)>& AfterPage = nullptr, size_t MaxCalls = 100)
  {
    std::vector<TPage> pages;
    EXPECT_EQ(Initialize(), 0);
    SetScannerMode(3);
    for (size_t i = 0; i < MaxCalls; ++i) {
      TPage p;
      p.Record.fill(0);
      p.Status = GetNewPage(p.Record.data());
      if (p.Status == 2)
        break;
      pages.push_back(p);
      if (AfterPage)
        AfterPage(p);
    }
    Terminate(0);
    return pages;
  }

  std::string FTemp, FFolder, FScenario, FLog;
  HMODULE FDll = nullptr;
  TGetVersion GetVersion = nullptr;
  TInitialize Initialize = nullptr;
  TSetScannerMode SetScannerMode = nullptr;
  TGetNewPage GetNewPage = nullptr;
  TTerminate Terminate = nullptr;
};

TEST_F(EngineSim, RecordHoldsEachFieldAsGbkCutAtItsWidth)
{
  const std::string folder = Utf8(FFolder);
  WriteScenario(u8"page\n"
                u8"image none\n"
                u8"image-path " + folder + u8"\\发票\\page.tif\n"
                u8"info1 增值税专用发票\n"
                u8"info2 hex:4142434445464748494A 4B4C4D4E4F5051525354\n"
                u8"info3 ABCDEFGHIJKLMNOPQRSTUVWXYZ\n"
                u8"info4\n"
                u8"info5 hex:0D0A097F01\n"
                u8"info6 北京市海淀区 No.1\n"
                u8"info7 hex:\n"
                u8"page 6\n"
                u8"image none\n"
                u8"image-path hex:433A5C" + std::string(600, '7') + "\n"  // C:\ and 300 bytes of "w"
                u8"info1 A增值税专用发票普通发票\n"  // 21 bytes: cut inside the last character
                u8"info4 " + std::string(200, 'x') + "\n"
                u8"info8 hex:" + std::string(90, 'F') + "\n");
  std::vector<TPage> pages = Scan();
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].Status, 0);
  EXPECT_EQ(pages[1].Status, 6);

  struct Case {
    size_t Page;
    std::string Field, Bytes;
  } cases[] = {
    {0, "image-path", FFolder + "\\发票\\page.tif"},
    {0, "info1", "增值税专用发票"},
    {0, "info2", "ABCDEFGHIJKLMNOPQRST"},  // the full width, no terminator
    {0, "info3", "ABCDEFGHIJKLMNOPQRST"},  // cut at the width
    {0, "info4", ""},
    {0, "info5", "\r\n\t\x7f\x01"},
    {0, "info6", "北京市海淀区 No.1"},
    {0, "info7", ""},
    {0, "info8", ""},
    {1, "image-path", "C:\\" + std::string(255, 'w')},
    {1, "info1", std::string("A增值税专用发票普通发票").substr(0, 20)},
    {1, "info4", std::string(180, 'x')},
    {1, "info8", std::string(40, '\xff')},
  };
  for (const Case& c : cases) {
    const TField& f = FieldNamed(c.Field);
    std::string whole(reinterpret_cast<const char*>(pages[c.Page].Record.data()) + f.Offset, f.Width);
    EXPECT_EQ(whole, c.Bytes + std::string(f.Width - c.Bytes.size(), '\0')) << "page " << c.Page + 1 << " " << c.Field;
  }
  // The bytes between the fields stay zero.
  for (const TPage& p : pages) {
    std::vector<bool> inField(kRecordSize, false);
    for (const TField& f : kFields)
      for (size_t i = 0; i < f.Width; ++i)
        inField[f.Offset + i] = true;
    for (size_t i = 0; i < kRecordSize; ++i) {
      if (!inField[i]) {
        EXPECT_EQ(p.Record[i], 0) << "byte " << i;
      }
    }
  }
}

TEST_F(EngineSim, StatusesComeInOrderThenEndOfScanningAndEveryCallIsLogged)
{
  WriteScenario("status 1\n"
                "page 5\n"
                "status 4 delay 30\n"
                "page 6\n"
                "delay 30\n"
                "status 16\n"
                "status 12345\n"
                "status -7\n"
                "page\n");
  const std::string defaultImage = FTemp + "qrx-engine\\temp1.tif";
  DeleteFileA(defaultImage.c_str());
  EXPECT_EQ(GetVersion(1000, 150), 1);
  ASSERT_EQ(Initialize(), 0);
  EXPECT_EQ(SetScannerMode(3), 0);
  const int expected[] = {1, 5, 4, 6, 16, 12345, -7, 0, 2, 2, 2};
  const std::string defaultPath = FTemp + "qrx-engine\\page.tif";
  for (int status : expected) {
    TRecord record = {};
    EXPECT_EQ(GetNewPage(record.data()), status);
    const bool page = status == 0 || status == 5 || status == 6;
    EXPECT_EQ(Value(record, "image-path"), page ? defaultPath : "") << status;
    if (!page) {  // a status alone leaves the record as it was
      EXPECT_EQ(record, TRecord{}) << status;
    }
  }
  EXPECT_EQ(Terminate(0), 0);
  EXPECT_TRUE(Exists(defaultImage));

  std::vector<std::string> wanted = {
    "FpGetVersion 1000 150 -> 1", "FpScannerInitialize -> 0", "FpSetScannerMode 3 -> 0",
    "FpGetNewPage -> 1",          "FpGetNewPage -> 5 page 1", "FpGetNewPage -> 4",
    "FpGetNewPage -> 6 page 2",   "FpGetNewPage -> 16",       "FpGetNewPage -> 12345",
    "FpGetNewPage -> -7",         "FpGetNewPage -> 0 page 3", "FpGetNewPage -> 2",
    "FpGetNewPage -> 2",          "FpGetNewPage -> 2",        "FpScannerTerminate 0 -> 0",
  };
  EXPECT_EQ(LogLines(), wanted);
}

TEST_F(EngineSim, RepeatDeliversAPageNTimesWithItsRunningNumber)
{
  const std::string folder = Utf8(FFolder);
  WriteScenario(u8"status 1\n"
                u8"page\n"
                u8"repeat 3\n"
                u8"image none\n"
                u8"image-path " + folder + u8"\\第{n}张\\page{n}.tif\n"
                u8"info1 No.{n}\n"
                u8"info2 {n}-{n}{\n"
                u8"info3 亄n}\n"  // 亄 is 81 7B in GBK: its second byte is "{", yet this holds no "{n}"
                u8"info4 hex:7B6E7D\n"
                u8"status 4\n"
                u8"page 5\n"
                u8"image none\n"
                u8"info1 last {n}\n");
  std::vector<TPage> pages = Scan();
  ASSERT_EQ(pages.size(), 6u);
  EXPECT_EQ(pages[0].Status, 1);
  for (int n = 1; n <= 3; ++n) {
    const TRecord& r = pages[size_t(n)].Record;
    const std::string number = std::to_string(n);
    EXPECT_EQ(pages[size_t(n)].Status, 0);
    EXPECT_EQ(Value(r, "image-path"), FFolder + "\\第" + number + "张\\page" + number + ".tif");
    EXPECT_EQ(Value(r, "info1"), "No." + number);
    EXPECT_EQ(Value(r, "info2"), number + "-" + number + "{");
    EXPECT_EQ(Value(r, "info3"), "\x81\x7bn}");
    EXPECT_EQ(Value(r, "info4"), "{n}");  // hex bytes are not text
  }
  EXPECT_EQ(pages[4].Status, 4);
  EXPECT_EQ(pages[5].Status, 5);
  EXPECT_EQ(Value(pages[5].Record, "info1"), "last 4");

  std::vector<std::string> lines = LogLines();
  std::vector<std::string> pageLines;
  for (const std::string& l : lines)
    if (l.find(" page ") != std::string::npos)
      pageLines.push_back(l);
  EXPECT_EQ(pageLines, (std::vector<std::string>{"FpGetNewPage -> 0 page 1", "FpGetNewPage -> 0 page 2",
                                                 "FpGetNewPage -> 0 page 3", "FpGetNewPage -> 5 page 4"}));
}

TEST_F(EngineSim, RepeatOfTenThousandPages)
{
  WriteScenario("page\nrepeat 10000\nimage none\ninfo1 {n}\n");
  int last = 0;
  size_t count = 0;
  Scan([&](const TPage& p) {
    ++count;
    last = std::stoi(Value(p.Record, "info1"));
  }, 10005);
  EXPECT_EQ(count, 10000u);
  EXPECT_EQ(last, 10000);
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 10004u);
  EXPECT_EQ(lines[10001], "FpGetNewPage -> 0 page 10000");
  EXPECT_EQ(lines[10002], "FpGetNewPage -> 2");
}

TEST_F(EngineSim, DrawnImageIsABaselineTiffBesideTheImagePath)
{
  const std::string folder = Utf8(FFolder);
  WriteScenario(u8"page\n"
                u8"image-path " + folder + u8"\\new\\sub\\page.tif\n"  // folders not there yet
                u8"info1 3100123456\n"
                u8"info4 北京市海淀区中关村大街1号 电话 010-12345678 开户行 工商银行 账号 0200001234567890123\n"
                u8"info5 hex:0D0A\n");
  Scan();
  const std::string image = FFolder + "\\new\\sub\\temp1.tif";
  ASSERT_TRUE(Exists(image));
  EXPECT_FALSE(Exists(FFolder + "\\new\\sub\\page.tif"));
  size_t black = 0;
  EXPECT_EQ(CheckBilevelTiff(ReadBytes(image), 800, 560, 100, black), "");
  // Border, title, boxes and texts: clearly something, clearly not everything.
  EXPECT_GT(black, 800u * 560 / 100);
  EXPECT_LT(black, 800u * 560 / 3);
}

// The picture follows the fields and the page number; the file is only left alone when it still
// holds exactly what would be written.
TEST_F(EngineSim, ImageChangesWithContentAndIsRewrittenWhenNeeded)
{
  const std::string folder = Utf8(FFolder);
  const std::string image = FFolder + "\\img\\temp1.tif";
  auto scenario = [&](const std::string& Pages) {
    WriteScenario(u8"page\nimage-path " + folder + u8"\\img\\p.tif\n" + Pages);
  };
  auto imageOfPage = [&](size_t N) {
    std::vector<std::string> images;
    Scan([&](const TPage&) { images.push_back(ReadBytes(image)); });
    return images.size() >= N ? images[N - 1] : std::string();
  };

  scenario(u8"info1 甲\n");
  const std::string first = imageOfPage(1);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(imageOfPage(1), first);

  // Not rewritten while it holds those bytes: an old time stays.
  HANDLE h = CreateFileA(image.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME old = {0x12345678, 0x01c00000};
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &old));
  CloseHandle(h);
  EXPECT_EQ(imageOfPage(1), first);
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(image.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &old), 0);

  // Taken away or replaced by the caller: written again.
  ASSERT_TRUE(DeleteFileA(image.c_str()));
  EXPECT_EQ(imageOfPage(1), first);
  WriteBytes(image, "abc");
  EXPECT_EQ(imageOfPage(1), first);

  scenario(u8"info1 乙\n");
  const std::string other = imageOfPage(1);
  EXPECT_NE(other, first);

  // Page 2 drawn from the remembered picture of page 1 equals page 2 drawn afresh.
  scenario(u8"info1 甲\nrepeat 2\n");
  const std::string second = imageOfPage(2);
  EXPECT_NE(second, first);
  scenario(u8"info1 乙\npage\nimage-path " + folder + u8"\\img\\p.tif\ninfo1 甲\n");
  EXPECT_EQ(imageOfPage(2), second);
  size_t black = 0;
  EXPECT_EQ(CheckBilevelTiff(second, 800, 560, 100, black), "");
}

TEST_F(EngineSim, ImageNoneWritesNothingAndImageFileWritesACopy)
{
  const std::string folder = Utf8(FFolder);
  const std::string sample = std::string("II*\0", 4) + std::string(5000, '\x5a') + "end";
  WriteBytes(FFolder + "\\样张.tif", sample);
  WriteScenario(u8"page\nimage none\nimage-path " + folder + u8"\\none\\p.tif\n"
                u8"page\nimage file 样张.tif\nimage-path " + folder + u8"\\copy\\p.tif\n"  // beside the scenario
                u8"page\nimage file " + folder + u8"\\样张.tif\nimage-path " + folder + u8"\\abs\\p.tif\n"
                u8"page 5\nimage-path " + folder + u8"\\样张.tif\\p.tif\n");  // a file where the folder would be
  std::vector<TPage> pages = Scan();
  ASSERT_EQ(pages.size(), 4u);
  EXPECT_FALSE(Exists(FFolder + "\\none\\temp1.tif"));
  EXPECT_EQ(ReadBytes(FFolder + "\\copy\\temp1.tif"), sample);
  EXPECT_EQ(ReadBytes(FFolder + "\\abs\\temp1.tif"), sample);
  // An image the engine cannot write: the page still comes, the log says so.
  EXPECT_EQ(pages[3].Status, 5);
  std::vector<std::string> lines = LogLines();
  ASSERT_GE(lines.size(), 4u);  // ..., error, page 4, end of scanning, terminate
  EXPECT_EQ(lines[lines.size() - 4].compare(0, 20, "error: cannot write "), 0) << lines[lines.size() - 4];
  EXPECT_EQ(lines[lines.size() - 3], "FpGetNewPage -> 5 page 4");
}

// "淺" is 9C 5C in GBK: its second byte is the code of "\" and must not end the folder part.
TEST_F(EngineSim, ImageGoesIntoTheFolderOfAnImagePathWithBackslashTrailBytes)
{
  ASSERT_EQ(std::string("淺"), "\x9c\x5c");
  const std::string folder = Utf8(FFolder);
  const std::string cwd = FFolder + "\\cwd";
  ASSERT_TRUE(CreateDirectoryA(cwd.c_str(), nullptr));
  struct Case {
    std::string ImagePath;  // UTF-8, as in the scenario
    std::string Written, NotWritten;
  } cases[] = {
    {folder + u8"\\scan\\淺.tif", FFolder + "\\scan\\temp1.tif", FFolder + "\\scan\\淺temp1.tif"},
    {folder + u8"\\扫描淺\\page.tif", FFolder + "\\扫描淺\\temp1.tif", FFolder + "\\扫描淺temp1.tif"},
    {u8"淺.tif", cwd + "\\temp1.tif", cwd + "\\淺temp1.tif"},  // no folder part: the current folder
  };
  char previous[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(cwd.c_str()));
  for (const Case& c : cases) {
    WriteScenario(u8"page\nimage-path " + c.ImagePath + "\n");
    std::vector<TPage> pages = Scan();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(Utf8(Value(pages[0].Record, "image-path")), c.ImagePath);
    EXPECT_TRUE(Exists(c.Written)) << c.Written;
    EXPECT_FALSE(Exists(c.NotWritten)) << c.NotWritten;
  }
  SetCurrentDirectoryA(previous);
}

TEST_F(EngineSim, ProtocolFaultsAreLogged)
{
  WriteScenario("page\nimage none\n");
  TRecord record = {};
  struct Case {
    const char* Name;
    std::function<void()> Calls;
    std::vector<std::string> Protocol;  // the protocol lines, as they begin
  } cases[] = {
    {"a clean scan", [&] { Scan(); }, {}},
    {"page before initialize", [&] { EXPECT_EQ(GetNewPage(record.data()), 1); },
     {"protocol: FpGetNewPage outside"}},
    {"mode before initialize", [&] { SetScannerMode(3); }, {"protocol: FpSetScannerMode outside"}},
    {"page after terminate", [&] { Scan(); GetNewPage(record.data()); }, {"protocol: FpGetNewPage outside"}},
    {"terminate twice", [&] { Scan(); Terminate(0); }, {"protocol: FpScannerTerminate outside"}},
    {"terminate without initialize", [&] { Terminate(0); }, {"protocol: FpScannerTerminate outside"}},
    {"initialize twice", [&] { Initialize(); Scan(); }, {"protocol: FpScannerInitialize again"}},
    {"record not zeroed",
     [&] {
       Initialize();
       TRecord dirty = {};
       dirty[300] = 7;
       EXPECT_EQ(GetNewPage(dirty.data()), 0);
       Terminate(0);
     },
     {"protocol: FpGetNewPage record not all zero on entry (byte 300 is 7)"}},
  };
  for (const Case& c : cases) {
    DeleteFileA(FLog.c_str());
    c.Calls();
    std::vector<std::string> found = ProtocolLines(LogLines());
    ASSERT_EQ(found.size(), c.Protocol.size()) << c.Name;
    for (size_t i = 0; i < found.size(); ++i)
      EXPECT_EQ(found[i].compare(0, c.Protocol[i].size(), c.Protocol[i]), 0) << c.Name << ": " << found[i];
    // Every case leaves the engine outside a scan.
    Terminate(0);
  }
}

// During a scan the log stays open (for others to read only); between scans it is closed, so a
// test may delete it. Without the variables: the scenario and the log beside the DLL; "-": no log.
TEST_F(EngineSim, LogIsOpenDuringAScanAndFoundBesideTheDllByDefault)
{
  WriteScenario("page\nimage none\n");
  ASSERT_EQ(Initialize(), 0);
  HANDLE h = CreateFileA(FLog.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
  if (h != INVALID_HANDLE_VALUE)
    CloseHandle(h);
  Terminate(0);
  EXPECT_TRUE(DeleteFileA(FLog.c_str()));
  Scan();
  EXPECT_EQ(LogLines().size(), 5u);

  const std::string own = FFolder + "\\engine";
  ASSERT_TRUE(CreateDirectoryA(own.c_str(), nullptr));
  ASSERT_TRUE(CopyFileA((ProgramFolder() + "ScanReco.dll").c_str(), (own + "\\ScanReco.dll").c_str(), FALSE));
  WriteBytes(own + "\\ScanReco.scenario", "status 4\n");
  SetEnvironmentVariableA("QRX_ENGINE_SCENARIO", nullptr);
  SetEnvironmentVariableA("QRX_ENGINE_LOG", nullptr);
  Load(own + "\\ScanReco.dll");
  ASSERT_EQ(Initialize(), 0);
  EXPECT_EQ(GetNewPage(TRecord{}.data()), 4);
  Terminate(0);
  const std::vector<std::string> beside = LogLines(own + "\\ScanReco.log");
  EXPECT_EQ(beside, (std::vector<std::string>{"FpScannerInitialize -> 0", "FpGetNewPage -> 4",
                                              "FpScannerTerminate 0 -> 0"}));

  SetEnvironmentVariableA("QRX_ENGINE_LOG", "-");
  ASSERT_EQ(Initialize(), 0);
  Terminate(0);
  GetNewPage(TRecord{}.data());
  EXPECT_EQ(LogLines(own + "\\ScanReco.log"), beside);
  Unload();
}

TEST_F(EngineSim, ScenarioIsReadAgainAtEveryInitializeAndFormatIsForgiving)
{
  struct Case {
    std::string Scenario;
    int Init;
    std::vector<int> Statuses;  // until end of scanning
  } cases[] = {
    {"", 0, {}},
    {"init 3\npage\n", 3, {}},
    {"# only a comment\n\n   \n", 0, {}},
    // BOM, CRLF, keywords in any case, blanks and comments after numbers
    {"\xEF\xBB\xBF# header\r\nINIT 0\r\n  PAGE 5   # the first\r\n\tImage NONE\r\nStatus 4 DELAY 1 # jam\r\n", 0, {5, 4}},
  };
  for (const Case& c : cases) {
    WriteScenario(c.Scenario);
    ASSERT_EQ(Initialize(), c.Init) << c.Scenario;
    std::vector<int> statuses;
    if (c.Init == 0) {
      for (int i = 0; i < 10; ++i) {
        TRecord record = {};
        int s = GetNewPage(record.data());
        if (s == 2)
          break;
        statuses.push_back(s);
      }
    }
    Terminate(0);
    EXPECT_EQ(statuses, c.Statuses) << c.Scenario;
  }
  // A text value runs to the end of its line, "#" and blanks inside it included; hex bytes may be
  // followed by a comment.
  WriteScenario(u8"page  # comment\nimage none\ninfo1   漢字 #1  x  \ninfo2 hex:41 42  # AB\n");
  std::vector<TPage> pages = Scan();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(Value(pages[0].Record, "info1"), "漢字 #1  x");
  EXPECT_EQ(Value(pages[0].Record, "info2"), "AB");
  EXPECT_TRUE(ProtocolLines(LogLines()).empty());
}

TEST_F(EngineSim, BadScenarioFailsInitializeAndTheLogSaysWhere)
{
  struct Case {
    std::string Scenario;
    int Line;
    std::string Reason;
  } cases[] = {
    {"page\nfoo bar\n", 2, "unknown keyword \"foo\""},
    {"page\ninfo9 x\n", 2, "unknown keyword \"info9\""},
    {"page 7\n", 1, "status 0, 5 or 6"},
    {"info1 x\n", 1, "belongs to a page"},
    {"status 4\ndelay 10\n", 2, "belongs to a page"},
    {"page\nrepeat 0\n", 2, "the count must be"},
    {"page\ndelay -5\n", 2, "the delay must be"},
    {"# a\n\nstatus\n", 3, "expected: status"},
    {"status 4 delay x\n", 1, "the delay must be"},
    {"status 99999999999\n", 1, "the status must be"},
    {"init x\n", 1, "the result must be"},
    {"page\ninfo1 hex:414\n", 2, "two digits"},
    {"page\ninfo1 hex:4G\n", 2, "not a hex digit"},
    {"page\ninfo1 ab\xff\xfe\n", 2, "not UTF-8"},
    {u8"page\ninfo1 😀\n", 2, "GBK lacks"},
    {"page\nimage scan\n", 2, "expected: image"},
    {"page\nimage file missing.tif\n", 2, "cannot read the image file"},
  };
  for (const Case& c : cases) {
    DeleteFileA(FLog.c_str());
    WriteScenario(c.Scenario);
    EXPECT_EQ(Initialize(), -1) << c.Scenario;
    EXPECT_EQ(GetNewPage(TRecord{}.data()), 1) << "no scan after a failed initialize";
    Terminate(0);
    std::vector<std::string> lines = LogLines();
    ASSERT_GE(lines.size(), 2u) << c.Scenario;
    // scenario <file>: line <n>: <reason>: <the line>
    const std::string& why = lines[0];
    std::string text = c.Scenario;
    for (int n = 1; n < c.Line; ++n)
      text.erase(0, text.find('\n') + 1);
    text = text.substr(0, text.find('\n'));
    EXPECT_EQ(why.compare(0, 9, "scenario "), 0) << why;
    EXPECT_NE(why.find(Utf8(FScenario) + ": line " + std::to_string(c.Line) + ": "), std::string::npos) << why;
    EXPECT_NE(why.find(c.Reason), std::string::npos) << why;
    EXPECT_EQ(why.substr(why.size() - text.size() - 2), ": " + text) << why;
    EXPECT_EQ(lines[1], "FpScannerInitialize -> -1");
    EXPECT_EQ(ProtocolLines(lines).size(), 1u) << "only the page asked for after the failure";
  }

  DeleteFileA(FScenario.c_str());
  DeleteFileA(FLog.c_str());
  EXPECT_EQ(Initialize(), -1);
  std::vector<std::string> lines = LogLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines[0].find("cannot read the file"), std::string::npos) << lines[0];
}

TEST_F(EngineSim, PartialCopyLacksFpGetNewPage)
{
  Load(ProgramFolder() + "engine-partial\\ScanReco.dll");
  EXPECT_NE(GetVersion, nullptr);
  EXPECT_NE(Initialize, nullptr);
  EXPECT_NE(SetScannerMode, nullptr);
  EXPECT_NE(Terminate, nullptr);
  EXPECT_EQ(GetNewPage, nullptr);
}

}  // namespace
