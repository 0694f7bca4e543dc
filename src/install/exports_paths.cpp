// Exports of the network provider order and of the setup paths and small
// answers.
#include <cstdio>

#include "frame/app.h"
#include "frame/export.h"
#include "install/provider.h"
#include "install/setuppaths.h"
#include "portable/setup_text.h"
#include "product/registry.h"

using kiv::InstallerCallBlock;

namespace {
char defaultInstallLocation[260];
char numberText[kiv::setuptext::kNumberText];
}  // namespace

KIV_STDCALL(int) TqAddNetworkProvider(const InstallerCallBlock*) {
  kiv::Guarded([] { kiv::AddProviderToOrder(); });
  return 0;
}

KIV_STDCALL(int) TqRemoveNetworkProvider(const InstallerCallBlock*) {
  kiv::Guarded([] { kiv::RemoveProviderFromOrder(); });
  return 0;
}

KIV_STDCALL(int) TqSetupValidateLocalDirectory(const InstallerCallBlock* block) {
  return kiv::Guarded(1, [&] {
    kiv::WaitCursor busy;
    return kiv::ValidateLocalDirectory(block);
  });
}

KIV_CDECL(int) TqIsWindows2000() {
  return kiv::Guarded(0, [] { return kiv::IsWindows2000OrLater() ? 1 : 0; });
}

KIV_CDECL(int) TqIsWindowsXP() {
  return kiv::Guarded(0, [] { return kiv::IsWindowsXP() ? 1 : 0; });
}

KIV_CDECL(const char*) TqGetStringFromNumber(int number) {
  kiv::setuptext::EncodeNumber(number, numberText);
  return numberText;
}

KIV_CDECL(int) TqGetNumberFromString(const char* text) {
  return text ? kiv::setuptext::DecodeNumber(text) : 0;
}

KIV_CDECL(const char*) TqSetupGetDefaultInstallLocation() {
  std::snprintf(defaultInstallLocation, sizeof defaultInstallLocation,
                "%s\\Program Files\\Brantelo\\Kestrune", "C:");
  return defaultInstallLocation;
}

KIV_CDECL(const char*) TqSetupGetCommonDesktopLocation() {
  return kiv::Guarded<const char*>("", [] { return kiv::CommonDesktopLocation(); });
}

KIV_STDCALL(int) TqSetupGetCommonDesktopFolderLocation(const InstallerCallBlock* block) {
  return kiv::Guarded(1, [&] {
    kiv::WaitCursor busy;
    const char* ini = kiv::BlockParam(block);
    if (ini == nullptr) return 1;
    WritePrivateProfileStringA("SECTION", "Common Desktop", kiv::CommonDesktopLocation(), ini);
    return 0;
  });
}

KIV_STDCALL(int) TqSetupCleanUpOldFiles(const InstallerCallBlock* block) {
  kiv::Guarded([&] {
    kiv::WaitCursor busy;
    if (const char* folder = kiv::BlockParam(block)) kiv::CleanUpOldFiles(folder);
  });
  return 0;
}

KIV_CDECL(const char*) TqGetSetupExePath() {
  return kiv::Guarded<const char*>("", [] { return kiv::SetupExePath(); });
}

KIV_STDCALL(int) TqDelRegistryEntry(int root, const char* subkey, const char* value) {
  return kiv::Guarded(0, [&] {
    // 2 stands for the local machine; no other root is served.
    if (root != 2 || subkey == nullptr || value == nullptr) return 0;
    return kiv::DeleteMachineValue(subkey, value) ? 1 : 0;
  });
}

KIV_STDCALL(int) TqUpdateSetupDateInRegistry(const InstallerCallBlock*) {
  kiv::Guarded([] { kiv::UpdateSetupDate(); });
  return 0;
}
