// What the scan does with each status the engine answers to a page request.
#pragma once
#include <cstdint>
#include <string>

#include "ui/UdsMessageKind.h"

struct TEngineStatusOutcome {
  bool PageDelivered = false;  // 0, 5 and 6: the record holds a page; the scan goes on
  const char* Message = nullptr;  // shown to the user when the scan ends here (none: nullptr)
  TdsMessageKind Kind = mkInformation;
  int32_t Result = 0;  // the scan's result when it ends here
};

// Statuses compare as unsigned 32-bit values, so a negative one is an unknown failure. The scanner
// "401" reports no paper silently.
TEngineStatusOutcome EngineStatusOutcome(int32_t Status, const std::string& ScannerID);
