// Move-only owners for system handles. Each closer keeps the thread's last
// error as it was, so a failure code read after a cleanup is still the
// failing call's own.
#pragma once
#include <windows.h>
#include <winsvc.h>

#include <utility>

namespace kiv {

// Traits give the handle type, its "none" value and how to close it
// (returning whether the close succeeded).
template <class Traits>
class Unique {
 public:
  using T = typename Traits::Type;

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
  explicit operator bool() const { return h_ != Traits::None(); }
  T* put() {
    reset();
    return &h_;
  }
  T release() { return std::exchange(h_, Traits::None()); }
  void reset(T h = Traits::None()) {
    if (h_ != Traits::None()) {
      const DWORD saved = GetLastError();
      Traits::Close(h_);
      SetLastError(saved);
    }
    h_ = h;
  }
  // Closes now and reports whether the close itself succeeded; the last
  // error is the close's own.
  bool close() {
    if (h_ == Traits::None()) return true;
    return Traits::Close(release());
  }

 private:
  T h_ = Traits::None();
};

template <class H, bool (*CloseFn)(H)>
struct NullIsNone {
  using Type = H;
  static H None() { return nullptr; }
  static bool Close(H h) { return CloseFn(h); }
};

inline bool CloseRegKey(HKEY h) { return RegCloseKey(h) == ERROR_SUCCESS; }
inline bool CloseService(SC_HANDLE h) { return CloseServiceHandle(h) != FALSE; }
inline bool CloseKernel(HANDLE h) { return CloseHandle(h) != FALSE; }
inline bool FreeLocal(HLOCAL h) { return LocalFree(h) == nullptr; }
inline bool FreeModuleHandle(HMODULE h) { return FreeLibrary(h) != FALSE; }

struct FileTraits {
  using Type = HANDLE;
  static HANDLE None() { return INVALID_HANDLE_VALUE; }
  static bool Close(HANDLE h) { return CloseHandle(h) != FALSE; }
};

using RegKey = Unique<NullIsNone<HKEY, CloseRegKey>>;
using ServiceHandle = Unique<NullIsNone<SC_HANDLE, CloseService>>;
// Process, thread, semaphore and event handles: null when absent.
using KernelHandle = Unique<NullIsNone<HANDLE, CloseKernel>>;
using LocalMemory = Unique<NullIsNone<HLOCAL, FreeLocal>>;
using Module = Unique<NullIsNone<HMODULE, FreeModuleHandle>>;
// CreateFile handles use INVALID_HANDLE_VALUE for "none".
using FileHandle = Unique<FileTraits>;

}  // namespace kiv
