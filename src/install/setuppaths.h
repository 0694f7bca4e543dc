// The setup program's small questions and chores: whether a chosen folder
// lies on a local drive, the all-users desktop folder, the removal of the
// old shared library from the BIN folder, the setup program's path, the
// Windows version, one registry value under the local machine and the time
// stamp of the last setup.
#pragma once
#include <windows.h>

#include "frame/export.h"

namespace kiv {

// 0 when the folder in the block's parameter string lies on a fixed or
// removable drive and names more than a bare drive; 1 after message 433
// (not a local drive) or 434 (a drive letter alone), or without a string.
int ValidateLocalDirectory(const InstallerCallBlock* block);

// The all-users desktop folder: the shell's common desktop, else the
// machine's "Common Desktop" shell folder value, else the current user's
// desktop; empty when all fail. Points into a buffer of 260 bytes that the
// next call overwrites.
const char* CommonDesktopLocation();

// Deletes <folder>\BIN\MFC42.DLL, or registers it for deletion at the next
// restart when it cannot be deleted now.
void CleanUpOldFiles(const char* folder);

// Full path of the calling process's executable, in a buffer of 260 bytes.
const char* SetupExePath();

bool IsWindows2000OrLater();
bool IsWindowsXP();

// Deletes one value of HKEY_LOCAL_MACHINE\subkey. True when it was deleted.
bool DeleteMachineValue(const char* subkey, const char* value);

// Stores the current system time as "<high>-<low>" of its FILETIME halves
// (signed decimal) in the machine's Preferences "LastSetupTime".
void UpdateSetupDate();

}  // namespace kiv
