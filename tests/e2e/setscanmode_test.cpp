// SetScanMode as a host calls it: the key ScanWithADF of the scanner's own section in the host's
// "simple.cfg", and for scanners from 200 on that section's body copied into [Scan]; every other
// line of the file stays. An id that is no number and a file that cannot be written are errors
// raised to the host. The catalogue is neither read nor changed.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "BoxRecorder.h"
#include "TestDatabase.h"
#include "TestHost.h"
#include "TestScan.h"

namespace {

// Lines of a file, each ending in CR LF.
std::string Lines(const std::vector<std::string>& Each)
{
  std::string text;
  for (const std::string& line : Each)
    text += line + "\r\n";
  return text;
}

// A file's sections in order: the header line (or "" for lines before the first) and its body.
using TSections = std::vector<std::pair<std::string, std::vector<std::string>>>;
TSections SectionsOf(const std::string& Text)
{
  TSections sections(1);
  size_t start = 0;
  for (size_t end; (end = Text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string line = Text.substr(start, end - start);
    if (!line.empty() && line[0] == '[')
      sections.emplace_back(line, std::vector<std::string>());
    else
      sections.back().second.push_back(line);
  }
  return sections;
}
std::vector<std::string> BodyOf(const TSections& Sections, const std::string& Header)
{
  for (const auto& s : Sections)
    if (s.first == Header)
      return s.second;
  ADD_FAILURE() << "no section " << Header;
  return {};
}

// Look-alikes of [Scan201] come first: a comment naming it and [Scan2010].
const std::string kConfig = Lines({"[General]", "Version=3", "; Scan201 is the roll scanner of the front desk",
                                   "[Scan]", "ScannerType=1", "ScanWithADF=0", "Stale=1",
                                   "[Scan2010]", "ScannerType=2010", "ScanWithADF=0",
                                   "[Scan201]", "ScannerType=201", "ScanWithADF=0", "Resolution=300",
                                   "[Scan105]", "ScanWithADF=1", "[Scan199]", "ScanWithADF=1",
                                   "[Scan200]", "ScannerType=200", "[Tail]", "Key=Value"});

class SetScanMode : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(GetACP(), 936u); }

  void Config(const std::string& Text)
  {
    SetFileAttributesA(FScan.ConfigFile().c_str(), FILE_ATTRIBUTE_NORMAL);
    TTestScan::WriteFileBytes(FScan.ConfigFile(), Text);
  }
  std::string ConfigText(bool* Exists = nullptr) const { return TTestScan::FileBytes(FScan.ConfigFile(), Exists); }
  std::string Value(const std::string& Section) const
  {
    char value[64] = {};
    GetPrivateProfileStringA(Section.c_str(), "ScanWithADF", "(none)", value, sizeof value, FScan.ConfigFile().c_str());
    return value;
  }

  THostException Call(const std::string& Id, const std::string& Mode, const std::string& ConfigFolder = "")
  {
    THostParams hp = FScan.Params(FDb.HostConnection());
    if (!ConfigFolder.empty())
      hp.ConfigFolder = ConfigFolder;
    const TScanDLLParams p = FHost.Record(hp);
    THostString id(Id), mode(Mode);
    return CallCatchingLibraryError([&] { FHost.SetScanMode(p, id.S, mode.S); });
  }

  TBoxRecorder FBoxes;
  TTestHost FHost;
  TTestScan FScan;
  TTestDatabase FDb{{{"201", 150, "滚动", "M-201", "P", 0, "a.ds"}}};
};

TEST_F(SetScanMode, RollModeOfScanner201IsCopiedIntoScan)
{
  Config(kConfig);
  const THostException e = Call("201", "G");
  EXPECT_FALSE(e.Raised) << e.Message;
  EXPECT_EQ(ConfigText(), Lines({"[General]", "Version=3", "; Scan201 is the roll scanner of the front desk", "[Scan]",
                                 "ScannerType=201", "ScanWithADF=1", "Resolution=300", "[Scan2010]", "ScannerType=2010",
                                 "ScanWithADF=0", "[Scan201]", "ScannerType=201", "ScanWithADF=1", "Resolution=300",
                                 "[Scan105]", "ScanWithADF=1", "[Scan199]", "ScanWithADF=1", "[Scan200]",
                                 "ScannerType=200", "[Tail]", "Key=Value"}));
  EXPECT_TRUE(FDb.Statements().empty()) << "the catalogue is not asked";
  EXPECT_EQ(FDb.ScannerRows()[0].FSelect, 0);
  EXPECT_EQ(FBoxes.Count(), 0u);
}

