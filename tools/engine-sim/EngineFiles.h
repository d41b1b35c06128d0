// Files the engine reads and writes. Paths are GBK (the system's ANSI code page).
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

struct THandleCloser {
  void operator()(HANDLE H) const noexcept { CloseHandle(H); }
};
// An open file; empty when opening failed (never INVALID_HANDLE_VALUE).
using TFileHandle = std::unique_ptr<void, THandleCloser>;

// CreateFileA with the result made a TFileHandle.
TFileHandle OpenFile(const std::string& Path, DWORD Access, DWORD Share, DWORD Disposition);

// The whole file; false with GetLastError() set when it cannot be read.
bool ReadWholeFile(const std::string& Path, std::string& Bytes);
// Replaces the file with Bytes; false with GetLastError() set on failure.
bool WriteWholeFile(const std::string& Path, const void* Bytes, size_t Count);
// The size of an existing file, or -1 when there is none.
int64_t FileSizeOf(const std::string& Path);
// Creates Folder (ending in "\") and every missing folder above it. False when it still is missing.
bool CreateFolders(const std::string& Folder);

// The folder of ScanReco.dll, ending in "\".
std::string ModuleFolder();
