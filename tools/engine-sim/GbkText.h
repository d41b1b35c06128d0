// Texts of the engine: the scenario is UTF-8, the record and file names are GBK (code page 936),
// the log is UTF-8, GDI draws UTF-16.
#pragma once
#include <string>

// UTF-8 to GBK; false when Utf8 is not valid UTF-8 or holds a character GBK does not have.
bool Utf8ToGbk(const std::string& Utf8, std::string& Gbk);
// GBK to UTF-8 and UTF-16; bytes that are no GBK character become U+FFFD or "?".
std::string GbkToUtf8(const std::string& Gbk);
std::wstring GbkToWide(const std::string& Gbk);

// The folder part of a GBK path: up to and including its last "\" or ":" that is a character of
// its own (the second byte of a double-byte character may be 0x5C); "" when there is none.
std::string GbkFolderOf(const std::string& Path);
