#include "provider_list.h"

#include <cstring>

namespace kiv::providers {

const char* FindItem(const char* list, const char* name, mb::LeadByteFn lead) {
  const std::size_t len = std::strlen(name);
  for (const char* item = list;;) {
    const char* comma = mb::FindFirst(item, ',', lead);
    const std::size_t itemLen = comma ? static_cast<std::size_t>(comma - item) : std::strlen(item);
    if (itemLen == len && std::memcmp(item, name, len) == 0) return item;
    if (!comma) return nullptr;
    item = comma + 1;
  }
}

AddPlan PlanAdd(const char* list, const char* name, char* out, std::size_t cap,
                mb::LeadByteFn lead) {
  const std::size_t nameLen = std::strlen(name);
  const std::size_t listLen = std::strlen(list);
  if (listLen == 0) {
    if (nameLen + 1 > cap) return AddPlan::kTooLong;
    std::memcpy(out, name, nameLen + 1);
    return AddPlan::kWrite;
  }
  if (const char* item = FindItem(list, name, lead))
    return item == list ? AddPlan::kAtHead : AddPlan::kMoveToHead;
  if (nameLen + 1 + listLen + 1 > cap) return AddPlan::kTooLong;
  std::memcpy(out, name, nameLen);
  out[nameLen] = ',';
  std::memcpy(out + nameLen + 1, list, listLen + 1);
  return AddPlan::kWrite;
}

bool PlanRemove(const char* list, const char* name, char* out, std::size_t cap,
                mb::LeadByteFn lead) {
  const char* item = FindItem(list, name, lead);
  if (!item) return false;
  const char* after = item + std::strlen(name);  // ',' or the end
  std::size_t keep = static_cast<std::size_t>(item - list);
  const char* rest = "";
  if (*after == ',')
    rest = after + 1;
  else if (keep > 0)
    --keep;  // the last item goes with the comma before it
  const std::size_t restLen = std::strlen(rest);
  if (keep + restLen + 1 > cap) return false;
  std::memmove(out, list, keep);
  std::memmove(out + keep, rest, restLen + 1);
  return true;
}

}  // namespace kiv::providers
