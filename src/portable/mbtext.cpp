#include "mbtext.h"

#include <cstring>

namespace kiv::mb {

bool NoLeadBytes(unsigned char) { return false; }

bool ShiftJisLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

std::size_t CharLen(const char* p, LeadByteFn lead) {
  if (*p == '\0') return 0;
  if (lead(static_cast<unsigned char>(*p)) && p[1] != '\0') return 2;
  return 1;
}

const char* FindFirst(const char* s, char ch, LeadByteFn lead) {
  for (std::size_t n; (n = CharLen(s, lead)) != 0; s += n)
    if (n == 1 && *s == ch) return s;
  return nullptr;
}

const char* FindLast(const char* s, char ch, LeadByteFn lead) {
  const char* found = nullptr;
  for (std::size_t n; (n = CharLen(s, lead)) != 0; s += n)
    if (n == 1 && *s == ch) found = s;
  return found;
}

const char* FindText(const char* s, const char* needle, LeadByteFn lead) {
  const std::size_t len = std::strlen(needle);
  for (;;) {
    if (std::strncmp(s, needle, len) == 0) return s;
    const std::size_t n = CharLen(s, lead);
    if (n == 0) return nullptr;
    s += n;
  }
}

static std::size_t CopyInto(char* dst, std::size_t used, std::size_t cap, const char* src,
                            LeadByteFn lead) {
  for (std::size_t n; (n = CharLen(src, lead)) != 0 && used + n < cap; src += n) {
    std::memcpy(dst + used, src, n);
    used += n;
  }
  dst[used] = '\0';
  return used;
}

std::size_t CopyBounded(char* dst, std::size_t cap, const char* src, LeadByteFn lead) {
  if (cap == 0) return 0;
  return CopyInto(dst, 0, cap, src, lead);
}

std::size_t AppendBounded(char* dst, std::size_t cap, const char* src, LeadByteFn lead) {
  if (cap == 0) return 0;
  std::size_t used = 0;
  while (used < cap - 1 && dst[used] != '\0') ++used;
  return CopyInto(dst, used, cap, src, lead);
}

bool DropTrailingBackslash(char* s, LeadByteFn lead) {
  char* last = const_cast<char*>(FindLast(s, '\\', lead));
  if (last == nullptr || last[1] != '\0') return false;
  *last = '\0';
  return true;
}

}  // namespace kiv::mb
