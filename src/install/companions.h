// Bridges to the product's companion modules Kivuser.dll and KivProj.dll,
// which lie in a folder the installer names. Modules loaded here are never
// released: they stay loaded for the rest of the installer's process.
#pragma once

namespace kiv {

// Kivuser.dll!TqConfigureDependentServices("QRVSvc40", 1), its result passed
// through; 0 when the module or the entry cannot be found.
int ConfigureDependentServices(const char* folder);

// Loads Kivuser.dll, then KivProj.dll, and returns
// KivProj.dll!TqPopulateWriteMonitorPaths(); 0 when a module or the entry
// cannot be found.
int PopulateWriteMonitorPaths(const char* folder);

}  // namespace kiv
