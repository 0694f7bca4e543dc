// Shared pieces of the installation-action tests.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness/boxes.h"
#include "harness/dll.h"
#include "harness/system.h"

namespace kivtest {

inline void WriteIni(const std::string& ini, const char* key, const std::string& value,
                     const char* section = "Configuration") {
  ASSERT_TRUE(WritePrivateProfileStringA(section, key, value.c_str(), ini.c_str())) << ini;
}

inline std::string Env(const char* name) {
  char value[1024] = "";
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? value : "";
}

// Windows code page 932 (Shift JIS): characters whose second byte is a
// backslash or a vertical bar.
inline const std::string kSjisBackslash = "\x95\x5C";
inline const std::string kSjisBar = "\x83\x7C";

#define SKIP_UNLESS_CP932() \
  if (GetACP() != 932) GTEST_SKIP() << "needs ANSI code page 932 (actions_tests_cp932)"

}  // namespace kivtest
