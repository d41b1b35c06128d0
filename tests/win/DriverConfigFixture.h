// A scratch configuration folder for the driver configuration tests: DLLParams points at it, files
// in it are written and read back byte for byte or through the private-profile functions.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "HostStrings.h"
#include "boundary/UDLLParams.h"
#include "scanning/UScanConfig.h"
#include "scanning/UScannerRX.h"
#include "util/UdsErrors.h"

class TDriverConfigFixture : public ::testing::Test {
protected:
  void SetUp() override
  {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    static int counter = 0;
    FFolder = std::string(temp) + "qrx-drvcfg-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(++counter) + "\\";
    ASSERT_TRUE(CreateDirectoryA(FFolder.c_str(), nullptr)) << FFolder;
    SetConfigFolder(FFolder);
  }

  void TearDown() override
  {
    ClearDLLParams();
    RemoveTree(FFolder);
  }

  // DLLParams as a call would leave it: ConfigFolder set, Connection as given.
  static void SetConfigFolder(const std::string& Folder, void* Connection = nullptr)
  {
    TScanDLLParams p = {};
    p.ConfigFolder = THostStrings::New(Folder);
    p.Connection = Connection;
    AssignDLLParams(p);
    THostStrings::Release(p.ConfigFolder);
  }

  const std::string& Folder() const { return FFolder; }
  std::string Cfg() const { return FFolder + "simple.cfg"; }
  std::string Pana() const { return FFolder + "PANA_S2025.INI"; }
  TStringList DriverFiles() const { return {FFolder + "pana.ds", FFolder + "pana2.ds"}; }

  static void WriteFile(const std::string& Name, const std::string& Content)
  {
    std::ofstream f(Name, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(f.good()) << Name;
    f << Content;
  }
  static std::string ReadFile(const std::string& Name)
  {
    std::ifstream f(Name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  static bool Exists(const std::string& Name) { return GetFileAttributesA(Name.c_str()) != INVALID_FILE_ATTRIBUTES; }
  static bool IsReadOnly(const std::string& Name)
  {
    DWORD a = GetFileAttributesA(Name.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
  }
  static void SetReadOnly(const std::string& Name, bool On)
  {
    ASSERT_TRUE(SetFileAttributesA(Name.c_str(), On ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL)) << Name;
  }
  // A write time far in the past, so that any rewrite shows.
  static void SetOldTimestamp(const std::string& Name)
  {
    HANDLE h = CreateFileA(Name.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << Name;
    SYSTEMTIME st = {2001, 1, 0, 1, 12, 0, 0, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
    CloseHandle(h);
  }
  static FILETIME WriteTime(const std::string& Name)
  {
    WIN32_FILE_ATTRIBUTE_DATA d = {};
    GetFileAttributesExA(Name.c_str(), GetFileExInfoStandard, &d);
    return d.ftLastWriteTime;
  }
  // An entry through the system's profile functions; "(none)" when missing. The system's cached
  // copy is dropped afterwards so that the next write of the file by the test is seen.
  static std::string Ini(const std::string& Name, const std::string& Section, const std::string& Ident)
  {
    char buffer[512] = {};
    GetPrivateProfileStringA(Section.c_str(), Ident.c_str(), "(none)", buffer, sizeof buffer, Name.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, Name.c_str());
    return buffer;
  }

private:
  static void RemoveTree(const std::string& Folder)
  {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((Folder + "*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
          continue;
        std::string path = Folder + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(path + "\\");
        } else {
          SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileA(path.c_str());
        }
      } while (FindNextFileA(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryA(Folder.c_str());
  }

  std::string FFolder;
};
