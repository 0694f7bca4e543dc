// Shared pieces of the provider-order and setup-path tests.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "harness/boxes.h"
#include "harness/dll.h"
#include "harness/imports.h"
#include "harness/system.h"

namespace pathstest {

inline constexpr const char kOrderKey[] =
    "System\\CurrentControlSet\\Control\\NetworkProvider\\Order";

// A registry value as it stands, so a test can put it back.
class SavedValue {
 public:
  SavedValue(HKEY root, const char* path, const char* name);
  ~SavedValue();
  SavedValue(const SavedValue&) = delete;
  SavedValue& operator=(const SavedValue&) = delete;

 private:
  HKEY root_;
  std::string path_, name_, data_;
  DWORD type_ = 0;
  bool keyExisted_ = false, valueExisted_ = false;
};

// Deletes one value; quiet when it is missing.
void DeleteValue(HKEY root, const char* path, const char* name);

}  // namespace pathstest
