#include "portable/branding.h"

#include <gtest/gtest.h>

using kiv::BrandText;
using kiv::mb::NoLeadBytes;
using kiv::mb::ShiftJisLeadByte;

TEST(Branding, ReplacesEveryOccurrenceAndTagsTheMessageRange) {
  struct Case {
    int id;
    const char* text;
    const char* shown;
  } cases[] = {
      {408, "Kestrune Installation", "Solvanta Installation"},
      {411, "Kestrune and Kestrune", "Solvanta and Solvanta"},
      {410, "no name here", "no name here"},
      {2000, "x", "x"},
      {2001, "x", "x [MSG-2001]"},
      {3999, "Kestrune", "Solvanta [MSG-3999]"},
      {4000, "x", "x"},
      {2500, "", " [MSG-2500]"},
      {-1, "", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(BrandText(c.id, c.text, NoLeadBytes), c.shown) << c.id;
}

TEST(Branding, CutsAt511BytesBeforeAndAfterReplacing) {
  const std::string longText(600, 'a');
  EXPECT_EQ(BrandText(408, longText.c_str(), NoLeadBytes), std::string(511, 'a'));

  // The tag comes before the cut, so a long text loses it.
  const std::string near(505, 'b');
  EXPECT_EQ(BrandText(2001, near.c_str(), NoLeadBytes), near + " [MSG-");

  // A name at the very end is replaced whole; the brand has the same length.
  const std::string tail = std::string(503, 'c') + "Kestrune";
  EXPECT_EQ(BrandText(1, tail.c_str(), NoLeadBytes), std::string(503, 'c') + "Solvanta");

  // Double-byte characters are never split by the cut.
  std::string dbcs;
  for (int i = 0; i < 300; ++i) dbcs += "\x95\x5C";
  const std::string got = BrandText(1, ("x" + dbcs).c_str(), ShiftJisLeadByte);
  EXPECT_EQ(got.size(), 511u);
  EXPECT_EQ(BrandText(1, dbcs.c_str(), ShiftJisLeadByte).size(), 510u);
}
