// The system's ANSI code page as a lead-byte test for the text helpers.
#pragma once
#include <windows.h>

#include "portable/mbtext.h"

namespace kiv {
inline bool SystemLeadByte(unsigned char b) { return IsDBCSLeadByte(b) != FALSE; }
}  // namespace kiv
