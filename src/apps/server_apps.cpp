// Detecting the product's server programs and services, and ending a
// program by its windows: every top-level window of its process is asked to
// close, and the process is terminated when it has not ended in time.
#include "apps/apps.h"
#include "frame/handles.h"

namespace kiv {

bool IsServiceRunning(const char* name) {
  ServiceHandle manager(OpenSCManagerA(nullptr, "ServicesActive", GENERIC_READ));
  if (!manager) return false;
  ServiceHandle service(OpenServiceA(manager.get(), name, SERVICE_INTERROGATE));
  if (!service) return false;
  // The service manager refuses to interrogate a service that is stopped,
  // starting or stopping; all of these count as not running.
  SERVICE_STATUS status{};
  return ControlService(service.get(), SERVICE_CONTROL_INTERROGATE, &status) &&
         status.dwCurrentState != SERVICE_STOPPED;
}

BOOL CALLBACK PostCloseToProcessWindows(HWND window, LPARAM processId) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == static_cast<DWORD>(processId)) PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

int CloseProcessById(DWORD processId, DWORD waitMs) {
  KernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId));
  if (!process) return kCloseNothing;
  EnumWindows(PostCloseToProcessWindows, static_cast<LPARAM>(processId));
  if (WaitForSingleObject(process.get(), waitMs) == WAIT_OBJECT_0) return kCloseEnded;
  return TerminateProcess(process.get(), 0) ? kCloseTerminated : kCloseNothing;
}

int CloseProcessOfWindow(HWND window, DWORD waitMs) {
  if (!window) return kCloseNothing;
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == 0) return kCloseNothing;
  return CloseProcessById(processId, waitMs);
}

}  // namespace kiv
