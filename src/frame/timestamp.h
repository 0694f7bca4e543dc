// The current local time, formatted with strftime conversions in the
// runtime's default ("C") locale.
#pragma once
#include <string>

namespace kiv {

// For example "%a %b %d %I:%M %p %Y" gives "Fri Dec 11 01:05 PM 2026".
std::string LocalTimestamp(const char* format);

}  // namespace kiv
