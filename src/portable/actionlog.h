// The install action log's text rules: splitting the installer's parameter
// string into the INI path and the message, and the shape of one log line.
// No <windows.h> here.
#pragma once
#include <cstddef>
#include <string>

#include "portable/mbtext.h"

namespace kiv {

// The working copy of the parameter string: 519 characters and the
// terminator. A longer string is cut to whole characters that fit.
inline constexpr std::size_t kActionParamCapacity = 520;

struct ActionParam {
  const char* iniPath;  // text before the first bar
  const char* message;  // everything after it, further bars included
};

// Copies param into buf (kActionParamCapacity bytes, zero-filled first) and
// splits the copy at its first '|' (whole characters only). False when the
// copy holds no bar; out is then left alone.
bool SplitActionParam(char* buf, const char* param, mb::LeadByteFn lead, ActionParam* out);

// "<timestamp> : <message>" followed by CR LF, without a terminating zero.
std::string ActionLogLine(const std::string& timestamp, const char* message);

}  // namespace kiv
