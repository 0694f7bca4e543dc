#include "harness/imports.h"

#ifdef KIV_HARNESS_GTEST
#include <gtest/gtest.h>
#endif

namespace kivtest {
namespace {

void WriteSlot(void** slot, void* value) {
  DWORD old = 0;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
  *slot = value;
  VirtualProtect(slot, sizeof *slot, old, &old);
}

}  // namespace

void** FindImportSlot(HMODULE module, const char* dll, const char* function) {
  if (!module) return nullptr;
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return nullptr;
  for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
       desc->Name != 0; ++desc) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + desc->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
        base + (desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (lstrcmpA(reinterpret_cast<const char*>(byName->Name), function) == 0)
        return reinterpret_cast<void**>(&slots->u1.Function);
    }
  }
  return nullptr;
}

ImportHook::ImportHook(HMODULE module, const char* dll, const char* function, void* replacement) {
  slot_ = FindImportSlot(module, dll, function);
#ifdef KIV_HARNESS_GTEST
  EXPECT_NE(slot_, nullptr) << "no import " << dll << "!" << function;
#endif
  if (!slot_) return;
  original_ = *slot_;
  WriteSlot(slot_, replacement);
}

ImportHook::~ImportHook() {
  if (slot_) WriteSlot(slot_, original_);
}

}  // namespace kivtest
