// The running Windows version, as the system reports it.
#pragma once
#include <windows.h>

namespace kiv {

// Fills info (the 148-byte record) with GetVersionExA; the service-pack
// text always ends inside its field. False when the query fails.
inline bool QueryWindowsVersion(OSVERSIONINFOA* info) {
  *info = OSVERSIONINFOA{};
  info->dwOSVersionInfoSize = sizeof *info;
  if (!GetVersionExA(info)) return false;
  info->szCSDVersion[sizeof info->szCSDVersion - 1] = '\0';
  return true;
}

}  // namespace kiv
