#include "install/actionlog.h"

#include <string>

#include "frame/app.h"
#include "frame/export.h"
#include "frame/file.h"
#include "frame/mbwin.h"
#include "frame/timestamp.h"
#include "portable/actionlog.h"

namespace kiv {

bool AppendActionLogLine(const char* iniPath, const char* message) {
  if (iniPath[0] == '\0') return false;
  char logPath[260] = {};  // 259 characters and the terminator
  GetPrivateProfileStringA("Configuration", "InstallActionLog", "", logPath, sizeof logPath,
                           iniPath);
  if (logPath[0] == '\0') return false;

  File log;
  FileError openError;
  if (!log.Open(logPath, File::kCreate | File::kNoTruncate | File::kWrite, &openError))
    return true;  // held open elsewhere, folder missing, access denied: line lost
  try {
    log.SeekToEnd();
    const std::string line =
        ActionLogLine(LocalTimestamp("%a %b %d %I:%M %p %Y"), message);
    log.Write(line.data(), line.size());
    log.Close();
  } catch (...) {
    // Disk full or the like: the installer knows no error for this, so the
    // line is dropped; the file object closes the log on the way out.
  }
  return true;
}

int AddActionLog(const InstallerCallBlock* block) {
  const char* param = BlockParam(block);
  if (param == nullptr) return 1;
  WaitCursor busy;
  char copy[kActionParamCapacity];
  ActionParam split{};
  if (!SplitActionParam(copy, param, SystemLeadByte, &split)) return 1;
  AppendActionLogLine(split.iniPath, split.message);
  return 0;
}

}  // namespace kiv
