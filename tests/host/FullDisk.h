// A small disk that a test may fill to the last byte: a tmpfs of 256 KB that ctest mounts for the
// tests that ask for it (tests/CMakeLists.txt), named by QRX_FULL_DISK.
#pragma once
#include <string>

// The small disk's folder ("...\" at its end); empty when none is mounted for this run (mounting
// needs root).
std::string FullDiskFolder();

// Fills the disk of Folder to the last byte for the scope (a file "filler" in Folder).
class TFillDisk {
public:
  explicit TFillDisk(const std::string& Folder);
  ~TFillDisk();
  TFillDisk(const TFillDisk&) = delete;
  TFillDisk& operator=(const TFillDisk&) = delete;

private:
  std::string FFile;
};
