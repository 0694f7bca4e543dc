// What every export shares: the installer's call record, the two calling
// conventions, and the guard that keeps C++ exceptions inside the library.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#define KIV_STDCALL(type) extern "C" type __stdcall
#define KIV_CDECL(type) extern "C" type __cdecl

namespace kiv {

// The installer's call record. Only two fields mean anything to us.
struct InstallerCallBlock {
  std::uint32_t reserved0;
  HWND window;          // offset 4: owner of every box an export shows
  std::uint8_t reserved8[32];
  const char* param;    // offset 40: the parameter string, may be null
};
static_assert(offsetof(InstallerCallBlock, window) == 4, "window handle at offset 4");
static_assert(offsetof(InstallerCallBlock, param) == 40, "parameter string at offset 40");

// A missing block reads as no window and no parameter string.
inline HWND BlockWindow(const InstallerCallBlock* b) { return b ? b->window : nullptr; }
inline const char* BlockParam(const InstallerCallBlock* b) { return b ? b->param : nullptr; }

// Runs the body of an export; any exception that escapes it becomes the
// export's fallback result.
template <class R, class F>
R Guarded(R fallback, F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return fallback;
  }
}

template <class F>
void Guarded(F&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

}  // namespace kiv
