// Multibyte-aware text helpers for single-byte (ANSI) strings.
//
// Every function walks the text character by character: a double-byte
// character is one unit, so its second byte is never taken for a separator
// and a bounded copy never keeps half of it. Whether a byte starts a
// double-byte character is asked of a LeadByteFn, so the same code serves
// the system's ANSI code page at run time and fixed tables in tests.
// No function here includes <windows.h>.
#pragma once
#include <cstddef>

namespace kiv::mb {

using LeadByteFn = bool (*)(unsigned char byte);

// Single-byte code page: no byte is a lead byte.
bool NoLeadBytes(unsigned char byte);
// Code page 932 (Shift JIS) lead bytes: 0x81-0x9F and 0xE0-0xFC.
bool ShiftJisLeadByte(unsigned char byte);

// Length in bytes of the character at p (1 or 2; 0 at the terminator).
// A lead byte followed by the terminator counts as one byte.
std::size_t CharLen(const char* p, LeadByteFn lead);

// First / last occurrence of the single-byte character ch, whole characters
// only; null when absent. ch must not be 0.
const char* FindFirst(const char* s, char ch, LeadByteFn lead);
const char* FindLast(const char* s, char ch, LeadByteFn lead);

// First occurrence of needle that starts on a character boundary of s.
const char* FindText(const char* s, const char* needle, LeadByteFn lead);

// Copy src into dst, which has room for cap bytes including the terminator.
// Copies whole characters only, at most cap - 1 bytes, and always
// terminates (when cap > 0). Returns the number of bytes now in dst.
std::size_t CopyBounded(char* dst, std::size_t cap, const char* src, LeadByteFn lead);

// Append src to the text in dst under the same rules. The existing text is
// assumed to be terminated within cap bytes.
std::size_t AppendBounded(char* dst, std::size_t cap, const char* src, LeadByteFn lead);

// When the last character of s is a backslash, remove that one backslash.
// Returns true when one was removed.
bool DropTrailingBackslash(char* s, LeadByteFn lead);

}  // namespace kiv::mb
