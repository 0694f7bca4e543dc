// Shared set-up of the restart and debug-log tests: the product's INI file
// in a folder of its own, the two restart calls intercepted (nothing is ever
// restarted), and views of what the DLL did.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "harness/dll.h"
#include "harness/imports.h"
#include "harness/system.h"

namespace kivtest {

inline constexpr const char kWorkaround[] = "DisableSp6ShutdownWorkaround";
inline constexpr const char kSection[] = "DebugIniMsgs";

// Everything the intercepted restart calls saw.
struct RestartCalls {
  int exitWindowsEx = 0;
  UINT flags = ~0u;
  DWORD reserved = ~0u;
  int initiateShutdown = 0;
  bool machineNull = false, messageNull = false;
  DWORD timeout = ~0u;
  BOOL force = -1, reboot = -1;
  // State at the moment of the (first) restart call.
  bool agentClosed = false;       // the agent fixture's marker file existed
  bool exitMarkerWritten = false;  // "ExitWindows" was REG_DWORD 1
  bool waitCursor = false;        // the wait cursor was showing
  int total() const { return exitWindowsEx + initiateShutdown; }
};

// Replaces the DLL's ExitWindowsEx and InitiateSystemShutdownA for its
// lifetime and records every registry value name the DLL queries (those
// queries still reach the registry). One at a time.
class RestartInterceptor {
 public:
  // agentMarker: file the agent fixture writes when it has handled WM_CLOSE.
  // reservedKey: where the "ExitWindows" marker is expected.
  explicit RestartInterceptor(HMODULE dll, std::string agentMarker = "",
                              std::string reservedKey = kReserved);
  ~RestartInterceptor();
  bool installed() const;
  const RestartCalls& calls() const;
  // Value names the DLL asked the registry for, in order.
  const std::vector<std::string>& queried() const;
  bool Queried(const std::string& name) const;

 private:
  std::unique_ptr<ImportHook> exitHook_, shutdownHook_, queryHook_;
};

// The shutdown privilege of this process's own token.
void SetShutdownPrivilege(bool enabled);
bool ShutdownPrivilegeEnabled();

// "[%a %b %d %I:%M %p %Y] " of the local time now, as this process formats it.
std::string StampNow();
// True when value is text stamped at a time between before and now.
::testing::AssertionResult Stamped(const std::string& value, const std::string& text,
                                   const std::string& before);

std::string IniGet(const std::string& ini, const char* key, const char* fallback = "<absent>");
void IniSet(const std::string& ini, const char* key, const char* value);

// A folder registered as the install location, holding QRVROAM.INI.
class ProductFolder {
 public:
  ProductFolder();
  const std::string& ini() const { return ini_; }
  const std::string& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  std::string ini_;
};

}  // namespace kivtest
