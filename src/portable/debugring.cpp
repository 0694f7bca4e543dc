#include "portable/debugring.h"

#include <cstdio>

namespace kiv::ring {

std::uint32_t NextSlot(std::uint32_t lastLine, std::uint32_t maxLine) {
  const std::uint32_t next = lastLine + 1;  // wraps to 0 after 4294967295
  if (next == 0 || next > maxLine) return 1;
  return next;
}

std::string SlotKey(std::uint32_t slot) {
  char text[16];
  std::snprintf(text, sizeof text, "%03lu", static_cast<unsigned long>(slot));
  return text;
}

std::string SlotNumberText(std::uint32_t slot) {
  char text[16];
  std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(slot));
  return text;
}

std::size_t DropDanglingLeadByte(char* s, mb::LeadByteFn lead) {
  std::size_t at = 0;
  while (s[at] != '\0') {
    if (lead(static_cast<unsigned char>(s[at])) && s[at + 1] == '\0') {
      s[at] = '\0';
      break;
    }
    at += mb::CharLen(s + at, lead);
  }
  return at;
}

std::size_t FormatBounded(char* out, std::size_t cap, mb::LeadByteFn lead, const char* fmt,
                          std::va_list args) {
  if (cap == 0) return 0;
  out[0] = '\0';
  const int n = std::vsnprintf(out, cap, fmt, args);
  // Some runtimes neither terminate a cut result nor report its length.
  out[cap - 1] = '\0';
  if (n < 0) {
    // A format the runtime rejects: keep what it produced, if anything.
    return DropDanglingLeadByte(out, lead);
  }
  if (static_cast<std::size_t>(n) < cap) return static_cast<std::size_t>(n);
  return DropDanglingLeadByte(out, lead);
}

}  // namespace kiv::ring
