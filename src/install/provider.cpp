#include "install/provider.h"

#include <cstring>

#include "frame/app.h"
#include "frame/handles.h"
#include "frame/mbwin.h"
#include "portable/provider_list.h"

namespace kiv {
namespace {

constexpr char kOrderKey[] = "System\\CurrentControlSet\\Control\\NetworkProvider\\Order";
constexpr char kOrderValue[] = "ProviderOrder";
constexpr REGSAM kOrderRights = KEY_READ | KEY_WRITE;  // 0x2001F

// Every removal stores a list at least seven bytes shorter, so a stored
// list of 259 bytes holds the provider no more than this many times.
constexpr int kMaxPasses = static_cast<int>(providers::kOrderBuffer / 7) + 1;

RegKey OpenOrderKey() {
  RegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOrderKey, 0, kOrderRights, key.put()) != ERROR_SUCCESS)
    key.release();
  return key;
}

// Reads the order into list (kOrderBuffer bytes, zero-filled first, so a
// value stored without its terminator reads as text). A missing value is
// the empty list. False when the stored value does not fit the buffer,
// cannot be read, or holds more than one text (bytes after a zero): such a
// value is left as it is, since writing it back would lose the rest.
bool ReadOrder(HKEY key, char* list) {
  std::memset(list, 0, providers::kOrderBuffer);
  DWORD size = providers::kOrderBuffer;
  const LONG rc = RegQueryValueExA(key, kOrderValue, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(list), &size);
  if (rc == ERROR_FILE_NOT_FOUND) {
    std::memset(list, 0, providers::kOrderBuffer);
    return true;
  }
  if (rc != ERROR_SUCCESS) return false;
  const char* end = static_cast<const char*>(std::memchr(list, '\0', providers::kOrderBuffer));
  if (end == nullptr) return false;
  for (const char* p = end; p < list + size && p < list + providers::kOrderBuffer; ++p)
    if (*p != '\0') return false;
  return true;
}

// Stores the list as REG_SZ with the byte count of its text alone: the
// stored data carries no terminating zero (readers zero-fill their buffer).
bool WriteOrder(HKEY key, const char* list) {
  return RegSetValueExA(key, kOrderValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(list),
                        static_cast<DWORD>(std::strlen(list))) == ERROR_SUCCESS;
}

void AddPass(int passesLeft) {
  WaitCursor busy;
  bool moveToHead = false;
  {
    RegKey key = OpenOrderKey();
    if (!key) return;
    char list[providers::kOrderBuffer];
    if (!ReadOrder(key.get(), list)) return;
    char updated[providers::kOrderBuffer];
    switch (providers::PlanAdd(list, providers::kProviderName, updated, sizeof updated,
                               SystemLeadByte)) {
      case providers::AddPlan::kWrite:
        WriteOrder(key.get(), updated);
        return;
      case providers::AddPlan::kMoveToHead:
        moveToHead = true;
        break;
      case providers::AddPlan::kAtHead:
      case providers::AddPlan::kTooLong:
        return;
    }
  }  // the key is closed before the removal opens it anew
  if (moveToHead && passesLeft > 0 && RemoveProviderFromOrder()) AddPass(passesLeft - 1);
}

}  // namespace

void AddProviderToOrder() { AddPass(kMaxPasses); }

bool RemoveProviderFromOrder() {
  WaitCursor busy;
  RegKey key = OpenOrderKey();
  if (!key) return false;
  char list[providers::kOrderBuffer];
  if (!ReadOrder(key.get(), list)) return false;
  char updated[providers::kOrderBuffer];
  if (!providers::PlanRemove(list, providers::kProviderName, updated, sizeof updated,
                             SystemLeadByte))
    return false;
  return WriteOrder(key.get(), updated);
}

}  // namespace kiv
