// Editing of a network provider order: a list of provider names separated
// by single commas, held in a fixed buffer.
//
// A provider counts as listed only as a whole item: the name must start the
// list or follow a comma, and end the list or be followed by a comma, with
// the same case. A longer name that merely contains it (XZEVIRO, ZEVIROX)
// is another provider and is never touched. No function here includes
// <windows.h>.
#pragma once
#include <cstddef>

#include "portable/mbtext.h"

namespace kiv::providers {

inline constexpr char kProviderName[] = "ZEVIRO";
// Room of the read and write buffers, terminator included.
inline constexpr std::size_t kOrderBuffer = 260;

// Start of the first item of list equal to name, or null.
const char* FindItem(const char* list, const char* name, mb::LeadByteFn lead);

enum class AddPlan {
  kWrite,       // out holds the new list: name alone, or name, a comma and the old list
  kAtHead,      // name already heads the list: nothing to write
  kMoveToHead,  // name is listed further on: remove it, then add again
  kTooLong,     // name and a comma before the list would not fit out: leave it alone
};

// Decides what adding name at the head of list takes. out (cap bytes) is
// written only for kWrite.
AddPlan PlanAdd(const char* list, const char* name, char* out, std::size_t cap,
                mb::LeadByteFn lead);

// Builds in out (cap bytes) the list without its first item equal to name,
// together with one separator: the comma after it, or, for the last item of
// a longer list, the comma before it. Returns false, leaving out unwritten,
// when name is not listed or the result would not fit.
bool PlanRemove(const char* list, const char* name, char* out, std::size_t cap,
                mb::LeadByteFn lead);

}  // namespace kiv::providers
