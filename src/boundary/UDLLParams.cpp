#include "boundary/UDLLParams.h"

#include "boundary/UAnsiStrings.h"

TScanDLLParams DLLParams = {};

QRX_String* ParamStringSlots(TScanDLLParams& Params) { return &Params.Reserved24; }

void AssignDLLParams(const TScanDLLParams& Params)
{
  QRX_String* oldSlots = ParamStringSlots(DLLParams);
  QRX_String oldStrings[kParamStringCount];
  for (size_t i = 0; i < kParamStringCount; ++i)
    oldStrings[i] = oldSlots[i];

  DLLParams = Params;
  QRX_String* newSlots = ParamStringSlots(DLLParams);
  for (size_t i = 0; i < kParamStringCount; ++i)
    AnsiAddRef(newSlots[i]);
  // Released after the new ones are held, so a string present in both records never drops to 0.
  for (QRX_String s : oldStrings)
    AnsiRelease(s);
}

void ClearDLLParams()
{
  QRX_String* slots = ParamStringSlots(DLLParams);
  for (size_t i = 0; i < kParamStringCount; ++i)
    AnsiRelease(slots[i]);
  DLLParams = {};
}

std::string ParamConfigFolder() { return AnsiToStd(DLLParams.ConfigFolder); }
std::string ParamImageFolder() { return AnsiToStd(DLLParams.ImageFolder); }
std::string ParamResultFile() { return AnsiToStd(DLLParams.ResultFile); }
std::string ParamOptionsXML() { return AnsiToStd(DLLParams.OptionsXML); }
