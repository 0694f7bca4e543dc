#include "product/registry.h"

#include <cstdio>
#include <cstring>

#include "frame/mbwin.h"

namespace kiv {
namespace {

char companyKeyName[kKeyNameBuffer] = "Brantelo";
char productKeyName[kKeyNameBuffer] = "Solvanta";

char shortString[260];

// Made on first use: the display name may need it while the library's
// static objects are still being built.
std::string& LongString() {
  static std::string text;
  return text;
}

RegKey OpenKey(HKEY parent, const char* name, REGSAM rights, bool create) {
  RegKey key;
  LONG rc = create ? RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, rights,
                                     nullptr, key.put(), nullptr)
                   : RegOpenKeyExA(parent, name, 0, rights, key.put());
  if (rc != ERROR_SUCCESS) key.release();
  return key;
}

}  // namespace

void SetRegistryInfo(const char* company, const char* product) {
  if (company) mb::CopyBounded(companyKeyName, sizeof companyKeyName, company, SystemLeadByte);
  if (product) mb::CopyBounded(productKeyName, sizeof productKeyName, product, SystemLeadByte);
}

const char* CompanyKeyName() { return companyKeyName; }
const char* ProductKeyName() { return productKeyName; }

RegKey OpenProductKey(HKEY root, bool forWriting) {
  const REGSAM rights = forWriting ? kWriteRights : kReadRights;
  RegKey software = OpenKey(root, "Software", rights, false);
  if (!software) return {};
  RegKey company = OpenKey(software.get(), companyKeyName, rights, forWriting);
  if (!company) return {};
  return OpenKey(company.get(), productKeyName, rights, forWriting);
}

RegKey OpenProductSubkey(const char* subkey, HKEY root, bool forWriting) {
  RegKey product = OpenProductKey(root, forWriting);
  if (!product) return {};
  return OpenKey(product.get(), subkey, forWriting ? kWriteRights : kReadRights, forWriting);
}

DWORD ReadProductDword(const char* subkey, const char* value, DWORD fallback, HKEY root) {
  RegKey key = OpenProductSubkey(subkey, root, false);
  if (!key) return fallback;
  DWORD type = 0, data = 0, size = sizeof data;
  LONG rc = RegQueryValueExA(key.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(&data),
                             &size);
  if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data) return fallback;
  return data;
}

DWORD ReadPreferenceDword(const char* value, DWORD fallback) {
  const DWORD machine = ReadProductDword("Preferences", value, fallback, kLocalMachine);
  return ReadProductDword("Preferences", value, machine, kCurrentUser);
}

static const char* ReadLongString(const char* subkey, const char* value, const char* fallback,
                                  HKEY root) {
  RegKey key = OpenProductSubkey(subkey, root, false);
  if (!key) return fallback;
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), value, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
    return fallback;
  std::string data(static_cast<std::size_t>(size) + 1, '\0');
  DWORD room = size;
  if (RegQueryValueExA(key.get(), value, nullptr, nullptr, reinterpret_cast<BYTE*>(&data[0]),
                       &room) != ERROR_SUCCESS)
    return fallback;
  std::string& text = LongString();
  text.assign(data.c_str());
  return text.c_str();
}

const char* ReadProductString(const char* subkey, const char* value, const char* fallback,
                              HKEY root) {
  DWORD size = 0;
  {
    RegKey key = OpenProductSubkey(subkey, root, false);
    if (!key) return fallback;
    if (RegQueryValueExA(key.get(), value, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
      return fallback;
    if (size < sizeof shortString) {
      // The last byte of the buffer is never written, so the text always
      // ends inside it.
      DWORD room = size;
      std::memset(shortString, 0, sizeof shortString);
      if (RegQueryValueExA(key.get(), value, nullptr, nullptr,
                           reinterpret_cast<BYTE*>(shortString), &room) != ERROR_SUCCESS)
        return fallback;
      return shortString;
    }
  }
  return ReadLongString(subkey, value, fallback, root);
}

bool WriteProductDword(const char* subkey, const char* value, DWORD number, HKEY root) {
  RegKey key = OpenProductSubkey(subkey, root, true);
  if (!key) return false;
  return RegSetValueExA(key.get(), value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                        sizeof number) == ERROR_SUCCESS;
}

bool WriteProductString(const char* subkey, const char* value, const char* text, HKEY root) {
  RegKey key = OpenProductSubkey(subkey, root, true);
  if (!key) return false;
  return RegSetValueExA(key.get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

// Queries a value into buffer and makes sure the result is a terminated
// text inside it; a value that fills the buffer without a terminator does
// not fit.
static bool QueryText(HKEY key, const char* value, char* buffer, DWORD size) {
  if (size == 0) return false;
  DWORD got = size;
  if (RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &got) !=
      ERROR_SUCCESS) {
    buffer[size - 1] = '\0';
    return false;
  }
  if (got < size) {
    buffer[got] = '\0';
    return true;
  }
  if (buffer[size - 1] == '\0') return true;
  buffer[size - 1] = '\0';
  return false;
}

bool ReadKeyString(HKEY root, const char* path, const char* value, char* buffer, DWORD size) {
  RegKey key = OpenKey(root, path, kReadRights, false);
  if (!key) return false;
  return QueryText(key.get(), value, buffer, size);
}

void InstallLocation(char* buffer, std::size_t size) {
  if (size == 0) return;
  char path[260];
  const int n = std::snprintf(path, sizeof path, "%s\\%s\\%s\\%s", "Software", companyKeyName,
                              productKeyName, "Current Version");
  // Key names that do not fit the path together name no key we can open.
  RegKey key;
  if (n > 0 && static_cast<std::size_t>(n) < sizeof path)
    key = OpenKey(kLocalMachine, path, kReadRights, false);
  if (!key || !QueryText(key.get(), "Install Location", buffer, static_cast<DWORD>(size))) {
    mb::CopyBounded(buffer, size, kDefaultInstallFolder, SystemLeadByte);
    return;
  }
  mb::DropTrailingBackslash(buffer, SystemLeadByte);
}

std::string ProductIniPath() {
  char folder[260];
  InstallLocation(folder, sizeof folder);
  std::string path(folder);
  path += "\\QRVROAM.INI";
  return path;
}

}  // namespace kiv
