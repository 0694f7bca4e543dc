// Loading KIVSETUP.DLL afresh and calling its exports with a check of the
// calling convention.
#pragma once
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>

namespace kivtest {

// Folder of the running test program; the DLL, fixtures and host sit beside it.
std::string BinDir();
std::string BinPath(const char* file);

enum class Conv { Std, Cdecl };

// Calls fn with 32-bit arguments; expects (gtest) the callee to have removed
// 4 bytes per argument for Conv::Std and none for Conv::Cdecl.
std::uint32_t CallChecked(void* fn, Conv conv, std::initializer_list<std::uint32_t> args);

template <class T>
std::uint32_t Arg(T v) {
  if constexpr (std::is_pointer_v<T> || std::is_null_pointer_v<T>)
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(v));
  else
    return static_cast<std::uint32_t>(v);
}

// One load of the DLL for the object's lifetime: constructors of its static
// objects run at construction, destructors at destruction.
class KivDll {
 public:
  // The product DLL by default; "kivprobe.dll" for the internal routines.
  explicit KivDll(const char* file = "KIVSETUP.DLL");
  ~KivDll();
  KivDll(const KivDll&) = delete;
  KivDll& operator=(const KivDll&) = delete;

  HMODULE module() const { return module_; }
  bool loaded() const { return module_ != nullptr; }
  void* Proc(const char* name) const;
  void* Proc(int ordinal) const;
  // A typed pointer to an export, for the probe's plain C functions.
  template <class F>
  F Fn(const char* name) const {
    return reinterpret_cast<F>(Proc(name));
  }

  // Standard-convention export by name or ordinal; stack checked.
  template <class... A>
  std::uint32_t Std(const char* name, A... a) const {
    return CallChecked(Proc(name), Conv::Std, {Arg(a)...});
  }
  template <class... A>
  std::uint32_t StdOrdinal(int ordinal, A... a) const {
    return CallChecked(Proc(ordinal), Conv::Std, {Arg(a)...});
  }
  // Caller-removes export by name or ordinal; stack checked.
  template <class... A>
  std::uint32_t Cdecl(const char* name, A... a) const {
    return CallChecked(Proc(name), Conv::Cdecl, {Arg(a)...});
  }
  template <class... A>
  std::uint32_t CdeclOrdinal(int ordinal, A... a) const {
    return CallChecked(Proc(ordinal), Conv::Cdecl, {Arg(a)...});
  }
  // A string-returning caller-removes export.
  template <class... A>
  const char* CdeclText(const char* name, A... a) const {
    return reinterpret_cast<const char*>(
        static_cast<std::uintptr_t>(CallChecked(Proc(name), Conv::Cdecl, {Arg(a)...})));
  }

 private:
  HMODULE module_ = nullptr;
};

// The installer's call record as the DLL reads it.
struct CallBlock {
  std::uint32_t reserved0 = 0xDEADBEEF;
  HWND window = nullptr;
  std::uint8_t reserved8[32] = {};
  const char* param = nullptr;
  std::uint8_t tail[64] = {};  // the installer's record is larger; never read
};
static_assert(offsetof(CallBlock, window) == 4 && offsetof(CallBlock, param) == 40);

}  // namespace kivtest
