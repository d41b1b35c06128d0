#include "CallLog.h"

std::string TCallLog::Path()
{
  char value[MAX_PATH] = {};
  DWORD n = GetEnvironmentVariableA("QRX_ENGINE_LOG", value, MAX_PATH);
  if (n == 0 || n >= MAX_PATH)
    return ModuleFolder() + "ScanReco.log";
  std::string path(value, n);
  return path == "-" ? std::string() : path;
}

TFileHandle TCallLog::OpenForAppend(const std::string& Path)
{
  if (Path.empty())
    return nullptr;
  // Others may read, and delete, the file while it is open.
  return OpenFile(Path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_ALWAYS);
}

void TCallLog::Open()
{
  FFile = OpenForAppend(Path());
  FInScan = true;
}

void TCallLog::Close()
{
  FFile.reset();
  FInScan = false;
}

void TCallLog::Write(const std::string& Line)
{
  TFileHandle once;
  HANDLE file = FFile.get();
  if (!FInScan) {
    once = OpenForAppend(Path());
    file = once.get();
  }
  if (!file)
    return;
  std::string text = Line + "\r\n";
  DWORD written = 0;
  WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
}
