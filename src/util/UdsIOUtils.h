// File names, folders and file deletion.
#pragma once
#include <string>

class TdsIOUtils {
public:
  TdsIOUtils() = delete;

  // Path with one trailing "\" when it names an existing directory, else "".
  static std::string NormalizeDirectory(const std::string& Path);
  // Whether Byte begins a double-byte character in the system's ANSI code page.
  static bool IsLeadByte(unsigned char Byte);
  // Position of the last byte of Path that is one of Delimiters and a character of its own (never
  // the second byte of a double-byte character, which may be 0x5C, the code of "\"); npos if none.
  static size_t LastDelimiter(const std::string& Path, const char* Delimiters);
  // The folder part of Path: up to and including its last "\" or ":" ("" when it has neither).
  static std::string GetFolder(const std::string& Path);
  // The name part of Path (after the last "\", or ":" when Path has a drive or share part).
  static std::string GetFileName(const std::string& Path);
  // As above; without extension when WithExtension is false (a name without "." gives "").
  static std::string GetFileName(const std::string& Path, bool WithExtension);
  // Clears FileName's read-only attribute; a missing file is left alone.
  static void ClearReadOnly(const std::string& FileName);
  // Whether FileName names an existing file (a directory does not count).
  static bool FileExists(const std::string& FileName);
  // Replaces FileName's whole content with Bytes in the file itself, creating it when missing; the
  // file keeps its identity, and a reader that has it open reads the new content. The bytes beyond
  // the old end are written first, so that a disk without room for them leaves the old content
  // whole (and no file where there was none). A crash in the middle may leave a mix of old and new.
  // Raises EFileError ("Cannot create file ..." / "Cannot write to file ...") naming FileName.
  static void RewriteFile(const std::string& FileName, const std::string& Bytes);
  // Replaces FileName's content with Bytes as one step: the bytes go to a file beside it
  // (ReplacementName), which then takes FileName's place, so that a write that fails or is cut off
  // (a full disk, a crash) leaves the old content whole. Where the system refuses to put another file
  // in FileName's place (a reader holds it open without letting it be replaced), FileName is written
  // in place as RewriteFile does. Raises EFileError naming FileName; no temporary file is left.
  static void ReplaceFileContent(const std::string& FileName, const std::string& Bytes);
  // Where a new content of FileName is written before it takes FileName's place.
  static std::string ReplacementName(const std::string& FileName) { return FileName + ".qrxtmp"; }
  // Puts Replacement in FileName's place (the name of either may not hold a NUL). False, with the
  // system's error, when the system refuses; Replacement is then left as it was.
  static bool MoveInPlaceOf(const std::string& Replacement, const std::string& FileName);
  // The whole content of FileName. Raises EFileError naming the file when it cannot be read.
  static std::string LoadFromFile(const std::string& FileName);
  // Deletes FileName, clearing its read-only attribute first. True when no such file exists
  // afterwards; false when the deletion failed. Never raises.
  static bool RemoveFile(const std::string& FileName);
};
