// Test-only entry points into the restart area.
#include <windows.h>

#include <cstdarg>

#include "restart/debuglog.h"
#include "restart/restart.h"

extern "C" {
int probe_LogDebugMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = kiv::LogDebugMessageV(format, args);
  va_end(args);
  return result;
}
int probe_EnableTokenPrivilege(const char* name) { return kiv::EnableTokenPrivilege(name); }
int probe_IsWindowsNT4OrLater() { return kiv::IsWindowsNT4OrLater(); }
int probe_IsNT4ServicePack6OrGreater() { return kiv::IsNT4ServicePack6OrGreater(); }
}
