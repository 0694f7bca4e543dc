#include "harness/dll.h"

#include <gtest/gtest.h>

#include <vector>

extern "C" std::uint32_t kiv_call_counted(void* fn, const std::uint32_t* args,
                                          std::uint32_t count, std::int32_t* removed);

namespace kivtest {

std::string BinDir() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir(path);
  const auto slash = dir.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
}

std::string BinPath(const char* file) { return BinDir() + "\\" + file; }

std::uint32_t CallChecked(void* fn, Conv conv, std::initializer_list<std::uint32_t> args) {
  if (fn == nullptr) {
    ADD_FAILURE() << "export not found";
    return 0xBAADF00D;
  }
  std::vector<std::uint32_t> v(args);
  std::int32_t removed = -1;
  const std::uint32_t result =
      kiv_call_counted(fn, v.data(), static_cast<std::uint32_t>(v.size()), &removed);
  const std::int32_t expected = conv == Conv::Std ? static_cast<std::int32_t>(4 * v.size()) : 0;
  EXPECT_EQ(removed, expected) << "argument bytes removed by the callee";
  return result;
}

KivDll::KivDll(const char* file) {
  module_ = LoadLibraryA(BinPath(file).c_str());
  EXPECT_NE(module_, nullptr) << "LoadLibrary failed: " << GetLastError();
}

KivDll::~KivDll() {
  if (module_) FreeLibrary(module_);
}

void* KivDll::Proc(const char* name) const {
  return module_ ? reinterpret_cast<void*>(GetProcAddress(module_, name)) : nullptr;
}

void* KivDll::Proc(int ordinal) const {
  return module_ ? reinterpret_cast<void*>(GetProcAddress(
                       module_, reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(ordinal))))
                 : nullptr;
}

}  // namespace kivtest
