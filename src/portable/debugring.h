// The arithmetic and the texts of the rolling debug log: which numbered
// slot the next message takes, how slot numbers are spelled as INI keys and
// values, and how a formatted message is kept inside its fixed buffer.
// No function here includes <windows.h>.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

#include "portable/mbtext.h"

namespace kiv::ring {

// Bytes of the formatted-message buffer, terminator included.
inline constexpr std::size_t kMessageBuffer = 1024;
// Ring size used when the INI file names none.
inline constexpr std::uint32_t kDefaultMaxLine = 100;

// The slot after lastLine in a ring of maxLine slots, both taken as unsigned
// 32-bit numbers. Past maxLine the ring starts again at 1; a ring of 0 slots
// always writes slot 1. Slot 0 is never returned, so a last line of
// 4294967295 (or "-1" in the file) also starts again at 1.
std::uint32_t NextSlot(std::uint32_t lastLine, std::uint32_t maxLine);

// The INI key of a slot: decimal, zero-padded to at least three digits
// ("001", "100", "1000").
std::string SlotKey(std::uint32_t slot);

// The "LastLine" value of a slot: plain unsigned decimal.
std::string SlotNumberText(std::uint32_t slot);

// Formats fmt with its arguments into out (cap bytes, cap > 0). A longer
// result is cut to cap - 1 bytes, and further back to the last whole
// character when the cut would split a double-byte character. out is always
// terminated. Returns the length of the text in out.
std::size_t FormatBounded(char* out, std::size_t cap, mb::LeadByteFn lead, const char* fmt,
                          std::va_list args);

// Removes a lead byte left alone at the end of s by a byte-wise cut.
// Returns the new length.
std::size_t DropDanglingLeadByte(char* s, mb::LeadByteFn lead);

}  // namespace kiv::ring
