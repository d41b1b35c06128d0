// Faults of the database on demand, for the tests' fault matrix: a statement that the database
// rejects, a result set that breaks off while it is read, a connection that drops between two
// statements. Armed through the server's exports (QrxAdoFailStatement, QrxAdoDropConnectionAfter,
// QrxAdoClearFaults); nothing is armed unless a test does it.
#pragma once
#include <string>

enum class TFaultStage { None = 0, Execute = 1, Read = 2 };

// The fault armed for this statement (the first armed one whose text Sql begins with), taken: each
// armed fault strikes once.
TFaultStage TakeStatementFault(const std::wstring& Sql);
// Counts a statement; true when the connection is to drop before it runs.
bool ConnectionDropsNow();

// What runs instead of a statement that fails at execution: the database rejects it with its own
// error (no such table), through the driver's own diagnostics.
extern const wchar_t* const RejectedStatement;
