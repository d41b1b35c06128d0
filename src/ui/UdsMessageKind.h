// The kind of a message, which selects its box's icon.
#pragma once
#include <cstdint>

// A byte; any value other than these three counts as mkWarning.
enum TdsMessageKind : uint8_t { mkInformation = 0, mkWarning = 1, mkError = 2 };
