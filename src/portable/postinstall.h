// Path rules of the post-install actions: a file in a folder that may or may
// not end with a backslash, and the registry editor's silent-import
// parameters. No <windows.h> here.
#pragma once
#include <cstddef>
#include <string>

#include "portable/mbtext.h"

namespace kiv {

// Every path of the post-install actions lives in a slot of this size.
inline constexpr std::size_t kPathSlot = 260;

// Writes folder, one backslash and name into dst (cap bytes). One trailing
// backslash of folder (a whole character) is dropped first, so "C:\Setup"
// and "C:\Setup\" give the same path. False, with dst emptied, when the
// result would not fit: a path is never cut.
bool FileInFolder(char* dst, std::size_t cap, const char* folder, const char* name,
                  mb::LeadByteFn lead);

// "/s /i <path>". The path normally is a short (8.3) name without blanks; one
// that still holds a blank is put in double quotes so that it reaches the
// editor as one argument.
std::string SilentImportParameters(const char* path, mb::LeadByteFn lead);

}  // namespace kiv
