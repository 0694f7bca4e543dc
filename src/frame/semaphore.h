// A named semaphore held for one scope: created or opened by name, at most
// one unit taken, and that unit given back before the handle is closed.
#pragma once
#include <windows.h>

#include "frame/handles.h"

namespace kiv {

class SemaphoreLock {
 public:
  // Creates the semaphore, or opens it when it exists (the counts are then
  // ignored). Default security.
  SemaphoreLock(const char* name, LONG initial, LONG maximum)
      : handle_(CreateSemaphoreA(nullptr, initial, maximum, name)) {}
  ~SemaphoreLock() {
    if (locked_) ReleaseSemaphore(handle_.get(), 1, nullptr);
  }
  SemaphoreLock(const SemaphoreLock&) = delete;
  SemaphoreLock& operator=(const SemaphoreLock&) = delete;

  // False when the name could be neither created nor opened, for instance
  // because an object of another kind holds it.
  explicit operator bool() const { return static_cast<bool>(handle_); }

  // Tries to take one unit, waiting at most ms. Only a satisfied wait counts.
  bool TryLock(DWORD ms) {
    if (!handle_ || locked_) return locked_;
    locked_ = WaitForSingleObject(handle_.get(), ms) == WAIT_OBJECT_0;
    return locked_;
  }

 private:
  KernelHandle handle_;
  bool locked_ = false;
};

}  // namespace kiv
