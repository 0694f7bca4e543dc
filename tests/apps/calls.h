// Records, in order, the window, semaphore, registry and service-manager
// calls that a loaded module makes, and lets each call through unchanged.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "harness/imports.h"

namespace kivtest {

class CallLog {
 public:
  explicit CallLog(HMODULE module);
  ~CallLog();
  CallLog(const CallLog&) = delete;
  CallLog& operator=(const CallLog&) = delete;

  // Starts the record afresh. One log per module at a time.
  void Clear();

  // One entry per call, for example "Find Synchronization=1",
  // "Post Synchronization 101d 1 0", "Sleep 10", "Wait 1=258".
  const std::vector<std::string>& entries() const;
  // The entries joined with ';' (each entry followed by one).
  std::string Joined() const;
  // The entries that start with prefix.
  std::vector<std::string> Starting(const std::string& prefix) const;

 private:
  std::vector<std::unique_ptr<ImportHook>> hooks_;
};

// Title of a window, or "?" when it has none.
std::string TitleOf(HWND window);

}  // namespace kivtest
