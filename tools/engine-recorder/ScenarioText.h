// The recorder's side of the simulator's scenario format (tools/engine-sim/README.md): a value the
// engine delivered, written so that the simulator delivers the very same bytes again.
#pragma once
#include <string>

// The text of a value line for the GBK bytes Value: UTF-8 text when the simulator turns that text
// back into exactly these bytes (no control bytes, no leading or trailing blank, no "{n}", no
// "hex:" prefix), else "hex:" and the bytes as hex pairs. "" for an empty value.
std::string ScenarioValue(const std::string& Value);

// A field of the page record: its bytes up to the first zero byte, or all Width bytes.
std::string RecordField(const unsigned char* Record, size_t Offset, size_t Width);
