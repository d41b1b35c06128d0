// The host's connection as the library verifies it: once per exported call, never beyond one.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestDatabase.h"
#include "boundary/UHostObjects.h"

namespace {

TEST(HostConnection, VerifiedOncePerCallAndForgottenAfterIt)
{
  TTestDatabase first, second;
  void* object[64] = {};
  static const void* const fakeClass[4] = {};
  object[0] = const_cast<void**>(fakeClass);
  object[9] = first.Connection();
  {
    THostObjects::TCallScope call;
    EXPECT_EQ(THostObjects::Connection(object).Get(), first.Connection());
    // Within the call the host's object is what it was: what was verified stands.
    object[9] = second.Connection();
    EXPECT_EQ(THostObjects::Connection(object).Get(), first.Connection());
    // Another value is verified on its own.
    EXPECT_EQ(THostObjects::Connection(second.Connection()).Get(), second.Connection());
  }
  // A new call verifies again; outside a call nothing is kept.
  EXPECT_EQ(THostObjects::Connection(object).Get(), second.Connection());
  object[9] = first.Connection();
  EXPECT_EQ(THostObjects::Connection(object).Get(), first.Connection());
  {
    THostObjects::TCallScope outer;
    EXPECT_EQ(THostObjects::Connection(object).Get(), first.Connection());
    {
      THostObjects::TCallScope nested;  // the host's page handler calling the library again
      object[9] = second.Connection();
      EXPECT_EQ(THostObjects::Connection(object).Get(), first.Connection());
    }
    EXPECT_EQ(THostObjects::Connection(object).Get(), second.Connection()) << "verified again after the nested call";
  }
}

}  // namespace
