#include "EngineFiles.h"

#include "GbkText.h"

TFileHandle OpenFile(const std::string& Path, DWORD Access, DWORD Share, DWORD Disposition)
{
  HANDLE h = CreateFileA(Path.c_str(), Access, Share, nullptr, Disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return TFileHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

bool ReadWholeFile(const std::string& Path, std::string& Bytes)
{
  TFileHandle file = OpenFile(Path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  if (!file)
    return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size))
    return false;
  if (size.QuadPart > 256 * 1024 * 1024) {
    SetLastError(ERROR_FILE_TOO_LARGE);
    return false;
  }
  Bytes.assign(size_t(size.QuadPart), '\0');
  DWORD read = 0;
  if (!Bytes.empty() && (!ReadFile(file.get(), &Bytes[0], DWORD(Bytes.size()), &read, nullptr) || read != Bytes.size()))
    return false;
  return true;
}

bool WriteWholeFile(const std::string& Path, const void* Bytes, size_t Count)
{
  TFileHandle file = OpenFile(Path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
  if (!file)
    return false;
  DWORD written = 0;
  return WriteFile(file.get(), Bytes, DWORD(Count), &written, nullptr) && written == Count;
}

int64_t FileSizeOf(const std::string& Path)
{
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(Path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return -1;
  return (int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool CreateFolders(const std::string& Folder)
{
  auto exists = [](const std::string& F) {
    DWORD a = GetFileAttributesA(F.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
  };
  if (Folder.empty() || exists(Folder))
    return true;
  // The parent is the folder part of this folder without its own "\".
  std::string parent = GbkFolderOf(Folder.substr(0, Folder.size() - 1));
  if (parent.size() > 0 && parent.size() < Folder.size() && parent.back() == '\\' && !CreateFolders(parent))
    return false;
  return CreateDirectoryA(Folder.c_str(), nullptr) || exists(Folder);
}

std::string ModuleFolder()
{
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ModuleFolder), &self);
  char path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
  return GbkFolderOf(std::string(path, n < MAX_PATH ? n : 0));
}
