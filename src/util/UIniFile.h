// An INI file read and written through the system's private-profile functions: section and entry
// names match without regard to case, a write creates the file, section or entry when missing, and
// every write changes one entry only, so the rest of the file is preserved.
//
// The system rewrites the whole file in place for every write, and on a full disk it may cut the
// file short and report success all the same: everything after the cut would be lost. So a write to
// an existing file goes to a copy beside it, when the disk has room for the copy to be rewritten,
// and the copy then takes the file's place: a write that fails or is cut off leaves the file whole.
// The file keeps its name and its content apart from the entry written, which is all that its
// readers (the engine, the scanner drivers) go by.
#pragma once
#include <cstdint>
#include <string>

class TIniFile {
public:
  // InPlace: the system's own files (Win.ini), which the system may keep elsewhere than in the file.
  enum TWriteMode { ThroughCopy, InPlace };
  explicit TIniFile(const std::string& FileName, TWriteMode Mode = ThroughCopy) : FFileName(FileName), FMode(Mode) {}
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
  void WriteThroughCopy(const std::string& Section, const std::string& Ident, const std::string& Value);

  std::string FFileName;
  TWriteMode FMode;
};
