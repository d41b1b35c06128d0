#include "FullDisk.h"

#include <windows.h>

#include <vector>

#include "TestScan.h"

std::string FullDiskFolder()
{
  char folder[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableA("QRX_FULL_DISK", folder, MAX_PATH);
  if (!n || n >= MAX_PATH || !TTestScan::FileExists(std::string(folder) + ".qrx-full-disk"))
    return "";
  return folder;
}

TFillDisk::TFillDisk(const std::string& Folder) : FFile(Folder + "filler")
{
  HANDLE file = CreateFileA(FFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  std::vector<char> block(4096, 'f');
  DWORD written = 0;
  while (WriteFile(file, block.data(), 4096, &written, nullptr) && written == 4096) {
  }
  while (WriteFile(file, block.data(), 1, &written, nullptr) && written == 1) {
  }
  CloseHandle(file);
}

TFillDisk::~TFillDisk() { DeleteFileA(FFile.c_str()); }
