// The install action log: one timestamped line per installer action, in the
// file that the "InstallActionLog" key of the installer's INI file names.
#pragma once

namespace kiv {

// Appends "<timestamp> : <message>" CR LF to the log the INI file names.
// Returns false when no log is named (empty INI path, no such INI file, key
// missing or empty); true once a log was named, whether or not the line
// could be written. Never raises: a log that cannot be opened, moved to its
// end, written or closed loses the line silently.
bool AppendActionLogLine(const char* iniPath, const char* message);

// The whole export: 1 for a missing block or parameter string or one without
// a bar, 0 once the line was handed to AppendActionLogLine.
struct InstallerCallBlock;
int AddActionLog(const InstallerCallBlock* block);

}  // namespace kiv
