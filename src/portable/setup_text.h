// Small text rules of the setup exports: the digit-letter code of numbers
// and the path of the shared library file an older version left behind.
// No function here includes <windows.h>.
#pragma once
#include <cstddef>
#include <cstdint>

#include "portable/mbtext.h"

namespace kiv::setuptext {

// Digit-letter code: in the decimal text of a number every digit is moved
// up by 17 character codes ('0' -> 'A' ... '9' -> 'J'); the minus sign of a
// negative number stays as it is.
inline constexpr int kDigitShift = 17;
// Room of the number text, terminator included; the longest text,
// that of -2147483648, takes 12 bytes.
inline constexpr std::size_t kNumberText = 20;

// Writes the code of n into out (kNumberText bytes).
void EncodeNumber(std::int32_t n, char* out);

// The number a text of the letters 'A' to 'J' stands for, leading zeros
// ignored and the empty text 0. 0 as well for any text holding another
// character (a minus sign included, so negative numbers do not come back)
// and for a value above 2147483647, which no number encodes to. Texts of
// any length are read; nothing is copied.
std::int32_t DecodeNumber(const char* text);

// Room of the folder and file paths of the old-file clean-up.
inline constexpr std::size_t kPathBuffer = 260;

// Builds "<folder>\BIN\MFC42.DLL" in out (kPathBuffer bytes), the folder
// taken without one final backslash. Returns false, with out empty, when
// the folder or the whole path would not fit: a shortened path would name
// another file.
bool OldLibraryPath(const char* folder, char* out, mb::LeadByteFn lead);

}  // namespace kiv::setuptext
