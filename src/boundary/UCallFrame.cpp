#include "boundary/UCallFrame.h"

std::string& LastFrameError()
{
  static std::string text;
  return text;
}

std::optional<TSehException>& LastForeignException()
{
  static std::optional<TSehException> caught;
  return caught;
}
