// The rolling debug log: one timestamped line per message in the numbered
// slots of the "DebugIniMsgs" section of QRVROAM.INI.
//
// The log is off unless "EnableDebugIniMessages" in that section is
// non-zero. The switch is read on the first call after the library is
// loaded and "MaxLine" (default 100) on the first call that finds the
// switch on; both are kept until unload. "LastLine" is read and written on
// every logged message, before the message itself, so it always names the
// newest slot. A message longer than 1023 characters is cut to 1023.
#pragma once
#include <cstdarg>

namespace kiv {

// Returns 0 when logging is off and nothing was written, otherwise the
// switch value. Never throws; a message that cannot be written is lost.
int LogDebugMessage(const char* format, ...);
int LogDebugMessageV(const char* format, std::va_list args) noexcept;

}  // namespace kiv
