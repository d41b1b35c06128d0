// The scan mode of a scanner as "simple.cfg" keeps it: the key "ScanWithADF" of the scanner's own
// section ("1" roll scanning through the document feeder, "0" flatbed), and for scanners numbered
// 200 and above a copy of that section's body in the shared section "[Scan]".
#pragma once
#include <string>

#include "util/UdsStrUtils.h"

// "1" for the mode letter "G" exactly, "0" for anything else ("P", "g", "").
std::string ScanWithADFValue(const std::string& ScanMode);
// How a stored value reads (missing: "1"): roll scanning when its first character is "1".
bool ReadsAsRollScanning(const std::string& StoredValue);

// The first line at or after Start that contains Text (byte-wise, case-sensitive); -1 when none, or
// when Start lies beyond the last line.
int FindLine(const TStringList& Lines, const std::string& Text, int Start);

// A file's text as lines (split at CR LF, CR or LF), and back (every line ending in CR LF).
TStringList TextLines(const std::string& Text);
std::string LinesText(const TStringList& Lines);

// Makes the body of "[Scan]" a copy of the body of section Section (a name without brackets, such
// as Scan201). A section's header is found as the system's profile functions find it: the first line
// that, without blanks around it, starts with "[" followed by the name up to the first "]" (letter
// case does not matter; text after the bracket, such as "; shared by both drivers", neither); its body
// runs up to the next line containing "[" anywhere, or to the end of the file. Only the old body of "[Scan]" is
// removed; a missing "[Scan]" is added at the end; without the scanner's section nothing changes.
void CopySectionBodyToScan(TStringList& Lines, const std::string& Section);
