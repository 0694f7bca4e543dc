// Replaces one entry of a module's import address table for the object's
// lifetime, so that the module's own calls of that import reach the test.
// Only for what must not or cannot happen for real under Wine.
#pragma once
#include <windows.h>

namespace kivtest {

class ImportHook {
 public:
  ImportHook(HMODULE module, const char* dll, const char* function, void* replacement);
  ~ImportHook();
  ImportHook(const ImportHook&) = delete;
  ImportHook& operator=(const ImportHook&) = delete;

  bool installed() const { return slot_ != nullptr; }
  // The function the entry held before.
  void* original() const { return original_; }
  template <class F>
  F original_as() const {
    return reinterpret_cast<F>(original_);
  }

 private:
  void** slot_ = nullptr;
  void* original_ = nullptr;
};

// The import address table slot of dll!function in module, or null.
void** FindImportSlot(HMODULE module, const char* dll, const char* function);

}  // namespace kivtest
