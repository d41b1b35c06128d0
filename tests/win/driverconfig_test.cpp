// Driver configuration on disk: the driver file list from B_Scanner, "simple.cfg" and the Panasonic
// driver's "PANA_S2025.INI", as the scan prepares them before the engine starts (Windows 5 or later).
#include <gtest/gtest.h>

#include <memory>

#include "BoxRecorder.h"
#include "DriverConfigFixture.h"
#include "TestDatabase.h"

namespace {

class DriverConfig : public TDriverConfigFixture {};

// ---- driver file list ----

class DriverFileList : public TDriverConfigFixture {
protected:
  // A catalogue holding one row FID = Id with FConfigFile = ConfigFile; DLLParams uses its connection.
  void Catalogue(const std::string& Id, const std::string& ConfigFile)
  {
    FDatabase = std::make_unique<TTestDatabase>(std::vector<TScannerRow>{
        {Id, 101, "Scanner", "M1", "G", 0, ConfigFile}, {"999", 102, "Other", "M2", "P", 1, "other.ds"}});
    SetConfigFolder(Folder(), FDatabase->HostConnection());
  }
  TStringList Load(const std::string& Id)
  {
    TStringList list = {"stale item"};
    TScannerRX::LoadDriverFiles(Id, list);
    return list;
  }
  TTestDatabase& Db() { return *FDatabase; }

