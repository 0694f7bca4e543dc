#include "portable/provider_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace kiv::providers;
using kiv::mb::NoLeadBytes;
using kiv::mb::ShiftJisLeadByte;

namespace {

struct AddResult {
  AddPlan plan;
  std::string out;
};

AddResult Add(const std::string& list, kiv::mb::LeadByteFn lead = NoLeadBytes) {
  char out[kOrderBuffer];
  std::memset(out, 'x', sizeof out);
  const AddPlan plan = PlanAdd(list.c_str(), kProviderName, out, sizeof out, lead);
  return {plan, plan == AddPlan::kWrite ? std::string(out) : std::string()};
}

// The text of a removal, or "<none>" when nothing is to be written.
std::string Remove(const std::string& list, kiv::mb::LeadByteFn lead = NoLeadBytes) {
  char out[kOrderBuffer];
  if (!PlanRemove(list.c_str(), kProviderName, out, sizeof out, lead)) return "<none>";
  return out;
}

}  // namespace

TEST(ProviderList, AddDecidesByWholeItemsOnly) {
  struct Case {
    const char* list;
    AddPlan plan;
    const char* out;
  } cases[] = {
      {"", AddPlan::kWrite, "ZEVIRO"},
      {"A,B", AddPlan::kWrite, "ZEVIRO,A,B"},
      {"ZEVIRO", AddPlan::kAtHead, ""},
      {"ZEVIRO,A,B", AddPlan::kAtHead, ""},
      {"ZEVIRO,A,ZEVIRO", AddPlan::kAtHead, ""},
      {"A,ZEVIRO,B", AddPlan::kMoveToHead, ""},
      {"A,ZEVIRO", AddPlan::kMoveToHead, ""},
      // Other providers whose names hold the text, and other cases.
      {"zeviro", AddPlan::kWrite, "ZEVIRO,zeviro"},
      {"A,ZEVIROX", AddPlan::kWrite, "ZEVIRO,A,ZEVIROX"},
      {"A,XZEVIRO,B", AddPlan::kWrite, "ZEVIRO,A,XZEVIRO,B"},
      {"ZEVIROX,B", AddPlan::kWrite, "ZEVIRO,ZEVIROX,B"},
      {"A,XZEVIRO", AddPlan::kWrite, "ZEVIRO,A,XZEVIRO"},
      // The item is found past a longer name that contains it.
      {"A,ZEVIROX,ZEVIRO", AddPlan::kMoveToHead, ""},
  };
  for (const Case& c : cases) {
    const AddResult r = Add(c.list);
    EXPECT_EQ(r.plan, c.plan) << c.list;
    EXPECT_EQ(r.out, c.out) << c.list;
  }
}

TEST(ProviderList, RemoveTakesOneItemAndOneSeparator) {
  struct Case {
    const char* list;
    const char* out;
  } cases[] = {
      {"", "<none>"},
      {"A,B", "<none>"},
      {"ZEVIRO", ""},
      {"ZEVIRO,A,B", "A,B"},
      {"A,ZEVIRO,B", "A,B"},
      {"A,ZEVIRO", "A"},  // no comma left dangling at the end
      {"A,B,ZEVIRO", "A,B"},
      {"ZEVIRO,", ""},
      {"A,ZEVIRO,B,ZEVIRO,C", "A,B,ZEVIRO,C"},  // one at a time
      {"zeviro,A", "<none>"},
      {"A,ZEVIROX", "<none>"},
      {"A,XZEVIRO,B", "<none>"},
      {"A,XZEVIRO,ZEVIRO,B", "A,XZEVIRO,B"},
  };
  for (const Case& c : cases) EXPECT_EQ(Remove(c.list), c.out) << c.list;
}

TEST(ProviderList, RepeatedRemoveAndAddEndsWithTheProviderOnceAtTheHead) {
  // What the registry routine does pass by pass.
  std::string list = "A,ZEVIRO,B,ZEVIRO,C";
  int passes = 0;
  for (;;) {
    ASSERT_LT(++passes, 10);
    const AddResult r = Add(list);
    if (r.plan == AddPlan::kWrite) {
      list = r.out;
      break;
    }
    ASSERT_EQ(r.plan, AddPlan::kMoveToHead);
    list = Remove(list);
  }
  EXPECT_EQ(list, "ZEVIRO,A,B,C");
  EXPECT_EQ(passes, 3);
}

TEST(ProviderList, ListsThatWouldNotFitAreLeftAlone) {
  // 252 characters take 259 bytes with "ZEVIRO," before them; 253 do not fit.
  const std::string fits(252, 'A'), tooLong(253, 'A');
  EXPECT_EQ(Add(fits).plan, AddPlan::kWrite);
  EXPECT_EQ(Add(fits).out, "ZEVIRO," + fits);
  EXPECT_EQ(Add(tooLong).plan, AddPlan::kTooLong);
  // A listed provider is moved whatever the length: the removal shortens it.
  EXPECT_EQ(Add(std::string(240, 'A') + ",ZEVIRO").plan, AddPlan::kMoveToHead);
  // The output buffer is never written beyond its room.
  char small[8];
  std::memset(small, 'x', sizeof small);
  EXPECT_FALSE(PlanRemove("A,ZEVIRO,BCDEFGH", kProviderName, small, sizeof small, NoLeadBytes));
  EXPECT_EQ(PlanAdd("", kProviderName, small, 6, NoLeadBytes), AddPlan::kTooLong);
  EXPECT_EQ(PlanAdd("A", kProviderName, small, sizeof small, NoLeadBytes), AddPlan::kTooLong);
}

TEST(ProviderList, DoubleByteNamesAreNotSplitAtATrailByte) {
  // A provider name of two double-byte characters, before and run together
  // with the product's name: items are still told apart whole.
  const std::string dbcs = "\x82\x60\x82\x61";
  EXPECT_EQ(Remove(dbcs + ",ZEVIRO", ShiftJisLeadByte), dbcs);
  EXPECT_EQ(Add(dbcs + ",ZEVIRO", ShiftJisLeadByte).plan, AddPlan::kMoveToHead);
  EXPECT_EQ(Add(dbcs + "ZEVIRO", ShiftJisLeadByte).out, "ZEVIRO," + dbcs + "ZEVIRO");
  EXPECT_EQ(Remove(dbcs + "ZEVIRO", ShiftJisLeadByte), "<none>");
}
