#include "TestScan.h"

#include <stdexcept>

namespace {
const char kTwainKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Twain";

std::string Utf8(const std::wstring& Text)
{
  if (Text.empty())
    return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring FromUtf8(const std::string& Text)
{
  if (Text.empty())
    return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), out.data(), n);
  return out;
}

}  // namespace

void TTestScan::WriteFileBytes(const std::string& Name, const std::string& Bytes)
{
  HANDLE f = CreateFileA(Name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE)
    throw std::runtime_error("TTestScan: cannot write " + Name);
  DWORD written = 0;
  WriteFile(f, Bytes.data(), static_cast<DWORD>(Bytes.size()), &written, nullptr);
  CloseHandle(f);
}

namespace {
// Deletes Folder and everything in it.
void RemoveTree(const std::string& Folder)
{
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((Folder + "*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..")
        continue;
      const std::string path = Folder + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path + "\\");
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(h, &found));
    FindClose(h);
  }
  RemoveDirectoryA(Folder.c_str());
}

// Every folder of Path's folder part, from the top down.
void MakeFolders(const std::string& Path)
{
  for (size_t p = Path.find('\\', 3); p != std::string::npos; p = Path.find('\\', p + 1))
    CreateDirectoryA(Path.substr(0, p).c_str(), nullptr);
}
}  // namespace

TTestScan::TTestScan(const std::string& Parent)
{
  std::string parent = Parent;
  if (parent.empty()) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    parent = temp;
  }
  if (parent.back() != '\\')
    parent += '\\';
  static LONG serial = 0;
  Root = parent + "qrx-scan-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(InterlockedIncrement(&serial)) + "\\";
  RemoveTree(Root);
  ConfigFolder = Root + "cfg\\";
  ImageFolder = Root + "img\\";
  EngineFolder = Root + "engine\\";
  ResultFile = Root + "result.txt";
  for (const std::string& f : {Root, ConfigFolder, ImageFolder, EngineFolder})
    if (!CreateDirectoryA(f.c_str(), nullptr))
      throw std::runtime_error("TTestScan: cannot create " + f);
  SetEnvironmentVariableA("QRX_ENGINE_SCENARIO", (EngineFolder + "scan.scenario").c_str());
  SetEnvironmentVariableA("QRX_ENGINE_LOG", (EngineFolder + "engine.log").c_str());
}

TTestScan::~TTestScan()
{
  SetEnvironmentVariableA("QRX_ENGINE_SCENARIO", nullptr);
  SetEnvironmentVariableA("QRX_ENGINE_LOG", nullptr);
  for (const std::string& f : FDriverFiles) {
    SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(f.c_str());
  }
  RemoveTree(Root);
}

THostParams TTestScan::Params(void* Connection) const
{
  THostParams hp;
  hp.Connection = Connection;
  hp.ConfigFolder = ConfigFolder;
  hp.ImageFolder = ImageFolder;
  hp.ResultFile = ResultFile;
  return hp;
}

std::string TTestScan::TwainFolder()
{
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  std::string folder = windows;
  if (folder.back() != '\\')
    folder += '\\';
  return folder + "Twain_32\\";
}

std::string TTestScan::AddDriverFile(const std::string& RelativeName)
{
  const std::string path = TwainFolder() + RelativeName;
  MakeFolders(path);
  WriteFileBytes(path, "driver");
  FDriverFiles.push_back(path);
  return RelativeName;
}

void TTestScan::Scenario(const std::string& GbkText) { WriteFileBytes(EngineFolder + "scan.scenario", Utf8(Wide(GbkText))); }

std::vector<std::string> TTestScan::EngineLog() const
{
  std::vector<std::string> lines;
  const std::string text = Gbk(FromUtf8(FileBytes(EngineFolder + "engine.log")));
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      lines.push_back(text.substr(start, i - start - (i > start && text[i - 1] == '\r' ? 1 : 0)));
      start = i + 1;
    }
  }
  return lines;
}

void TTestScan::ClearEngineLog() { DeleteFileA((EngineFolder + "engine.log").c_str()); }

std::vector<std::string> TTestScan::EngineCalls(const std::string& Prefix) const
{
  std::vector<std::string> out;
  for (const std::string& line : EngineLog())
    if (line.compare(0, Prefix.size(), Prefix) == 0)
      out.push_back(line);
  return out;
}

std::string TTestScan::FileBytes(const std::string& Name, bool* Exists)
{
  HANDLE f = CreateFileA(Name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Exists)
    *Exists = f != INVALID_HANDLE_VALUE;
  if (f == INVALID_HANDLE_VALUE)
    return {};
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got)
    bytes.append(buffer, got);
  CloseHandle(f);
  return bytes;
}

bool TTestScan::FileExists(const std::string& Name)
{
  const DWORD a = GetFileAttributesA(Name.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string RegistryTwainSource(const char* Value)
{
  char data[1024] = {};
  DWORD size = sizeof data - 1, type = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kTwainKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return {};
  const LONG r = RegQueryValueExA(key, Value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  return r == ERROR_SUCCESS && type == REG_SZ ? std::string(data) : std::string();
}

void ClearRegistryTwainSource()
{
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kTwainKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return;
  RegDeleteValueA(key, "默认资源");
  RegDeleteValueA(key, "Default Source");
  RegCloseKey(key);
}
