#include "branding.h"

#include <cstdio>
#include <cstring>

namespace kiv {

namespace {
constexpr bool Contains(const char* text, const char* part) {
  for (; *text; ++text) {
    std::size_t i = 0;
    while (part[i] && text[i] == part[i]) ++i;
    if (!part[i]) return true;
  }
  return false;
}
}  // namespace

static_assert(!Contains(kBrand, kLegacyName),
              "the brand must not contain the legacy name, or replacing would never end");

std::string BrandText(int id, const char* resourceText, mb::LeadByteFn lead) {
  char tag[32] = "";
  if (id > 2000 && id < 4000) std::snprintf(tag, sizeof tag, " [MSG-%d]", id);

  char work[kBrandedTextLimit + 1];
  mb::CopyBounded(work, sizeof work, resourceText, lead);
  mb::AppendBounded(work, sizeof work, tag, lead);

  const std::size_t legacyLen = std::strlen(kLegacyName);
  while (char* hit = const_cast<char*>(mb::FindText(work, kLegacyName, lead))) {
    char rest[kBrandedTextLimit + 1];
    mb::CopyBounded(rest, sizeof rest, hit + legacyLen, lead);
    *hit = '\0';
    mb::AppendBounded(work, sizeof work, kBrand, lead);
    mb::AppendBounded(work, sizeof work, rest, lead);
  }
  return work;
}

}  // namespace kiv
