// Test-only entry points into the frame and the product layer.
#include <windows.h>

#include <cstring>

#include "frame/app.h"
#include "frame/mbwin.h"
#include "product/identity.h"
#include "product/registry.h"

namespace {
HKEY Root(DWORD r) { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(r)); }
void Put(const std::string& s, char* out, int size) {
  if (size <= 0) return;
  const std::size_t n = s.size() < static_cast<std::size_t>(size - 1) ? s.size() : size - 1;
  std::memcpy(out, s.data(), n);
  out[n] = '\0';
}
}  // namespace

extern "C" {
const char* probe_DisplayName() { return kiv::ProductDisplayName(); }
void probe_AppName(char* out, int size) { Put(kiv::App().AppName(), out, size); }
int probe_LoadBrandedString(int id, char* out, int size) {
  const std::string s = kiv::LoadBrandedString(id);
  Put(s, out, size);
  return static_cast<int>(s.size());
}
void probe_ShowInstallerMessage(HWND owner, int id) {
  kiv::InstallerCallBlock block{};
  block.window = owner;
  kiv::ShowInstallerMessage(&block, id);
}
int probe_ShowSystemError(DWORD code) { return kiv::ShowSystemError(code); }

DWORD probe_ReadProductDword(const char* sub, const char* value, DWORD def, DWORD root) {
  return kiv::ReadProductDword(sub, value, def, Root(root));
}
DWORD probe_ReadPreferenceDword(const char* value, DWORD def) {
  return kiv::ReadPreferenceDword(value, def);
}
const char* probe_ReadProductString(const char* sub, const char* value, const char* def,
                                    DWORD root) {
  return kiv::ReadProductString(sub, value, def, Root(root));
}
int probe_WriteProductDword(const char* sub, const char* value, DWORD number, DWORD root) {
  return kiv::WriteProductDword(sub, value, number, Root(root));
}
int probe_WriteProductString(const char* sub, const char* value, const char* text, DWORD root) {
  return kiv::WriteProductString(sub, value, text, Root(root));
}
int probe_ReadKeyString(DWORD root, const char* path, const char* value, char* buf, DWORD size) {
  return kiv::ReadKeyString(Root(root), path, value, buf, size);
}
int probe_OpenProductSubkey(const char* sub, DWORD root, int forWriting) {
  kiv::RegKey key = sub ? kiv::OpenProductSubkey(sub, Root(root), forWriting != 0)
                        : kiv::OpenProductKey(Root(root), forWriting != 0);
  return key ? 1 : 0;
}
void probe_InstallLocation(char* buf, int size) { kiv::InstallLocation(buf, size); }
void probe_ProductIniPath(char* out, int size) { Put(kiv::ProductIniPath(), out, size); }
const char* probe_CompanyKeyName() { return kiv::CompanyKeyName(); }
const char* probe_ProductKeyName() { return kiv::ProductKeyName(); }

void probe_BeginWaitCursor() { kiv::App().BeginWaitCursor(); }
void probe_EndWaitCursor() { kiv::App().EndWaitCursor(); }
int probe_WaitCursorCount() { return kiv::App().WaitCursorCount(); }
int probe_ScopedWaitCursorThrows() {
  try {
    kiv::WaitCursor scope;
    throw 1;
  } catch (int) {
  }
  return kiv::App().WaitCursorCount();
}
}
