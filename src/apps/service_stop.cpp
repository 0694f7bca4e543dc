// Stopping a service together with the active services that depend on it,
// within one time budget counted from the start with the tick count.
#include <cstdint>

#include "apps/apps.h"
#include "frame/app.h"
#include "frame/handles.h"
#include "product/identity.h"

namespace kiv {
namespace {

constexpr DWORD kOpenForStop = SERVICE_STOP | SERVICE_ENUMERATE_DEPENDENTS | SERVICE_QUERY_STATUS;
constexpr DWORD kOpenDependent = SERVICE_STOP | SERVICE_QUERY_STATUS;

// The dependent list: one zero-filled block from the process heap.
class HeapBlock {
 public:
  explicit HeapBlock(DWORD bytes) : p_(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes)) {}
  ~HeapBlock() {
    if (p_) {
      const DWORD saved = GetLastError();
      HeapFree(GetProcessHeap(), 0, p_);
      SetLastError(saved);
    }
  }
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;
  void* get() const { return p_; }

 private:
  void* p_;
};

// The budget of one stop, in unsigned tick arithmetic so that a wrap of the
// tick counter does no harm.
class Budget {
 public:
  explicit Budget(DWORD limitMs) : start_(GetTickCount()), limit_(limitMs) {}
  bool Exceeded() const { return Elapsed() > limit_; }

  // Sleeps for the service's wait hint, but never far past the end of the
  // budget: a hint of hours (or INFINITE) would otherwise freeze setup.
  void Pause(DWORD hint) const {
    const DWORD elapsed = Elapsed();
    const std::uint64_t left =
        elapsed > limit_ ? 0 : static_cast<std::uint64_t>(limit_) - elapsed + 1;
    Sleep(hint < left ? hint : static_cast<DWORD>(left));
  }

 private:
  DWORD Elapsed() const { return GetTickCount() - start_; }
  DWORD start_;
  DWORD limit_;
};

// A stop control that fails because the service is no longer active has
// nothing left to do: the service is stopped.
bool RequestStop(SC_HANDLE service, SERVICE_STATUS* status) {
  if (ControlService(service, SERVICE_CONTROL_STOP, status)) return true;
  if (GetLastError() != ERROR_SERVICE_NOT_ACTIVE) return false;
  status->dwCurrentState = SERVICE_STOPPED;
  return true;
}

// Waits until the status record says stopped. 0, ERROR_TIMEOUT or the
// failing query's code.
DWORD WaitUntilStopped(SC_HANDLE service, SERVICE_STATUS* status, const Budget& budget) {
  while (status->dwCurrentState != SERVICE_STOPPED) {
    budget.Pause(status->dwWaitHint);
    if (!QueryServiceStatus(service, status)) return GetLastError();
    if (status->dwCurrentState == SERVICE_STOPPED) break;
    if (budget.Exceeded()) return ERROR_TIMEOUT;
  }
  return ERROR_SUCCESS;
}

DWORD StopActiveDependents(SC_HANDLE manager, SC_HANDLE service, SERVICE_STATUS* status,
                           const Budget& budget) {
  DWORD needed = 0;
  DWORD count = 0;
  if (EnumDependentServicesA(service, SERVICE_ACTIVE, nullptr, 0, &needed, &count))
    return ERROR_SUCCESS;  // none
  const DWORD error = GetLastError();
  if (error != ERROR_MORE_DATA) return error;

  const DWORD size = needed;
  HeapBlock list(size);
  // HeapAlloc sets no error code of its own.
  if (!list.get()) return ERROR_NOT_ENOUGH_MEMORY;
  auto* dependents = static_cast<ENUM_SERVICE_STATUSA*>(list.get());
  if (!EnumDependentServicesA(service, SERVICE_ACTIVE, dependents, size, &needed, &count))
    return GetLastError();
  // The count is bounded by the block we own; the system leaves the
  // bytes-needed value undefined after a successful call.
  const DWORD room = size / sizeof(ENUM_SERVICE_STATUSA);
  if (count > room) count = room;

  for (DWORD i = 0; i < count; ++i) {
    ServiceHandle dependent(OpenServiceA(manager, dependents[i].lpServiceName, kOpenDependent));
    if (!dependent) return GetLastError();
    if (!RequestStop(dependent.get(), status)) return GetLastError();
    const DWORD result = WaitUntilStopped(dependent.get(), status, budget);
    if (result != ERROR_SUCCESS) return result;
  }
  return ERROR_SUCCESS;
}

}  // namespace

DWORD StopServiceWithDependents(SC_HANDLE manager, SC_HANDLE service, DWORD limitMs) {
  const Budget budget(limitMs);
  // One record throughout: the service's status, each dependent's while it
  // is being stopped, then the service's again.
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(service, &status)) return GetLastError();
  if (status.dwCurrentState == SERVICE_STOPPED) return ERROR_SUCCESS;

  while (status.dwCurrentState == SERVICE_STOP_PENDING) {
    budget.Pause(status.dwWaitHint);
    if (!QueryServiceStatus(service, &status)) return GetLastError();
    if (status.dwCurrentState == SERVICE_STOPPED) return ERROR_SUCCESS;
    if (budget.Exceeded()) return ERROR_TIMEOUT;
  }

  const DWORD dependents = StopActiveDependents(manager, service, &status, budget);
  if (dependents != ERROR_SUCCESS) return dependents;

  if (!RequestStop(service, &status)) return GetLastError();
  return WaitUntilStopped(service, &status, budget);
}

int StopNamedService(const char* name) {
  WaitCursor busy;
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    ShowSystemError(GetLastError());
    return 0;
  }
  ServiceHandle service(OpenServiceA(manager.get(), name, kOpenForStop));
  if (!service) {
    ShowSystemError(GetLastError());
    return 0;
  }
  const DWORD result = StopServiceWithDependents(manager.get(), service.get(), kServiceStopLimitMs);
  if (result != ERROR_SUCCESS) ShowSystemError(result);
  // The service handle is closed before the manager's.
  return 0;
}

}  // namespace kiv
