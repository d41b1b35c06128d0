// In-memory table that receives a copy of a query result.
#pragma once
#include <string>
#include <vector>

class TVirtualTable {
public:
  int RecordCount() const { return static_cast<int>(FRecords.size()); }

private:
  std::vector<std::vector<std::string>> FRecords;
};
