// Case-insensitive ordering of single-byte (ANSI) strings that keeps
// double-byte characters whole. No <windows.h>.
#pragma once
#include "portable/mbtext.h"

namespace kiv::mb {

// Compares a and b character by character. Single-byte letters A-Z compare
// as their lower-case forms; a double-byte character compares by its two
// bytes, unfolded, and sorts by its lead byte against a single-byte one.
// Bytes compare as unsigned. Returns <0, 0 or >0.
int CompareNoCase(const char* a, const char* b, LeadByteFn lead);

}  // namespace kiv::mb
