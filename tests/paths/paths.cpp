#include "paths.h"

using namespace kivtest;

namespace pathstest {

SavedValue::SavedValue(HKEY root, const char* path, const char* name)
    : root_(root), path_(path), name_(name) {
  keyExisted_ = KeyExists(root, path);
  valueExisted_ = keyExisted_ && GetString(root, path, name, &data_, &type_);
}

SavedValue::~SavedValue() {
  if (!keyExisted_) {
    DeleteTree(root_, path_.c_str());
    return;
  }
  if (valueExisted_)
    SetBinary(root_, path_.c_str(), name_.c_str(), data_.data(), static_cast<DWORD>(data_.size()),
              type_);
  else
    DeleteValue(root_, path_.c_str(), name_.c_str());
}

void DeleteValue(HKEY root, const char* path, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

}  // namespace pathstest
