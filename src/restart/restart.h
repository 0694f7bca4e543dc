// Restarting Windows at the end of setup.
#pragma once

namespace kiv {

// Asks Windows to restart and returns without waiting for it. On Windows NT
// the shutdown privilege is enabled first; the current user's
// Reserved\"ExitWindows" marker is always written. On Windows NT 4.0 with
// Service Pack 6 or later the restart goes through InitiateSystemShutdownA
// unless the preference "DisableSp6ShutdownWorkaround" is non-zero;
// everywhere else through ExitWindowsEx(EWX_REBOOT). Each step is logged.
void ExitWindowsForSetup();

// Enables the named privilege on this process's token; true when the
// enabling adjustment succeeded (even if the token does not hold it).
bool EnableTokenPrivilege(const char* privilege);

// Windows NT platform, major version 4 or later.
bool IsWindowsNT4OrLater();
// Windows NT 4.0 with a service-pack text of "Service Pack 6" or greater.
bool IsNT4ServicePack6OrGreater();

}  // namespace kiv
