#include "portable/mbcompare.h"

namespace kiv::mb {
namespace {
unsigned Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }
}  // namespace

int CompareNoCase(const char* a, const char* b, LeadByteFn lead) {
  for (;;) {
    const std::size_t la = CharLen(a, lead);
    const std::size_t lb = CharLen(b, lead);
    if (la == 0 || lb == 0) {
      // At least one text has ended: the shorter one sorts first.
      return static_cast<int>(la != 0) - static_cast<int>(lb != 0);
    }
    const unsigned ca = la == 1 ? Fold(static_cast<unsigned char>(*a))
                                : static_cast<unsigned char>(*a);
    const unsigned cb = lb == 1 ? Fold(static_cast<unsigned char>(*b))
                                : static_cast<unsigned char>(*b);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (la != lb) return la < lb ? -1 : 1;
    if (la == 2 && a[1] != b[1])
      return static_cast<unsigned char>(a[1]) < static_cast<unsigned char>(b[1]) ? -1 : 1;
    a += la;
    b += lb;
  }
}

}  // namespace kiv::mb
