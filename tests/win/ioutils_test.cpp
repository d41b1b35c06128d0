// Folder normalisation and file removal on a real file system.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

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
