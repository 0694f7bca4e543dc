// Test-only entry points into the running-application control.
#include <windows.h>

#include "apps/apps.h"

extern "C" {
int probe_IsServiceRunning(const char* name) { return kiv::IsServiceRunning(name) ? 1 : 0; }
int probe_CloseProcessOfWindow(HWND window, DWORD waitMs) {
  return kiv::CloseProcessOfWindow(window, waitMs);
}
int probe_CloseProcessById(DWORD processId, DWORD waitMs) {
  return kiv::CloseProcessById(processId, waitMs);
}
int probe_StopNamedService(const char* name) { return kiv::StopNamedService(name); }
DWORD probe_StopServiceWithDependents(SC_HANDLE manager, SC_HANDLE service, DWORD limitMs) {
  return kiv::StopServiceWithDependents(manager, service, limitMs);
}
}
