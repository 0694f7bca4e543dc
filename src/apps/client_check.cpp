// The Windows version gate of both client-side exports and the check for a
// running client, which holds the one unit of the semaphore "KIV" while it
// runs and shows the Synchronization and Project Manager windows.
#include <mbstring.h>

#include <string>

#include "apps/apps.h"
#include "frame/semaphore.h"
#include "frame/winver.h"
#include "product/identity.h"
#include "product/registry.h"
#include "resources/strings.h"

namespace kiv {
namespace {

constexpr DWORD kLockTryMs = 1;
constexpr DWORD kPollMs = 10;

std::string ProjectManagerTitle() {
  return std::string(ProductDisplayName()) + " - Project Manager";
}

// Asks the user to close the client until neither of its windows is left.
void AskUntilClosed(const InstallerCallBlock* block) {
  const std::string projectManager = ProjectManagerTitle();
  for (;;) {
    const HWND pm = FindWindowA(nullptr, projectManager.c_str());
    const HWND sync = FindWindowA(nullptr, kSynchronizationTitle);
    if (!pm && !sync) return;
    ShowInstallerMessage(block, IDS_CLIENT_RUNNING);
  }
}

// Posts the client's close message to a window with this title, if there is
// one, and waits for as long as such a window exists.
void CloseAndWait(const char* title) {
  const HWND window = FindWindowA(nullptr, title);
  if (!window) return;
  PostMessageA(window, kClientCloseMessage, 1, 0);
  while (FindWindowA(nullptr, title)) Sleep(kPollMs);
}

void CloseWithoutAsking() {
  CloseAndWait(kSynchronizationTitle);
  Sleep(kPollMs);
  CloseAndWait(ProjectManagerTitle().c_str());
}

}  // namespace

bool PassesVersionGate(const InstallerCallBlock* block, GateSide side) {
  OSVERSIONINFOA info;
  if (!QueryWindowsVersion(&info) || info.dwMajorVersion < 4) {
    ShowInstallerMessage(block, IDS_UNSUPPORTED_SYSTEM);
    return false;
  }
  switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32_NT:
      // The service-pack text is compared as text: "Service Pack 10" sorts
      // before "Service Pack 3".
      if (info.dwMajorVersion == 4 &&
          _mbsicmp(reinterpret_cast<const unsigned char*>(info.szCSDVersion),
                   reinterpret_cast<const unsigned char*>("Service Pack 3")) < 0)
        ShowInstallerMessage(block, IDS_UPGRADE_NT_SP3);
      return true;
    case VER_PLATFORM_WIN32_WINDOWS:
      if (side == GateSide::Client) return true;
      break;
    default:
      break;
  }
  ShowInstallerMessage(block, IDS_UNSUPPORTED_SYSTEM);
  return false;
}

void EnsureNoClientRunning(const InstallerCallBlock* block) {
  SemaphoreLock instance(kClientSemaphore, 1, 1);
  // A name that can be neither created nor opened (an object of another
  // kind holds it) cannot be a client's semaphore: no client runs.
  if (!instance) return;
  if (instance.TryLock(kLockTryMs)) return;  // the unit goes back at once
  if (ReadProductDword("Preferences", "AllowRequestUserCloseApp", 1, kLocalMachine) != 0)
    AskUntilClosed(block);
  else
    CloseWithoutAsking();
}

}  // namespace kiv
