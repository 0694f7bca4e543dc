// Exports of the running-application control.
#include "apps/apps.h"
#include "frame/app.h"
#include "frame/export.h"

using kiv::InstallerCallBlock;

// 0: supported system and no client left running; 1: unsupported (409 shown).
KIV_STDCALL(int) TqSetupFindRunningApps(const InstallerCallBlock* block) {
  return kiv::Guarded(0, [&] {
    kiv::WaitCursor busy;
    if (!kiv::PassesVersionGate(block, kiv::GateSide::Client)) return 1;
    kiv::EnsureNoClientRunning(block);
    return 0;
  });
}

// The version gate alone: 0 for the NT family from 4.0 on, else 1 (409 shown).
KIV_STDCALL(int) TqServerSetupFindRunningApps(const InstallerCallBlock* block) {
  return kiv::Guarded(1, [&] {
    kiv::WaitCursor busy;
    return kiv::PassesVersionGate(block, kiv::GateSide::Server) ? 0 : 1;
  });
}

// 1 when the console window, the agent window or either service is found.
KIV_STDCALL(int) TqSetupAreThereAnyRunningServerApps(const InstallerCallBlock*) {
  return kiv::Guarded(0, [] {
    // Every test is made, in this order, before the answer is formed.
    const bool console = FindWindowA(nullptr, kiv::kConsoleTitle) != nullptr;
    const bool agent = FindWindowA(nullptr, kiv::kAgentTitle) != nullptr;
    const bool syncServer = kiv::IsServiceRunning(kiv::kSyncServerService);
    const bool alert = kiv::IsServiceRunning(kiv::kAlertService);
    return console || agent || syncServer || alert ? 1 : 0;
  });
}

namespace {

// Ends the program behind the window found at detection, then asks any
// window that bears the title now to close and waits until it has.
void CloseServerProgram(HWND detected, const char* title) {
  if (detected) kiv::CloseProcessOfWindow(detected, kiv::kServerGraceMs);
  if (const HWND still = FindWindowA(nullptr, title)) SendMessageA(still, WM_CLOSE, 0, 0);
}

}  // namespace

// Closes the server console and agent and stops the two services that were
// running when the call began. Always 0.
KIV_STDCALL(int) TqSetupStopRunningServerApps(const InstallerCallBlock*) {
  kiv::Guarded([] {
    const HWND console = FindWindowA(nullptr, kiv::kConsoleTitle);
    const HWND agent = FindWindowA(nullptr, kiv::kAgentTitle);
    const bool syncServer = kiv::IsServiceRunning(kiv::kSyncServerService);
    const bool alert = kiv::IsServiceRunning(kiv::kAlertService);
    CloseServerProgram(console, kiv::kConsoleTitle);
    CloseServerProgram(agent, kiv::kAgentTitle);
    if (syncServer) kiv::StopNamedService(kiv::kSyncServerService);
    if (alert) kiv::StopNamedService(kiv::kAlertService);
  });
  return 0;
}
