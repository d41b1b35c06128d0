// The parameter record of every export and the library's one global copy of it.
#pragma once
#include <cstddef>
#include <string>

#include "QuillonRX.h"

// The host's last record. Replaced at the start of every call (strings referenced, the previous
// ones released); its strings are released when the library unloads. The rest of the library reads
// the host's settings from here and nowhere else.
extern TScanDLLParams DLLParams;

// Step 2 of the call frame: copy Params in, taking a reference on each new string and releasing
// each old one.
void AssignDLLParams(const TScanDLLParams& Params);
// Unload: release the strings DLLParams holds and zero it.
void ClearDLLParams();

// The string slots as std::string (GBK bytes).
std::string ParamConfigFolder();
std::string ParamImageFolder();
std::string ParamResultFile();
std::string ParamOptionsXML();

// The six string slots, in record order, for the code that references them all.
constexpr size_t kParamStringCount = 6;
static_assert(offsetof(TScanDLLParams, OptionsXML) - offsetof(TScanDLLParams, Reserved24) == 5 * sizeof(QRX_String),
              "the string slots are contiguous");
QRX_String* ParamStringSlots(TScanDLLParams& Params);

#if defined(__i386__)
// The record as the host lays it out: 48 bytes, twelve 32-bit slots.
static_assert(sizeof(TScanDLLParams) == 48, "TScanDLLParams must be 48 bytes");
static_assert(offsetof(TScanDLLParams, AppHandle) == 0);
static_assert(offsetof(TScanDLLParams, HostControl) == 4);
static_assert(offsetof(TScanDLLParams, Reserved8) == 8);
static_assert(offsetof(TScanDLLParams, Reserved12) == 12);
static_assert(offsetof(TScanDLLParams, Connection) == 16);
static_assert(offsetof(TScanDLLParams, Reserved20) == 20);
static_assert(offsetof(TScanDLLParams, Reserved24) == 24);
static_assert(offsetof(TScanDLLParams, Reserved28) == 28);
static_assert(offsetof(TScanDLLParams, ConfigFolder) == 32);
static_assert(offsetof(TScanDLLParams, ImageFolder) == 36);
static_assert(offsetof(TScanDLLParams, ResultFile) == 40);
static_assert(offsetof(TScanDLLParams, OptionsXML) == 44);
#else
// The 64-bit twin: the same twelve slots, each pointer-sized.
static_assert(sizeof(TScanDLLParams) == 12 * sizeof(void*), "TScanDLLParams must be twelve slots");
static_assert(offsetof(TScanDLLParams, Connection) == 4 * sizeof(void*));
static_assert(offsetof(TScanDLLParams, OptionsXML) == 11 * sizeof(void*));
#endif
