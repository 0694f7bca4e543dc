// Running-application control: the client check, the server programs and
// services, and the service stop with dependents. Internal to the library;
// the exports in apps/exports.cpp turn these into the installer's status.
#pragma once
#include <windows.h>
#include <winsvc.h>

#include "frame/export.h"

namespace kiv {

// The product's fixed names.
inline constexpr const char kClientSemaphore[] = "KIV";
inline constexpr const char kSynchronizationTitle[] = "Synchronization";
inline constexpr UINT kClientCloseMessage = 0x101D;
inline constexpr const char kConsoleTitle[] = "Kestrune Synchronization Server Console 4.0";
inline constexpr const char kAgentTitle[] = "Kestrune Synchronization Server Agent 4.0";
inline constexpr const char kSyncServerService[] = "QRVSyncServer40";
inline constexpr const char kAlertService[] = "QRVAlert40";
inline constexpr DWORD kServerGraceMs = 100;
inline constexpr DWORD kServiceStopLimitMs = 60000;

enum class GateSide { Client, Server };

// The Windows version gate. False when the system is refused (message 409
// shown); NT 4.0 below Service Pack 3 shows message 453 and passes.
bool PassesVersionGate(const InstallerCallBlock* block, GateSide side);

// Makes sure no client runs: asks the user or closes the client, as the
// machine's "AllowRequestUserCloseApp" preference says. Returns when the
// client's windows are gone (or none ran).
void EnsureNoClientRunning(const InstallerCallBlock* block);

// True when the service answers an interrogation with a state other than
// stopped. Any failure, a starting or stopping service included, is false.
bool IsServiceRunning(const char* name);

// Results of the process close.
enum : int { kCloseNothing = 0, kCloseEnded = 1, kCloseTerminated = 2 };
int CloseProcessOfWindow(HWND window, DWORD waitMs);
int CloseProcessById(DWORD processId, DWORD waitMs);
// EnumWindows callback: posts WM_CLOSE to each window of the process whose
// id is the enumeration value; always goes on.
BOOL CALLBACK PostCloseToProcessWindows(HWND window, LPARAM processId);

// Stops the service and its active dependents within the stop limit and
// shows a system-error box for any failure. Always 0.
int StopNamedService(const char* name);

// Stops the service behind the open handles, its active dependents first,
// all within limitMs from the start. 0 when stopped, ERROR_TIMEOUT when the
// limit passed, otherwise the failing call's error code. Closes neither
// handle passed in.
DWORD StopServiceWithDependents(SC_HANDLE manager, SC_HANDLE service, DWORD limitMs);

}  // namespace kiv
