#include "setup_text.h"

#include <cstdio>
#include <cstring>

namespace kiv::setuptext {

void EncodeNumber(std::int32_t n, char* out) {
  std::snprintf(out, kNumberText, "%d", static_cast<int>(n));
  for (char* p = out; *p; ++p)
    if (*p >= '0' && *p <= '9') *p = static_cast<char>(*p + kDigitShift);
}

std::int32_t DecodeNumber(const char* text) {
  constexpr std::uint32_t kMax = 2147483647u;
  std::uint32_t value = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    const int digit = static_cast<int>(*p) - kDigitShift - '0';
    if (digit < 0 || digit > 9) return 0;
    // Any later character would either overflow further or be rejected.
    if (value > (kMax - static_cast<std::uint32_t>(digit)) / 10) return 0;
    value = value * 10 + static_cast<std::uint32_t>(digit);
  }
  return static_cast<std::int32_t>(value);
}

bool OldLibraryPath(const char* folder, char* out, mb::LeadByteFn lead) {
  static const char kTail[] = "\\BIN\\MFC42.DLL";
  out[0] = '\0';
  const std::size_t len = std::strlen(folder);
  if (len >= kPathBuffer) return false;
  char copy[kPathBuffer];
  std::memcpy(copy, folder, len + 1);
  mb::DropTrailingBackslash(copy, lead);
  const int n = std::snprintf(out, kPathBuffer, "%s%s", copy, kTail);
  if (n < 0 || static_cast<std::size_t>(n) >= kPathBuffer) {
    out[0] = '\0';
    return false;
  }
  return true;
}

}  // namespace kiv::setuptext
