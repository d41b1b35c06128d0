#include "catalogue/UScannerCatalogue.h"

#include "util/UStrConv.h"
#include "util/UdsStrUtils.h"

#ifdef _WIN32
#include "boundary/UDLLParams.h"
#include "boundary/UHostObjects.h"
#include "data/UdsAdoDBKit.h"
#include "ui/UdsDialogs.h"
#endif

const char* const TScannerCatalogue::SelectedScannerSQL = "SELECT FID, FType FROM B_Scanner WHERE FSelect = 1";

std::string TScannerCatalogue::SelectSQL(const std::string& ScannerID)
{
  return "UPDATE B_Scanner SET FSelect = 1 WHERE FID = " + QuotedStr(ScannerID);
}

std::string TScannerCatalogue::UnselectOthersSQL(const std::string& ScannerID)
{
  return "UPDATE B_Scanner SET FSelect = 0 WHERE FID <> " + QuotedStr(ScannerID);
}

std::string TScannerCatalogue::DriverFilesSQL(const std::string& ScannerID)
{
  return "SELECT FConfigFile FROM B_Scanner WHERE FID = " + QuotedStr(ScannerID);
}

std::string TScannerCatalogue::ScannerListSQL(const std::string& Filter)
{
  // A host whose options say nothing of the list should not get an empty dialog.
  const char sign = Filter.empty() ? '*' : Filter[0];
  std::string sql;
  if (sign == '*' || sign == '+' || sign == '-')
    sql = "SELECT * FROM B_Scanner WHERE FID NOT LIKE " + QuotedStr("X%");
  else
    sql = "SELECT * FROM B_Scanner WHERE 1 = 0";
  if (sign == '+' || sign == '-') {
    std::string listed = TdsStrUtils::SplitAndQuote(TdsStrUtils::CopyFrom(Filter, 2), ';', ',');
    // A list of separators alone (";") has no item, and SQL no empty list: only SQLite takes "IN ()",
    // other databases refuse the statement. One empty literal names no scanner, so "+;" still offers
    // none and "-;" every one.
    if (listed.empty())
      listed = QuotedStr("");
    sql += (sign == '+' ? " AND FID IN (" : " AND FID NOT IN (") + listed + ")";
  }
  return sql + " ORDER BY FID";
}

#ifdef _WIN32
bool TScannerCatalogue::MarkSelected(const std::string& ScannerID)
{
  TdsAdoDBKit kit;
  kit.AttachConnection(THostObjects::Connection().Get());
  // A negative count without an error is a connection that reports no counts (SQL Server under
  // SET NOCOUNT ON): the statements ran.
  std::string error;
  if (kit.ExecBatch({SelectSQL(ScannerID), UnselectOthersSQL(ScannerID)}, error) < 0 && !error.empty()) {
    TdsDialogs::ShowWarning(error);
    return false;
  }
  return true;
}
#endif
