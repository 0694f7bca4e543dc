// Shared set-up of the frame and product-layer tests.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "harness/boxes.h"
#include "harness/dll.h"
#include "harness/system.h"

namespace kivtest {

inline constexpr DWORD kHKCU = 0x80000001;
inline constexpr DWORD kHKLM = 0x80000002;

// Every test starts without the product's keys and loads the probe afresh
// when it asks for it, after arranging the registry.
class SpineTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearProductKeys({"Brantelo", "Other", "Acme"}); }
  void TearDown() override { ClearProductKeys({"Brantelo", "Other", "Acme"}); }
};

}  // namespace kivtest
