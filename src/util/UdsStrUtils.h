// Splitting and quoting texts. Texts are GBK byte strings; positions count bytes from 1.
#pragma once
#include <string>
#include <vector>

// An ordered list of texts (driver file lists, statement batches, filter lists).
using TStringList = std::vector<std::string>;

class TdsStrUtils {
public:
  TdsStrUtils() = delete;

  // Splits Text at every Separator into List (cleared first). A Separator at the very start or
  // end adds no empty item; two adjacent ones give an empty item; a Text without Separator (or an
  // empty Separator) gives Text itself as the only item.
  static void SplitString(const std::string& Text, const std::string& Separator, TStringList& List);
  // Every item as an SQL string literal, joined by Separator; an empty list gives "".
  static std::string QuotedJoin(const TStringList& List, char Separator);
  // SplitString at SplitChar, then QuotedJoin with JoinChar: 201;205 -> '201','205'.
  static std::string SplitAndQuote(const std::string& Text, char SplitChar, char JoinChar);
  // Text from the byte at Position (1-based) to the end; past the end gives "".
  static std::string CopyFrom(const std::string& Text, int Position);
};
