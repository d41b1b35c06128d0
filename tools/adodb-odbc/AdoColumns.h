// Result columns as ADO describes them for SQL Server's types, and their values as ADO hands them out.
#pragma once

#include "AdoOdbc.h"

// Describes the result columns of the executed Statement. Columns declared numeric(p,s) or
// decimal(p,s) are adNumeric / adDecimal with the declared precision and scale (read through
// SQLColumns on Dbc: the SQLite driver reports them as double or text); a column under an alias
// keeps its precision but has scale 0. False on a driver error, with the diagnostics on Statement.
bool DescribeColumns(SQLHDBC Dbc, SQLHSTMT Statement, std::vector<TColumn>& Out);

// Reads column Number (from 1) of the current row into Out. S_OK; E_FAIL on a driver error (the
// diagnostics are on Statement); DB_E_CANTCONVERTVALUE when a numeric column holds no number.
HRESULT ReadValue(SQLHSTMT Statement, SQLUSMALLINT Number, const TColumn& Column, TVar& Out);
