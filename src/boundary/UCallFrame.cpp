#include "boundary/UCallFrame.h"

std::string& LastFrameError()
{
  static std::string text;
  return text;
}
