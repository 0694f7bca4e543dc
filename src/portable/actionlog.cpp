#include "portable/actionlog.h"

#include <cstring>

namespace kiv {

bool SplitActionParam(char* buf, const char* param, mb::LeadByteFn lead, ActionParam* out) {
  std::memset(buf, 0, kActionParamCapacity);
  mb::CopyBounded(buf, kActionParamCapacity, param, lead);
  char* bar = const_cast<char*>(mb::FindFirst(buf, '|', lead));
  if (bar == nullptr) return false;
  *bar = '\0';
  out->iniPath = buf;
  out->message = bar + 1;
  return true;
}

std::string ActionLogLine(const std::string& timestamp, const char* message) {
  std::string line = timestamp;
  line += " : ";
  line += message;
  line += "\r\n";
  return line;
}

}  // namespace kiv
