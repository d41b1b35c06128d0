// The statements on B_Scanner, byte for byte: the host's database sees exactly these texts.
#include <gtest/gtest.h>

#include "catalogue/UScannerCatalogue.h"

TEST(CatalogueSql, SelectedScannerQuery)
{
  EXPECT_STREQ("SELECT FID, FType FROM B_Scanner WHERE FSelect = 1", TScannerCatalogue::SelectedScannerSQL);
}

TEST(CatalogueSql, StatementsQuoteTheIdAsALiteral)
{
  struct Case {
    const char* id;
    const char* literal;
  } cases[] = {
      {"201", "'201'"},
      {"O'1", "'O''1'"},          // inner quote doubled
      {"'", "''''"},              // nothing but a quote
      {"", "''"},                 // empty id still a literal
      {"1' OR '1'='1", "'1'' OR ''1''=''1'"},  // injection attempt stays inside the literal
      {"扫描", "'扫描'"},           // GBK bytes pass through unchanged
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(std::string("UPDATE B_Scanner SET FSelect = 1 WHERE FID = ") + c.literal,
              TScannerCatalogue::SelectSQL(c.id));
    EXPECT_EQ(std::string("UPDATE B_Scanner SET FSelect = 0 WHERE FID <> ") + c.literal,
              TScannerCatalogue::UnselectOthersSQL(c.id));
    EXPECT_EQ(std::string("SELECT FConfigFile FROM B_Scanner WHERE FID = ") + c.literal,
              TScannerCatalogue::DriverFilesSQL(c.id));
  }
}

TEST(CatalogueSql, ScannerListQueryFollowsTheFilter)
{
  const std::string base = "SELECT * FROM B_Scanner WHERE FID NOT LIKE 'X%'";
  const std::string none = "SELECT * FROM B_Scanner WHERE 1 = 0 ORDER BY FID";
  struct Case {
    const char* filter;  // as the dialog passes it: trimmed
    std::string sql;
  } cases[] = {
      {"*", base + " ORDER BY FID"},
      {"+201;205", base + " AND FID IN ('201','205') ORDER BY FID"},
      {"-201;205", base + " AND FID NOT IN ('201','205') ORDER BY FID"},
      {"+201", base + " AND FID IN ('201') ORDER BY FID"},
      {"+;201;", base + " AND FID IN ('201') ORDER BY FID"},
      {"+201;;205", base + " AND FID IN ('201','','205') ORDER BY FID"},
      {"+", base + " AND FID IN ('') ORDER BY FID"},
      // Separators alone list no item; "IN ()" is no SQL (only SQLite takes it): one empty literal.
      {"+;", base + " AND FID IN ('') ORDER BY FID"},
      {"-;", base + " AND FID NOT IN ('') ORDER BY FID"},
      {"+;;", base + " AND FID IN ('') ORDER BY FID"},
      {"+O'1;2 01", base + " AND FID IN ('O''1','2 01') ORDER BY FID"},
      {"+1') OR ('1'='1", base + " AND FID IN ('1'') OR (''1''=''1') ORDER BY FID"},
      {"*201", base + " ORDER BY FID"},
      {"201", none},
      {"?", none},
      // No list at all: every scanner, as with "*".
      {"", base + " ORDER BY FID"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TScannerCatalogue::ScannerListSQL(c.filter), c.sql) << c.filter;
}
