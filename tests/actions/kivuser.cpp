// Stand-in for the companion module Kivuser.dll: records its arguments in
// KIV_SEEN_DEPENDENT and returns the number in KIV_COMPANION_RESULT.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

extern "C" int __cdecl TqConfigureDependentServices(const char* service, int flag) {
  char seen[300];
  std::snprintf(seen, sizeof seen, "%s,%d", service ? service : "(null)", flag);
  SetEnvironmentVariableA("KIV_SEEN_DEPENDENT", seen);
  char result[32] = "";
  GetEnvironmentVariableA("KIV_COMPANION_RESULT", result, sizeof result);
  return static_cast<int>(std::strtoul(result, nullptr, 0));
}