TEST_F(SetScanMode, ModeLettersAndIdentifiers)
{
  struct Case {
    const char* Id;
    const char* Mode;
    const char* Section;
    const char* Value;
    bool Copied;  // into [Scan]
  } cases[] = {
      {"201", "G", "[Scan201]", "1", true},   {"201", "P", "[Scan201]", "0", true},
      {"201", "g", "[Scan201]", "0", true},   {"201", "", "[Scan201]", "0", true},
      {"201", "G ", "[Scan201]", "0", true},  {"0201", "G", "[Scan201]", "1", true},
      {"200", "G", "[Scan200]", "1", true},   {"199", "G", "[Scan199]", "1", false},
      {"105", "P", "[Scan105]", "0", false},  {"105", "G", "[Scan105]", "1", false},
  };
  const TSections before = SectionsOf(kConfig);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Id) + " \"" + c.Mode + "\"");
    Config(kConfig);
    const THostException e = Call(c.Id, c.Mode);
    EXPECT_FALSE(e.Raised) << e.Message;
    const std::string section = std::string(c.Section).substr(1, strlen(c.Section) - 2);
    EXPECT_EQ(Value(section), c.Value);
    const TSections after = SectionsOf(ConfigText());
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
      SCOPED_TRACE(after[i].first);
      EXPECT_EQ(after[i].first, before[i].first) << "the sections keep their order";
      if (after[i].first == "[Scan]") {
        EXPECT_EQ(after[i].second, c.Copied ? BodyOf(after, c.Section) : before[i].second);
      } else if (after[i].first != c.Section) {
        EXPECT_EQ(after[i].second, before[i].second);
      }
    }
  }
}

