#include "restart/restart.h"

#include <windows.h>

#include "frame/handles.h"
#include "frame/mbwin.h"
#include "frame/winver.h"
#include "portable/mbcompare.h"
#include "product/registry.h"
#include "restart/debuglog.h"

namespace kiv {

bool IsWindowsNT4OrLater() {
  OSVERSIONINFOA info;
  return QueryWindowsVersion(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT &&
         info.dwMajorVersion >= 4;
}

bool IsNT4ServicePack6OrGreater() {
  OSVERSIONINFOA info;
  if (!QueryWindowsVersion(&info) || info.dwPlatformId != VER_PLATFORM_WIN32_NT ||
      info.dwMajorVersion != 4)
    return false;
  return mb::CompareNoCase(info.szCSDVersion, "Service Pack 6", SystemLeadByte) >= 0;
}

bool EnableTokenPrivilege(const char* privilege) {
  KernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put()))
    return false;
  LUID id{};
  if (!LookupPrivilegeValueA(nullptr, privilege, &id)) return false;

  // Ask for the privilege's current attributes by applying it unchanged
  // (attributes 0), then apply those attributes with the enabled bit added.
  TOKEN_PRIVILEGES query{};
  query.PrivilegeCount = 1;
  query.Privileges[0].Luid = id;
  query.Privileges[0].Attributes = 0;
  TOKEN_PRIVILEGES previous{};
  DWORD previousLength = sizeof previous;  // 16: the count and one entry
  if (!AdjustTokenPrivileges(token.get(), FALSE, &query, sizeof query, &previous,
                             &previousLength))
    return false;

  const DWORD kept = previous.PrivilegeCount != 0 ? previous.Privileges[0].Attributes : 0;
  previous.PrivilegeCount = 1;
  previous.Privileges[0].Luid = id;
  previous.Privileges[0].Attributes = kept | SE_PRIVILEGE_ENABLED;
  return AdjustTokenPrivileges(token.get(), FALSE, &previous, previousLength, nullptr,
                               nullptr) != FALSE;
}

void ExitWindowsForSetup() {
  LogDebugMessage("EWX_REBOOT");
  if (IsWindowsNT4OrLater()) EnableTokenPrivilege("SeShutdownPrivilege");

  WriteProductDword("Reserved", "ExitWindows", 1, kCurrentUser);

  if (IsNT4ServicePack6OrGreater() && ReadPreferenceDword("DisableSp6ShutdownWorkaround", 0) == 0) {
    LogDebugMessage("NT4ServicePack6OrGreater InitiateSystemShutdown REBOOT");
    InitiateSystemShutdownA(nullptr, nullptr, 0, FALSE, TRUE);
    return;
  }
  LogDebugMessage("ExitWindowsEx(EWX_REBOOT)");
  ExitWindowsEx(EWX_REBOOT, 0);
}

}  // namespace kiv
