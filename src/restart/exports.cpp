// Export of the restart area.
#include <windows.h>

#include "frame/app.h"
#include "frame/export.h"
#include "restart/restart.h"

KIV_STDCALL(int) TqSetupRebootComputer(const kiv::InstallerCallBlock*) {
  return kiv::Guarded(0, [] {
    kiv::WaitCursor busy;
    // The agent must be gone before Windows starts closing programs; the
    // send returns once its window has handled the close.
    if (HWND agent = FindWindowA(nullptr, "Kestrune Agent"))
      SendMessageA(agent, WM_CLOSE, 0, 0);
    kiv::ExitWindowsForSetup();
    return 0;
  });
}
