#include "AdoFaults.h"

#include <windows.h>

#include <vector>

namespace {
struct TArmedFault {
  std::wstring Start;
  TFaultStage Stage;
};

// Tests arm faults on the thread that then runs the statements; the lock keeps the lists whole all
// the same.
CRITICAL_SECTION* Lock()
{
  static CRITICAL_SECTION lock;
  static const bool ready = (InitializeCriticalSection(&lock), true);
  (void)ready;
  return &lock;
}

class TFaultGuard {
public:
  TFaultGuard() { EnterCriticalSection(Lock()); }
  ~TFaultGuard() { LeaveCriticalSection(Lock()); }
  TFaultGuard(const TFaultGuard&) = delete;
  TFaultGuard& operator=(const TFaultGuard&) = delete;
};

std::vector<TArmedFault> Armed;
int StatementsBeforeDrop = -1;  // -1: no drop armed
}  // namespace

const wchar_t* const RejectedStatement = L"SELECT * FROM qrx_injected_fault";

TFaultStage TakeStatementFault(const std::wstring& Sql)
{
  TFaultGuard guard;
  for (auto f = Armed.begin(); f != Armed.end(); ++f) {
    if (Sql.compare(0, f->Start.size(), f->Start) == 0) {
      const TFaultStage stage = f->Stage;
      Armed.erase(f);
      return stage;
    }
  }
  return TFaultStage::None;
}

bool ConnectionDropsNow()
{
  TFaultGuard guard;
  if (StatementsBeforeDrop < 0)
    return false;
  return StatementsBeforeDrop-- == 0;
}

extern "C" {

// The next statement whose text begins with Start fails: at execution (Stage 1: the database rejects
// it) or while its rows are read (Stage 2: the provider loses the result set after the first row).
void QrxAdoFailStatement(const wchar_t* Start, int Stage)
{
  TFaultGuard guard;
  Armed.push_back({Start ? Start : L"", Stage == 2 ? TFaultStage::Read : TFaultStage::Execute});
}

// After Statements more statements the connection drops: the link to the database is closed under
// the open ADO connection, so every later statement fails with the driver's own error.
void QrxAdoDropConnectionAfter(int Statements)
{
  TFaultGuard guard;
  StatementsBeforeDrop = Statements;
}

void QrxAdoClearFaults()
{
  TFaultGuard guard;
  Armed.clear();
  StatementsBeforeDrop = -1;
}

}  // extern "C"
