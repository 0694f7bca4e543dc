// Post-install actions: the initial preferences file copied into the
// destination folder as QRVINIT.INI, and the initial registry file imported
// silently by the system's registry editor.
#pragma once

namespace kiv {

// Starts program through the shell with the given parameters and waits
// without limit until it has ended. Returns false when it could not be
// started (nothing is waited for then).
bool RunProgramAndWait(const char* program, const char* parameters);

// Both steps, preferences first; a step whose file does not exist, or whose
// paths do not fit the 260-byte path slots, is skipped. 0 for a null folder
// pointer, otherwise 1.
int PerformPostInstallActions(const char* sourceFolder, const char* destinationFolder);

}  // namespace kiv
