#include <gtest/gtest.h>

#include "harness/dll.h"

using namespace kivtest;

// The prefix of this program reports Windows XP for real.
TEST(VersionPredicatesOnXP, BothAreTrue) {
  KivDll dll;
  EXPECT_EQ(dll.Cdecl("TqIsWindows2000"), 1u);
  EXPECT_EQ(dll.Cdecl("TqIsWindowsXP"), 1u);
}
