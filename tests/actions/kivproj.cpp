// Stand-in for the companion module KivProj.dll: notes that it was called in
// KIV_SEEN_MONITOR and returns the number in KIV_COMPANION_RESULT.
#include <windows.h>

#include <cstdlib>

extern "C" int __cdecl TqPopulateWriteMonitorPaths() {
  SetEnvironmentVariableA("KIV_SEEN_MONITOR", "called");
  char result[32] = "";
  GetEnvironmentVariableA("KIV_COMPANION_RESULT", result, sizeof result);
  return static_cast<int>(std::strtoul(result, nullptr, 0));
}
