// Folder normalisation, file rewriting and file removal on a real file system.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "FullDisk.h"
#include "TestScan.h"
#include "util/UdsErrors.h"
#include "util/UdsIOUtils.h"

namespace {

// A fresh, empty folder under the temporary folder, removed with everything in it.
class IOUtilsFolder : public ::testing::Test {
protected:
  void SetUp() override
  {
    char temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    FFolder = std::string(temp) + "qrx_ioutils_" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(FFolder.c_str(), nullptr));
  }
  void TearDown() override { RemoveTree(FFolder); }

  static void RemoveTree(const std::string& dir)
  {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
          continue;
        std::string path = dir + "\\" + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          RemoveTree(path);
        else
          DeleteFileA(path.c_str());
      } while (FindNextFileA(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
  }

  std::string MakeFile(const std::string& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
  {
    std::string path = FFolder + "\\" + name;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(h, "x", 1, &written, nullptr);
    CloseHandle(h);
    return path;
  }

  static bool Exists(const std::string& path)
  {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  std::string FFolder;
};

TEST_F(IOUtilsFolder, NormalizeDirectory)
{
  std::string file = MakeFile("a.txt");
  struct Case {
    std::string path;
    std::string expected;
  } cases[] = {
    {FFolder, FFolder + "\\"},
    {FFolder + "\\", FFolder + "\\"},
    {FFolder + "\\missing", ""},
    {FFolder + "\\missing\\", ""},
    {file, ""},
    {"", ""},
    {FFolder + std::string("\0", 1) + "x", ""},  // the system would see only FFolder
  };
  for (const Case& c : cases)
    EXPECT_EQ(TdsIOUtils::NormalizeDirectory(c.path), c.expected) << c.path;
}

// "淺" is 0x9C 0x5C in GBK: a folder whose name ends in it still needs its "\".
TEST_F(IOUtilsFolder, NormalizeDirectoryOfFolderEndingInGbkCharacterWithBackslashByte)
{
  ASSERT_EQ(GetACP(), 936u);
  std::string dir = FFolder + "\\扫描淺";
  ASSERT_EQ(dir.substr(dir.size() - 2), "\x9c\x5c");
  ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
  EXPECT_EQ(TdsIOUtils::NormalizeDirectory(dir), dir + "\\");
  EXPECT_EQ(TdsIOUtils::NormalizeDirectory(dir + "\\"), dir + "\\");
}

// Lead bytes come from the system's code page (936 here), not from a table of the library's own.
TEST(IOUtilsLeadBytes, FollowTheAnsiCodePage)
{
  ASSERT_EQ(GetACP(), 936u);
  for (int b = 0; b < 256; ++b)
    EXPECT_EQ(TdsIOUtils::IsLeadByte(static_cast<unsigned char>(b)), IsDBCSLeadByteEx(936, static_cast<BYTE>(b)) != 0) << b;
  EXPECT_EQ(TdsIOUtils::GetFolder("D:\\扫描淺\\p.tif"), "D:\\扫描淺\\");
  EXPECT_EQ(TdsIOUtils::GetFolder("D:\\x\\扫描淺"), "D:\\x\\");
}

TEST_F(IOUtilsFolder, RemoveFileDeletesPlainAndReadOnlyFiles)
{
  for (DWORD attributes : {DWORD(FILE_ATTRIBUTE_NORMAL), DWORD(FILE_ATTRIBUTE_READONLY),
                           DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)}) {
    std::string path = MakeFile("result.txt", attributes);
    ASSERT_TRUE(Exists(path));
    EXPECT_TRUE(TdsIOUtils::RemoveFile(path)) << attributes;
    EXPECT_FALSE(Exists(path)) << attributes;
  }
}

TEST_F(IOUtilsFolder, RemoveFileOfNothingToDeleteIsTrue)
{
  std::string sub = FFolder + "\\sub";
  ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
  std::string kept = MakeFile("kept.txt");
  struct Case {
    std::string name;
  } cases[] = {
    {FFolder + "\\missing.txt"},
    {FFolder + "\\missing\\missing.txt"},
    {""},
    {sub},                                           // a directory is no file: left alone
    {kept + std::string("\0", 1) + ".bak"},          // names no file; must not hit kept.txt
  };
  for (const Case& c : cases)
    EXPECT_TRUE(TdsIOUtils::RemoveFile(c.name)) << c.name;
  EXPECT_TRUE(Exists(sub));
  EXPECT_TRUE(Exists(kept));
}

// The message of the EFileError that Call raises; "" when it raises none.
template <typename F>
std::string FileErrorOf(F Call)
{
  try {
    Call();
  } catch (const EFileError& e) {
    return e.what();
  }
  return "";
}

// A reader that has the file open (letting others write) reads the new content: the file is
// rewritten in itself, not replaced by another one of the same name.
TEST_F(IOUtilsFolder, RewriteFileReplacesTheWholeContentOfTheSameFile)
{
  const struct {
    const char* Case;
    bool Existed;
    std::string Before, After;
  } cases[] = {
      {"no file before", false, "", "1\r\n2\r\n"},
      {"a longer file before", true, "an old page with more lines\r\nand more\r\n", "new\r\n"},
      {"a file of the same length", true, "abc\r\n", "xyz\r\n"},
      {"a shorter file before", true, "ab", "a new page, longer than the old one\r\n"},
      {"an empty file before", true, "", "new\r\n"},
      {"nothing to write", true, "old\r\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    const std::string path = FFolder + "\\result.txt";
    DeleteFileA(path.c_str());
    HANDLE reader = INVALID_HANDLE_VALUE;
    if (c.Existed) {
      TTestScan::WriteFileBytes(path, c.Before);
      reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           0, nullptr);
      ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    }
    TdsIOUtils::RewriteFile(path, c.After);
    EXPECT_EQ(TTestScan::FileBytes(path), c.After);
    if (reader != INVALID_HANDLE_VALUE) {
      char bytes[256] = {};
      DWORD got = 0;
      EXPECT_TRUE(ReadFile(reader, bytes, sizeof bytes, &got, nullptr));
      EXPECT_EQ(std::string(bytes, got), c.After);
      CloseHandle(reader);
    }
  }
}

// What cannot be opened for writing is reported with the file's name, and leaves the file as it
// was: no file where there was none, the old content where there was one. (A read-only file is
// refused by Windows, but not by wine to a root user: the fault matrix covers the library's own
// handling of one.)
TEST_F(IOUtilsFolder, RewriteFileThatCannotBeWrittenRaisesAndChangesNothing)
{
  const std::string old = "old\r\n";
  const std::string held = FFolder + "\\held.txt";
  TTestScan::WriteFileBytes(held, old);
  // Another program reads it and lets nobody write.
  HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const struct {
    const char* Case;
    std::string Name;
    bool Existed;
  } cases[] = {
      {"a file another program holds", held, true},
      {"a missing folder", FFolder + "\\missing\\result.txt", false},
      {"a name with a NUL inside", FFolder + "\\cut" + std::string(1, '\0') + "off.txt", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    const std::string message = FileErrorOf([&] { TdsIOUtils::RewriteFile(c.Name, "new\r\n"); });
    // The message is a C string: a name with a NUL inside ends there.
    const std::string shown = c.Name.substr(0, c.Name.find('\0'));
    EXPECT_NE(message.find("Cannot create file \"" + shown), std::string::npos) << message;
    bool exists = false;
    const std::string after = TTestScan::FileBytes(shown, &exists);
    EXPECT_EQ(exists, c.Existed);
    if (c.Existed) {
      EXPECT_EQ(after, old);
    }
  }
  CloseHandle(holder);
}

// On a disk without a free byte: what needs no more room than the file has is written; what needs
// more fails before the old content is touched, and a file that was not there is not left behind.
TEST(IOUtilsFullDisk, RewriteFileOnAFullDiskKeepsTheOldContentWhole)
{
  const std::string disk = FullDiskFolder();
  if (disk.empty())
    GTEST_SKIP() << "no small disk is mounted for this run (QRX_FULL_DISK; mounting a tmpfs needs root)";
  const std::string page = disk + "page.txt", absent = disk + "absent.txt";
  const std::string old(4096, 'a');  // a whole page of the tmpfs
  TTestScan::WriteFileBytes(page, old);
  DeleteFileA(absent.c_str());
  {
    TFillDisk full(disk);
    const std::string grown = FileErrorOf([&] { TdsIOUtils::RewriteFile(page, std::string(4097, 'b')); });
    EXPECT_NE(grown.find("Cannot write to file \"" + page + "\""), std::string::npos) << grown;
    EXPECT_EQ(TTestScan::FileBytes(page), old);

    const std::string created = FileErrorOf([&] { TdsIOUtils::RewriteFile(absent, "new\r\n"); });
    EXPECT_NE(created.find(absent), std::string::npos) << created;
    EXPECT_FALSE(TTestScan::FileExists(absent));

    for (size_t size : {size_t(4000), size_t(4096)}) {
      const std::string fits(size, 'c');
      EXPECT_EQ(FileErrorOf([&] { TdsIOUtils::RewriteFile(page, fits); }), "") << size;
      EXPECT_EQ(TTestScan::FileBytes(page), fits) << size;
    }
  }
  DeleteFileA(page.c_str());
}

// Another process holds the file open without delete sharing: the deletion fails and says so.
TEST_F(IOUtilsFolder, RemoveFileOfFileHeldOpenByAnotherProcessIsFalse)
{
  std::string path = MakeFile("held.txt");

  // A suspended copy of cmd.exe holds the only handle to the file.
  char cmd[] = "cmd.exe";
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
                             nullptr, nullptr, &si, &pi));
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE inChild = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), file, pi.hProcess, &inChild, 0, FALSE,
                              DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE));

  EXPECT_FALSE(TdsIOUtils::RemoveFile(path));
  EXPECT_TRUE(Exists(path));

  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);

  // Once the other process let go, the same call succeeds.
  EXPECT_TRUE(TdsIOUtils::RemoveFile(path));
  EXPECT_FALSE(Exists(path));
}

}  // namespace
