// An INI file read and written through the system's private-profile functions: section and entry
// names match without regard to case, a write creates the file, section or entry when missing, and
// every write changes one entry only, so the rest of the file is preserved.
#pragma once
#include <cstdint>
#include <string>

class TIniFile {
public:
  explicit TIniFile(const std::string& FileName) : FFileName(FileName) {}
  // Drops the system's cached copy of the file, so nothing of it outlives the object.
  ~TIniFile();
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const std::string& FileName() const { return FFileName; }

  // Default when the file, section or entry is missing.
  std::string ReadString(const std::string& Section, const std::string& Ident, const std::string& Default) const;
  // Default also when the entry is not a decimal integer.
  int32_t ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default) const;
  // A write the system refuses raises EFileError naming the file.
  void WriteString(const std::string& Section, const std::string& Ident, const std::string& Value);
  void WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value);

private:
  std::string FFileName;
};
