// The rule that turns a string resource into the text the user sees: an
// optional message tag for ids 2001-3999, then every occurrence of the
// product-line name replaced by the brand, all within 511 bytes.
#pragma once
#include <string>

#include "mbtext.h"

namespace kiv {

inline constexpr const char kBrand[] = "Solvanta";
inline constexpr const char kLegacyName[] = "Kestrune";
inline constexpr std::size_t kBrandedTextLimit = 511;  // bytes, terminator not counted

// resourceText is the loaded resource ("" when it is missing).
std::string BrandText(int id, const char* resourceText, mb::LeadByteFn lead);

}  // namespace kiv
