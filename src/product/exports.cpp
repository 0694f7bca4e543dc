// Exports of the registry layer.
#include "frame/export.h"
#include "product/registry.h"

KIV_CDECL(void) KIVSetup_SetRegistryInfo(const char* company, const char* product) {
  kiv::Guarded([&] { kiv::SetRegistryInfo(company, product); });
}
