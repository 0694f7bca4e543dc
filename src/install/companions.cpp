#include "install/companions.h"

#include <windows.h>

#include <string>

namespace kiv {

namespace {

using ConfigureDependentServicesFn = int(__cdecl*)(const char* service, int flag);
using PopulateWriteMonitorPathsFn = int(__cdecl*)();

// The folder text is the installer's folder and one backslash, appended
// whatever the folder ends with.
std::string ModulePath(const char* folder, const char* module) {
  std::string path = folder;
  path += '\\';
  path += module;
  return path;
}

// Loads by full path and keeps the module loaded. A module that cannot be
// loaded (or lacks a module it needs) only gives a null result: the system's
// own error box is kept from appearing in front of the setup window.
HMODULE LoadCompanion(const char* folder, const char* module) {
  const std::string path = ModulePath(folder, module);
  const UINT previous = SetErrorMode(0);
  SetErrorMode(previous | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE m = LoadLibraryA(path.c_str());
  SetErrorMode(previous);
  return m;
}

}  // namespace

int ConfigureDependentServices(const char* folder) {
  HMODULE user = LoadCompanion(folder, "Kivuser.dll");
  if (user == nullptr) return 0;
  auto entry = reinterpret_cast<ConfigureDependentServicesFn>(
      reinterpret_cast<void*>(GetProcAddress(user, "TqConfigureDependentServices")));
  if (entry == nullptr) return 0;
  return entry("QRVSvc40", 1);
}

int PopulateWriteMonitorPaths(const char* folder) {
  // Kivuser.dll is not called here; it is loaded before KivProj.dll, which
  // may rely on it.
  if (LoadCompanion(folder, "Kivuser.dll") == nullptr) return 0;
  HMODULE proj = LoadCompanion(folder, "KivProj.dll");
  if (proj == nullptr) return 0;
  auto entry = reinterpret_cast<PopulateWriteMonitorPathsFn>(
      reinterpret_cast<void*>(GetProcAddress(proj, "TqPopulateWriteMonitorPaths")));
  if (entry == nullptr) return 0;
  return entry();
}

}  // namespace kiv