  TBoxRecorder FBoxes;
  std::unique_ptr<TTestDatabase> FDatabase;
};

TEST_F(DriverFileList, NamesBecomeTwainFolderPathsInOrder)
{
  const std::string twain = TScanner::TwainFolder();
  struct Case {
    const char* configFile;
    TStringList expected;
  } cases[] = {
      {"Fjtw\\fjtw.ds;Fjtw\\fjtw2.ds", {twain + "Fjtw\\fjtw.ds", twain + "Fjtw\\fjtw2.ds"}},
      {"  a.ds ; b.ds  ", {twain + "a.ds", twain + "b.ds"}},
      {"a.ds;;b.ds", {twain + "a.ds", twain, twain + "b.ds"}},
      {";a.ds;", {twain + "a.ds"}},
      {"\t单.ds\r\n", {twain + "单.ds"}},
      {"a.ds", {twain + "a.ds"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.configFile);
    Catalogue("401", c.configFile);
    EXPECT_EQ(Load("401"), c.expected);
  }
  EXPECT_EQ(FBoxes.Count(), 0u);
}

TEST_F(DriverFileList, NoRowOrNoNamesGiveAnEmptyList)
{
  for (const char* configFile : {"", "   ", " \t "}) {
    SCOPED_TRACE(std::string("[") + configFile + "]");
    Catalogue("401", configFile);
    EXPECT_TRUE(Load("401").empty());
    EXPECT_TRUE(Load("402").empty()) << "no such row";
  }
  Db().Exec("UPDATE B_Scanner SET FConfigFile = NULL WHERE FID = '401'");
  EXPECT_TRUE(Load("401").empty()) << "NULL";
  EXPECT_EQ(FBoxes.Count(), 0u);
}

TEST_F(DriverFileList, QueryTextQuotesTheId)
{
  Catalogue("O'1", "o.ds");
  Db().ClearLog();
  EXPECT_EQ(Load("O'1"), TStringList{TScanner::TwainFolder() + "o.ds"});
  EXPECT_EQ(Db().Statements(), std::vector<std::string>{"SELECT FConfigFile FROM B_Scanner WHERE FID = 'O''1'"});
}

TEST_F(DriverFileList, FailedQueryIsShownThenRaises)
{
  ASSERT_EQ(GetACP(), 936u);
  Catalogue("401", "a.ds");
  Db().DropTable();
  TStringList list = {"stale item"};
  EXPECT_THROW(TScannerRX::LoadDriverFiles("401", list), EDatabaseError);
  EXPECT_TRUE(list.empty());
  ASSERT_EQ(FBoxes.Count(), 1u);
  EXPECT_EQ(FBoxes.Last().Caption, L"提示");
  EXPECT_EQ(FBoxes.Last().Icon, UINT(MB_ICONERROR));
  EXPECT_NE(FBoxes.Last().Text.find(L"B_Scanner"), std::wstring::npos) << "the database's own message";
}

// ---- names ----

TEST_F(DriverConfig, ScanConfigFileNameJoinsFolderAndClearsReadOnly)
{
  WriteFile(Cfg(), "[Scan401]\r\n");
  SetReadOnly(Cfg(), true);
  EXPECT_EQ(TScannerRX::ScanConfigFileName(), Folder() + "simple.cfg");
  EXPECT_FALSE(IsReadOnly(Cfg()));
  EXPECT_EQ(ReadFile(Cfg()), "[Scan401]\r\n");
}

TEST_F(DriverConfig, ScanConfigFileNameOfMissingFileCreatesNothing)
{
  EXPECT_EQ(TScannerRX::ScanConfigFileName(), Folder() + "simple.cfg");
  EXPECT_FALSE(Exists(Cfg()));
}

TEST(DriverConfigNames, ScannerSectionName)
{
  struct Case {
    const char* id;
    const char* section;
  } cases[] = {{"401", "Scan401"}, {"0401", "Scan401"}, {"199", "Scan199"}, {"-5", "Scan-5"}, {"0", "Scan0"}};
  for (const auto& c : cases)
    EXPECT_EQ(TScannerRX::ScannerSectionName(c.id), c.section) << c.id;
  for (const char* bad : {"abc", "", "40 1", "401x", "4294967296", "X401"})
    EXPECT_THROW(TScannerRX::ScannerSectionName(bad), EConvertError) << bad;
}

TEST(DriverConfigNames, TwainFolderIsWindowsFolderPlusTwain32)
{
  char windows[MAX_PATH] = {};
  ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
  std::string expected = std::string(windows) + "\\Twain_32\\";
  EXPECT_EQ(TScanner::TwainFolder(), expected);
}

// ---- simple.cfg ----

TEST_F(DriverConfig, ScannerTypeDefaultsToTwoWithoutScanThread2K)
{
  WriteFile(Cfg(), "[Scan101]\r\nScanThread_98=7\r\n");
  TScanConfig::Prepare("101", {});
  EXPECT_EQ(Ini(Cfg(), "Scan101", "ScannerType"), "2");
}

TEST_F(DriverConfig, ScannerTypeComesFromScanThread2K)
{
  struct Case {
    const char* entry;  // value of ScanThread_2K, nullptr when missing
    const char* type;
  } cases[] = {{"5", "5"}, {"-3", "-3"}, {"abc", "2"}, {"", "2"}, {" 4 ", "4"}, {nullptr, "2"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entry ? c.entry : "(missing)");
    WriteFile(Cfg(), c.entry ? std::string("[Scan101]\r\nScanThread_98=9\r\nScanThread_2K=") + c.entry + "\r\n"
                             : std::string("[Scan101]\r\nScanThread_98=9\r\n"));
    TScanConfig::Prepare("101", {});
    EXPECT_EQ(Ini(Cfg(), "Scan101", "ScannerType"), c.type);
  }
}

TEST_F(DriverConfig, SharedSectionOnlyForIdsAbove199)
{
  struct Case {
    const char* id;
    const char* section;
    bool shared;
  } cases[] = {{"250", "Scan250", true}, {"199", "Scan199", false}, {"200", "Scan200", true},
               {"0250", "Scan250", true}, {"-300", "Scan-300", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    WriteFile(Cfg(), std::string("[") + c.section + "]\r\nScanThread_2K=6\r\n[Scan]\r\nScanWithADF=1\r\n");
    TScanConfig::Prepare(c.id, {});
    EXPECT_EQ(Ini(Cfg(), c.section, "ScannerType"), "6");
    EXPECT_EQ(Ini(Cfg(), "Scan", "ScannerType"), c.shared ? "6" : "(none)");
    EXPECT_EQ(Ini(Cfg(), "Scan", "ScanWithADF"), "1");
  }
}

TEST_F(DriverConfig, OtherSectionsAndEntriesArePreserved)
{
  WriteFile(Cfg(), "[General]\r\nLanguage=936\r\n[Scan250]\r\nScanThread_2K=3\r\nScanWithADF=0\r\nScannerType=1\r\n"
                   "[Scan]\r\nScanWithADF=1\r\nScannerType=1\r\n[Scan401]\r\nScanThread_2K=8\r\n");
  TScanConfig::Prepare("250", {});
  EXPECT_EQ(Ini(Cfg(), "Scan250", "ScannerType"), "3");
  EXPECT_EQ(Ini(Cfg(), "Scan", "ScannerType"), "3");
  EXPECT_EQ(Ini(Cfg(), "General", "Language"), "936");
  EXPECT_EQ(Ini(Cfg(), "Scan250", "ScanWithADF"), "0");
  EXPECT_EQ(Ini(Cfg(), "Scan", "ScanWithADF"), "1");
  EXPECT_EQ(Ini(Cfg(), "Scan401", "ScanThread_2K"), "8");
  EXPECT_EQ(Ini(Cfg(), "Scan401", "ScannerType"), "(none)");
}

TEST_F(DriverConfig, MissingConfigFileIsCreated)
{
  TScanConfig::Prepare("250", {});
  EXPECT_EQ(Ini(Cfg(), "Scan250", "ScannerType"), "2");
  EXPECT_EQ(Ini(Cfg(), "Scan", "ScannerType"), "2");
}

TEST_F(DriverConfig, ReadOnlyConfigFileBecomesWritableForGood)
{
  WriteFile(Cfg(), "[Scan101]\r\nScanThread_2K=4\r\n");
  SetReadOnly(Cfg(), true);
  TScanConfig::Prepare("101", {});
  EXPECT_EQ(Ini(Cfg(), "Scan101", "ScannerType"), "4");
  EXPECT_FALSE(IsReadOnly(Cfg()));
}

TEST_F(DriverConfig, NonNumericIdRaisesConversionErrorWritingNothing)
{
  const std::string before = "[Scanabc]\r\nScanThread_2K=4\r\n[Scan]\r\nScannerType=1\r\n";
  WriteFile(Cfg(), before);
  const std::string pana = Folder() + "PANA_S2025.INI";
  for (const char* id : {"abc", "", "401 "}) {
    SCOPED_TRACE(id);
    EXPECT_THROW(TScanConfig::Prepare(id, {Folder() + "pana.ds"}), EConvertError);
    EXPECT_EQ(ReadFile(Cfg()), before);
    EXPECT_FALSE(Exists(pana));
  }
}

TEST_F(DriverConfig, RefusedWriteRaisesNamingTheFile)
{
  // A configuration folder that does not exist: reads give the defaults, the write is refused.
  const std::string missing = Folder() + "missing\\";
  SetConfigFolder(missing);
  try {
    TScanConfig::Prepare("101", {});
    FAIL() << "no error";
  } catch (const EFileError& e) {
    EXPECT_NE(std::string(e.what()).find(missing + "simple.cfg"), std::string::npos) << e.what();
  }
}

// ---- PANA_S2025.INI (scanner 401 only) ----

TEST_F(DriverConfig, PanasonicIniAlreadyRightIsLeftUntouched)
{
  const std::string content = "[Image]\r\nPage=All Pages\r\nAutoCrop=ON\r\nDpi=300\r\n";
  WriteFile(Pana(), content);
  SetOldTimestamp(Pana());
  SetReadOnly(Pana(), true);
  const FILETIME before = WriteTime(Pana());
  TScanConfig::Prepare("401", DriverFiles());
  EXPECT_EQ(ReadFile(Pana()), content);
  const FILETIME after = WriteTime(Pana());
  EXPECT_EQ(CompareFileTime(&before, &after), 0);
  EXPECT_TRUE(IsReadOnly(Pana()));
  EXPECT_EQ(Ini(Cfg(), "Scan401", "ScannerType"), "2");
}

TEST_F(DriverConfig, PanasonicIniWithOtherValuesIsRewritten)
{
  struct Case {
    const char* page;      // nullptr: entry missing
    const char* autoCrop;
  } cases[] = {
      {"First Page", "ON"}, {"All Pages", "OFF"}, {"all pages", "ON"}, {"All Pages", "on"},
      {nullptr, "ON"},      {"All Pages", nullptr}, {nullptr, nullptr}, {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.page ? c.page : "(missing)") + " / " + (c.autoCrop ? c.autoCrop : "(missing)"));
    std::string content = "[Device]\r\nModel=S2025\r\n[Image]\r\nDpi=300\r\n";
    if (c.page)
      content += std::string("Page=") + c.page + "\r\n";
    if (c.autoCrop)
      content += std::string("AutoCrop=") + c.autoCrop + "\r\n";
    WriteFile(Pana(), content);
    SetReadOnly(Pana(), true);
    TScanConfig::Prepare("401", DriverFiles());
    EXPECT_EQ(Ini(Pana(), "Image", "Page"), "All Pages");
    EXPECT_EQ(Ini(Pana(), "Image", "AutoCrop"), "ON");
    EXPECT_EQ(Ini(Pana(), "Image", "Dpi"), "300");
    EXPECT_EQ(Ini(Pana(), "Device", "Model"), "S2025");
    EXPECT_FALSE(IsReadOnly(Pana()));
    SetReadOnly(Pana(), false);
  }
}

TEST_F(DriverConfig, PanasonicIniIsCreatedBesideTheFirstDriverFile)
{
  TScanConfig::Prepare("401", {Folder() + "pana.ds", Folder() + "other\\second.ds"});
  EXPECT_EQ(Ini(Pana(), "Image", "Page"), "All Pages");
  EXPECT_EQ(Ini(Pana(), "Image", "AutoCrop"), "ON");
  EXPECT_FALSE(Exists(Folder() + "other\\PANA_S2025.INI"));
}

TEST_F(DriverConfig, OnlyScanner401TouchesThePanasonicIni)
{
  for (const char* id : {"0401", "402", "250"}) {
    SCOPED_TRACE(id);
    TScanConfig::Prepare(id, DriverFiles());
    EXPECT_FALSE(Exists(Pana()));
  }
}

TEST_F(DriverConfig, RefusedPanasonicWriteRaisesNamingTheFile)
{
  const std::string missing = Folder() + "missing\\";
  try {
    TScanConfig::Prepare("401", {missing + "pana.ds"});
    FAIL() << "no error";
  } catch (const EFileError& e) {
    EXPECT_NE(std::string(e.what()).find(missing + "PANA_S2025.INI"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Ini(Cfg(), "Scan401", "ScannerType"), "2") << "simple.cfg was written before";
}

}  // namespace
