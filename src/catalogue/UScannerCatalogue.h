// The scanner catalogue, table B_Scanner of the host's database: the statements the library issues
// against it and the recording of a selection. Values enter the SQL as string literals, never as
// parameters.
#pragma once
#include <string>

class TScannerCatalogue {
public:
  TScannerCatalogue() = delete;

  // The selected scanner's id and engine type.
  static const char* const SelectedScannerSQL;
  // Marks ScannerID selected / clears every other row.
  static std::string SelectSQL(const std::string& ScannerID);
  static std::string UnselectOthersSQL(const std::string& ScannerID);
  // The scanner's driver file names, ";"-separated.
  static std::string DriverFilesSQL(const std::string& ScannerID);
  // The rows the select-scanner dialog may offer, by the host's filter text (ScnrList of its
  // options, trimmed): "*" every scanner, "+" only those listed after it, "-" all but those listed
  // (identifiers separated by ";"); never one whose FID begins with X. An empty filter offers every
  // scanner, as "*" does; any other first character none. A list without items (";") is written as
  // one empty literal, since SQL has no empty list.
  static std::string ScannerListSQL(const std::string& Filter);

#ifdef _WIN32
  // Afterwards exactly ScannerID is selected: the two statements over the host's connection, in one
  // transaction, so that a failure of either (a connection lost between them) leaves the previous
  // selection as it was, never two scanners selected or none. A database error is shown to the user
  // as a warning and the result is false. A connection that reports no counts is no error.
  static bool MarkSelected(const std::string& ScannerID);
#endif
};
