// Move-only owners for system handles. Each closer keeps the thread's last
// error as it was, so a failure code read after a cleanup is still the
// failing call's own.
#pragma once
#include <windows.h>
#include <winsvc.h>

#include <utility>

namespace kiv {

template <class T, T Invalid, class Close>
class Unique {
 public:
  Unique() = default;
  explicit Unique(T h) : h_(h) {}
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& o) noexcept : h_(o.release()) {}
  Unique& operator=(Unique&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  ~Unique() { reset(); }

  T get() const { return h_; }
  explicit operator bool() const { return h_ != Invalid; }
  T* put() {
    reset();
    return &h_;
  }
  T release() { return std::exchange(h_, Invalid); }
  void reset(T h = Invalid) {
    if (h_ != Invalid) {
      const DWORD saved = GetLastError();
      Close{}(h_);
      SetLastError(saved);
    }
    h_ = h;
  }

 private:
  T h_ = Invalid;
};

struct CloseRegKey { void operator()(HKEY h) const { RegCloseKey(h); } };
struct CloseServiceHandleFn { void operator()(SC_HANDLE h) const { CloseServiceHandle(h); } };
struct CloseKernelHandle { void operator()(HANDLE h) const { CloseHandle(h); } };
struct FreeLocalMemory { void operator()(HLOCAL h) const { LocalFree(h); } };
struct FreeModule { void operator()(HMODULE h) const { FreeLibrary(h); } };

using RegKey = Unique<HKEY, nullptr, CloseRegKey>;
using ServiceHandle = Unique<SC_HANDLE, nullptr, CloseServiceHandleFn>;
// Process, thread, semaphore and event handles: null when absent.
using KernelHandle = Unique<HANDLE, nullptr, CloseKernelHandle>;
using LocalMemory = Unique<HLOCAL, nullptr, FreeLocalMemory>;
using Module = Unique<HMODULE, nullptr, FreeModule>;

// CreateFile handles use INVALID_HANDLE_VALUE for "none"; it is not a
// constant expression, so this owner is spelled out.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(HANDLE h) : h_(h) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  FileHandle(FileHandle&& o) noexcept : h_(o.release()) {}
  FileHandle& operator=(FileHandle&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  ~FileHandle() { reset(); }
  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }
  // Closes the handle and reports whether the close itself succeeded.
  bool close() {
    if (h_ == INVALID_HANDLE_VALUE) return true;
    return CloseHandle(release()) != FALSE;
  }
  void reset(HANDLE h = INVALID_HANDLE_VALUE) {
    if (h_ != INVALID_HANDLE_VALUE) {
      const DWORD saved = GetLastError();
      CloseHandle(h_);
      SetLastError(saved);
    }
    h_ = h;
  }

 private:
  HANDLE h_ = INVALID_HANDLE_VALUE;
};

}  // namespace kiv
