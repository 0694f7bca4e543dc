#include "install/setuppaths.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "frame/mbwin.h"
#include "frame/winver.h"
#include "portable/setup_text.h"
#include "product/identity.h"
#include "product/registry.h"
#include "resources/strings.h"

namespace kiv {
namespace {

char commonDesktop[260];
char setupExePath[260];

// The file-system path of a special folder into buffer (MAX_PATH bytes);
// false when the shell has none.
bool SpecialFolderPath(int csidl, char* buffer) {
  LPITEMIDLIST items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || items == nullptr) return false;
  const bool ok = SHGetPathFromIDListA(items, buffer) != FALSE;
  IMalloc* shellMalloc = nullptr;
  if (SUCCEEDED(SHGetMalloc(&shellMalloc)) && shellMalloc) {
    shellMalloc->Free(items);
    shellMalloc->Release();
  }
  return ok;
}

}  // namespace

int ValidateLocalDirectory(const InstallerCallBlock* block) {
  const char* folder = BlockParam(block);
  if (folder == nullptr) return 1;
  // An empty choice names no drive at all: it is not a local folder.
  if (folder[0] == '\0') {
    ShowInstallerMessage(block, IDS_SELECT_LOCAL_FOLDER);
    return 1;
  }
  char root[] = "?:\\";
  root[0] = folder[0];
  const UINT type = GetDriveTypeA(root);
  if (type != DRIVE_REMOVABLE && type != DRIVE_FIXED) {
    ShowInstallerMessage(block, IDS_SELECT_LOCAL_FOLDER);
    return 1;
  }
  if (std::strlen(folder) < 3) {
    ShowInstallerMessage(block, IDS_NO_ROOT_FOLDER);
    return 1;
  }
  return 0;
}

const char* CommonDesktopLocation() {
  static_assert(sizeof commonDesktop >= MAX_PATH, "the shell writes up to MAX_PATH bytes");
  std::memset(commonDesktop, 0, sizeof commonDesktop);
  if (!SpecialFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY, commonDesktop)) commonDesktop[0] = '\0';
  if (commonDesktop[0] == '\0') {
    if (!ReadKeyString(kLocalMachine,
                       "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Folders",
                       "Common Desktop", commonDesktop, sizeof commonDesktop))
      commonDesktop[0] = '\0';
  }
  if (commonDesktop[0] == '\0') {
    if (!SpecialFolderPath(CSIDL_DESKTOP, commonDesktop)) commonDesktop[0] = '\0';
  }
  return commonDesktop;
}

void CleanUpOldFiles(const char* folder) {
  char path[setuptext::kPathBuffer];
  if (!setuptext::OldLibraryPath(folder, path, SystemLeadByte)) return;
  if (DeleteFileA(path)) return;
  MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

const char* SetupExePath() {
  // A path that fills the buffer comes back without a terminator on some
  // systems, and a failure leaves the buffer undefined.
  if (GetModuleFileNameA(nullptr, setupExePath, sizeof setupExePath) == 0) setupExePath[0] = '\0';
  setupExePath[sizeof setupExePath - 1] = '\0';
  return setupExePath;
}

bool IsWindows2000OrLater() {
  OSVERSIONINFOA info;
  if (!QueryWindowsVersion(&info)) return false;
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 5;
}

bool IsWindowsXP() {
  OSVERSIONINFOA info;
  if (!QueryWindowsVersion(&info)) return false;
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion == 5 &&
         info.dwMinorVersion == 1;
}

bool DeleteMachineValue(const char* subkey, const char* value) {
  RegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) {
    key.release();
    return false;
  }
  return RegDeleteValueA(key.get(), value) == ERROR_SUCCESS;
}

void UpdateSetupDate() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  char text[32];
  std::snprintf(text, sizeof text, "%d-%d", static_cast<int>(now.dwHighDateTime),
                static_cast<int>(now.dwLowDateTime));
  WriteProductString("Preferences", "LastSetupTime", text, kLocalMachine);
}

}  // namespace kiv