// Files laid out otherwise than the usual [Scan] ... [Scan201] ... [next].
TEST_F(SetScanMode, SectionsAnywhereInTheFile)
{
  struct Case {
    const char* Name;
    const char* Id;
    bool FileExists;
    std::string Before, After;
  } cases[] = {
      {"the scanner's section is the last", "201", true,
       Lines({"[Scan]", "Old=1", "[Scan201]", "ScanWithADF=0", "Resolution=300"}),
       Lines({"[Scan]", "ScanWithADF=1", "Resolution=300", "[Scan201]", "ScanWithADF=1", "Resolution=300"})},
      {"[Scan] is the last", "201", true,
       Lines({"[Scan201]", "ScanWithADF=0", "[Tail]", "Key=Value", "[Scan]", "Old=1", "Old=2"}),
       Lines({"[Scan201]", "ScanWithADF=1", "[Tail]", "Key=Value", "[Scan]", "ScanWithADF=1"})},
      {"[Scan] is empty", "201", true, Lines({"[Scan]", "[Scan201]", "ScanWithADF=0", "Resolution=300"}),
       Lines({"[Scan]", "ScanWithADF=1", "Resolution=300", "[Scan201]", "ScanWithADF=1", "Resolution=300"})},
      {"no [Scan]", "201", true, Lines({"[General]", "Version=3", "[Scan201]", "ScanWithADF=0", "[Tail]", "Key=Value"}),
       Lines({"[General]", "Version=3", "[Scan201]", "ScanWithADF=1", "[Tail]", "Key=Value", "[Scan]",
              "ScanWithADF=1"})},
      {"no section of the scanner yet", "305", true, Lines({"[Scan]", "Old=1", "[Tail]", "Key=Value"}),
       Lines({"[Scan]", "ScanWithADF=1", "[Tail]", "Key=Value", "[Scan305]", "ScanWithADF=1"})},
      {"no file", "201", false, "", Lines({"[Scan201]", "ScanWithADF=1", "[Scan]", "ScanWithADF=1"})},
      {"a line with [ ends the body", "201", true,
       Lines({"[Scan]", "Old=1", "[Scan201]", "ScanWithADF=0", "Name=A[1]", "Resolution=300", "[Tail]", "Key=Value"}),
       Lines({"[Scan]", "ScanWithADF=1", "[Scan201]", "ScanWithADF=1", "Name=A[1]", "Resolution=300", "[Tail]",
              "Key=Value"})},
      {"headers in other letter case", "201", true,
       Lines({"[SCAN]", "Old=1", "[scan201]", "ScanWithADF=0", "Resolution=300", "[Scan2010]", "ScanWithADF=0"}),
       Lines({"[SCAN]", "ScanWithADF=1", "Resolution=300", "[scan201]", "ScanWithADF=1", "Resolution=300", "[Scan2010]",
              "ScanWithADF=0"})},
      {"look-alikes only", "201", true, Lines({"; Scan201", "[Scan2010]", "ScanWithADF=0", "[Scan]", "Old=1"}),
       Lines({"; Scan201", "[Scan2010]", "ScanWithADF=0", "[Scan]", "ScanWithADF=1", "[Scan201]", "ScanWithADF=1"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    if (c.FileExists)
      Config(c.Before);
    else
      DeleteFileA(FScan.ConfigFile().c_str());
    const THostException e = Call(c.Id, "G");
    EXPECT_FALSE(e.Raised) << e.Message;
    EXPECT_EQ(ConfigText(), c.After);
  }
}

TEST_F(SetScanMode, AnIdThatIsNoNumberWritesNothing)
{
  for (const char* id : {"4O1", "", "A", "201x", "2 01", "99999999999"}) {
    SCOPED_TRACE(id);
    for (bool exists : {true, false}) {
      if (exists)
        Config(kConfig);
      else
        DeleteFileA(FScan.ConfigFile().c_str());
      const THostException e = Call(id, "G");
      EXPECT_TRUE(e.Raised);
      EXPECT_EQ(e.Message, "'" + std::string(id) + "' is not a valid integer value");
      bool existsAfter = false;
      const std::string text = ConfigText(&existsAfter);
      EXPECT_EQ(existsAfter, exists);
      if (exists) {
        EXPECT_EQ(text, kConfig);
      }
    }
  }
  EXPECT_EQ(FBoxes.Count(), 0u);
}

TEST_F(SetScanMode, AReadOnlyFileIsMadeWritableAndWritten)
{
  for (const char* id : {"105", "201"}) {
    SCOPED_TRACE(id);
    Config(kConfig);
    ASSERT_TRUE(SetFileAttributesA(FScan.ConfigFile().c_str(), FILE_ATTRIBUTE_READONLY));
    const THostException e = Call(id, "P");
    EXPECT_FALSE(e.Raised) << e.Message;
    EXPECT_FALSE(GetFileAttributesA(FScan.ConfigFile().c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Value(std::string("Scan") + id), "0");
  }
}

TEST_F(SetScanMode, AFileThatCannotBeWrittenIsAnErrorNamingIt)
{
  for (const char* id : {"105", "201"}) {
    SCOPED_TRACE(id);
    Config(kConfig);
    {
      // Another program holds the file open and shares it with nobody.
      HANDLE lock = CreateFileA(FScan.ConfigFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(lock, INVALID_HANDLE_VALUE);
      const THostException e = Call(id, "P");
      CloseHandle(lock);
      EXPECT_TRUE(e.Raised);
      EXPECT_NE(e.Message.find(FScan.ConfigFile()), std::string::npos) << e.Message;
      EXPECT_EQ(ConfigText(), kConfig);
    }
    {
      const std::string folder = FScan.Root + "没有的文件夹\\";
      const THostException e = Call(id, "P", folder);
      EXPECT_TRUE(e.Raised);
      EXPECT_NE(e.Message.find(folder + "simple.cfg"), std::string::npos) << e.Message;
      EXPECT_FALSE(TTestScan::FileExists(folder + "simple.cfg"));
    }
  }
  EXPECT_EQ(FBoxes.Count(), 0u);
}

}  // namespace
