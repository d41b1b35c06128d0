// The reliability report's rows, written by the tests that make them: what was done to the library,
// what must happen, what did. Each row is appended as a tab-separated line (UTF-8) to
// test-output/fault-matrix-<program>.tsv of the test program's tree, which scripts/report turns into
// docs/reliability.md, so that the document says what the last run saw.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "BoxRecorder.h"
#include "HostSeh.h"

void ReportMatrixRow(const std::string& Area, const std::string& Fault, const std::string& Expected,
                     const std::string& Observed, bool Passed);

// UTF-8 of a GBK text and of a UTF-16 one, for the report.
std::string Utf8OfGbk(const std::string& Gbk);
std::string Utf8(const std::wstring& Text);

// "warning 扫描仪缺纸！; error ..." for the boxes a call showed.
std::string DescribeBoxes(const std::vector<TBoxRecord>& Boxes);
// "result -1", or "exception E0515258: <message>" for what the host got back.
std::string DescribeOutcome(bool Raised, const THostException& E, int Result);
