// The product's registry key, Software\<company>\<product> under the current
// user or the local machine, and the small set of operations every other
// area uses. This is the only code that opens that key.
//
// Readers never fail: a missing key or value, denied access, or a value of
// the wrong type or size gives the caller's default. Writers report whether
// the value was stored. Every key is closed before the operation returns.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

#include "frame/handles.h"

namespace kiv {

inline const HKEY kCurrentUser = HKEY_CURRENT_USER;    // 0x80000001
inline const HKEY kLocalMachine = HKEY_LOCAL_MACHINE;  // 0x80000002

inline constexpr REGSAM kReadRights = KEY_READ;                                    // 0x20019
inline constexpr REGSAM kWriteRights = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;  // 0x2001F

inline constexpr std::size_t kKeyNameBuffer = 260;  // bytes, terminator included
inline constexpr const char kDefaultInstallFolder[] = "C:\\Program Files\\Brantelo\\Kestrune";

// Sets the company and product levels for every later operation. A name of
// more than 259 bytes is cut at the last whole character that fits; a null
// pointer leaves that level as it was.
void SetRegistryInfo(const char* company, const char* product);
const char* CompanyKeyName();
const char* ProductKeyName();

RegKey OpenProductKey(HKEY root, bool forWriting);
RegKey OpenProductSubkey(const char* subkey, HKEY root, bool forWriting);

DWORD ReadProductDword(const char* subkey, const char* value, DWORD fallback, HKEY root);
// The current user's DWORD under Preferences, else the machine's, else fallback.
DWORD ReadPreferenceDword(const char* value, DWORD fallback);
// Pointer into a library-owned buffer valid until the next call, or fallback itself.
const char* ReadProductString(const char* subkey, const char* value, const char* fallback,
                              HKEY root);
bool WriteProductDword(const char* subkey, const char* value, DWORD number, HKEY root);
bool WriteProductString(const char* subkey, const char* value, const char* text, HKEY root);

// A string value of any key, read into buffer (size bytes). False when the
// key or value is missing or does not fit with its terminator. Once the key
// is open the buffer always ends up terminated within size bytes.
bool ReadKeyString(HKEY root, const char* path, const char* value, char* buffer, DWORD size);

// The install folder under ...\Current Version "Install Location", without
// one trailing backslash; the default folder on any problem.
void InstallLocation(char* buffer, std::size_t size);
// The install folder, a backslash and QRVROAM.INI.
std::string ProductIniPath();

}  // namespace kiv
