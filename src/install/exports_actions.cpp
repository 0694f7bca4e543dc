// Exports of the post-install actions, the install action log and the
// companion module hooks.
#include "frame/export.h"
#include "install/actionlog.h"
#include "install/companions.h"
#include "install/postinstall.h"

KIV_STDCALL(int) TqPerformPostInstallActions(const char* sourceFolder,
                                             const char* destinationFolder) {
  if (sourceFolder == nullptr || destinationFolder == nullptr) return 0;
  return kiv::Guarded(1, [&] { return kiv::PerformPostInstallActions(sourceFolder, destinationFolder); });
}

KIV_STDCALL(int) TqSetupAddActionLog(const kiv::InstallerCallBlock* block) {
  if (kiv::BlockParam(block) == nullptr) return 1;
  return kiv::Guarded(0, [&] { return kiv::AddActionLog(block); });
}

KIV_STDCALL(int) TqAdd2DependentServices(const kiv::InstallerCallBlock* block) {
  const char* folder = kiv::BlockParam(block);
  if (folder == nullptr) return 1;
  return kiv::Guarded(0, [&] { return kiv::ConfigureDependentServices(folder); });
}

KIV_STDCALL(int) TqConfigureWriteMonitorPaths(const kiv::InstallerCallBlock* block) {
  const char* folder = kiv::BlockParam(block);
  if (folder == nullptr) return 1;
  return kiv::Guarded(0, [&] { return kiv::PopulateWriteMonitorPaths(folder); });
}
