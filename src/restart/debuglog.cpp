#include "restart/debuglog.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "frame/mbwin.h"
#include "frame/timestamp.h"
#include "portable/debugring.h"
#include "product/registry.h"

namespace kiv {
namespace {

constexpr char kSection[] = "DebugIniMsgs";

// Read once per load; unguarded, like every cache of the library (one
// caller thread).
bool switchRead = false;
std::uint32_t switchValue = 0;
bool maxLineRead = false;
std::uint32_t maxLine = ring::kDefaultMaxLine;

std::uint32_t ReadInt(const char* key, std::uint32_t fallback, const std::string& ini) {
  return GetPrivateProfileIntA(kSection, key, static_cast<INT>(fallback), ini.c_str());
}

}  // namespace

int LogDebugMessageV(const char* format, std::va_list args) noexcept {
  try {
    if (!switchRead) {
      switchRead = true;
      switchValue = ReadInt("EnableDebugIniMessages", 0, ProductIniPath());
    }
    if (switchValue == 0) return 0;

    char message[ring::kMessageBuffer];
    ring::FormatBounded(message, sizeof message, SystemLeadByte, format ? format : "", args);

    const std::string ini = ProductIniPath();
    if (!maxLineRead) {
      maxLineRead = true;
      maxLine = ReadInt("MaxLine", ring::kDefaultMaxLine, ini);
    }
    const std::uint32_t slot = ring::NextSlot(ReadInt("LastLine", 0, ini), maxLine);
    WritePrivateProfileStringA(kSection, "LastLine", ring::SlotNumberText(slot).c_str(),
                               ini.c_str());

    std::string line = LocalTimestamp("[%a %b %d %I:%M %p %Y] ");
    line += message;
    WritePrivateProfileStringA(kSection, ring::SlotKey(slot).c_str(), line.c_str(), ini.c_str());
  } catch (...) {
    // Out of memory for the path or the line: the message is lost, the
    // caller goes on.
  }
  return static_cast<int>(switchValue);
}

int LogDebugMessage(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const int result = LogDebugMessageV(format, args);
  va_end(args);
  return result;
}

}  // namespace kiv
