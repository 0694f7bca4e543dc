#include "install/postinstall.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "frame/handles.h"
#include "frame/mbwin.h"
#include "portable/postinstall.h"

namespace kiv {

namespace {

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// The registry editor in the Windows folder. The installer runs elevated and
// its current folder may be writable by others, so the editor is never
// looked up through the search path.
bool RegistryEditorPath(char* out, std::size_t cap) {
  char windows[kPathSlot] = {};
  const UINT len = GetWindowsDirectoryA(windows, sizeof windows);
  if (len == 0 || len >= sizeof windows) return false;
  return FileInFolder(out, cap, windows, "REGEDIT.EXE", SystemLeadByte);
}

void CopyPreferences(const char* setupIni, const char* sourceFolder,
                     const char* destinationFolder) {
  char fallback[kPathSlot];
  if (!FileInFolder(fallback, sizeof fallback, sourceFolder, "QRVINIT.INI", SystemLeadByte))
    return;
  char preferences[kPathSlot] = {};
  GetPrivateProfileStringA("Configuration", "InitialPreferencesFile", fallback, preferences,
                           sizeof preferences, setupIni);
  if (!Exists(preferences)) return;
  char target[kPathSlot];
  if (!FileInFolder(target, sizeof target, destinationFolder, "QRVINIT.INI", SystemLeadByte))
    return;
  CopyFileA(preferences, target, FALSE);  // overwrites; a failed copy is not reported
}

void ImportRegistryFile(const char* setupIni, const char* sourceFolder) {
  char fallback[kPathSlot];
  if (!FileInFolder(fallback, sizeof fallback, sourceFolder, "QRVCFG.REG", SystemLeadByte))
    return;
  char regFile[kPathSlot] = {};
  GetPrivateProfileStringA("Configuration", "InitialRegFile", fallback, regFile, sizeof regFile,
                           setupIni);
  if (!Exists(regFile)) return;

  // The short form keeps blanks out of the editor's command line. Should it
  // be unavailable, the long path goes instead (quoted when it has blanks).
  char shortPath[kPathSlot] = {};
  const DWORD len = GetShortPathNameA(regFile, shortPath, sizeof shortPath);
  const char* importPath = (len != 0 && len < sizeof shortPath) ? shortPath : regFile;

  char editor[kPathSlot];
  if (!RegistryEditorPath(editor, sizeof editor)) return;
  RunProgramAndWait(editor, SilentImportParameters(importPath, SystemLeadByte).c_str());
}

}  // namespace

bool RunProgramAndWait(const char* program, const char* parameters) {
  SHELLEXECUTEINFOA info{};
  static_assert(sizeof info == 60, "the shell expects the 60-byte record");
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = program;
  info.lpParameters = parameters;
  info.nShow = SW_SHOWNORMAL;
  const BOOL started = ShellExecuteExA(&info);
  KernelHandle process(info.hProcess);
  if (process) WaitForSingleObject(process.get(), INFINITE);
  return started && process;
}

int PerformPostInstallActions(const char* sourceFolder, const char* destinationFolder) {
  if (sourceFolder == nullptr || destinationFolder == nullptr) return 0;
  char setupIni[kPathSlot];
  if (!FileInFolder(setupIni, sizeof setupIni, sourceFolder, "QRVSETUP.INI", SystemLeadByte))
    return 1;
  CopyPreferences(setupIni, sourceFolder, destinationFolder);
  ImportRegistryFile(setupIni, sourceFolder);
  return 1;
}

}  // namespace kiv
