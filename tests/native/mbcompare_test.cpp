#include "portable/mbcompare.h"

#include <gtest/gtest.h>

using namespace kiv::mb;

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(CompareNoCase, ServicePackTextsAgainstSix) {
  struct Case {
    const char* text;
    int sign;
  } cases[] = {
      {"Service Pack 6", 0},  {"service pack 6", 0}, {"SERVICE PACK 6A", 1},
      {"Service Pack 6a", 1}, {"Service Pack 7", 1}, {"Service Pack 5", -1},
      {"Service Pack 10", -1},  // compared as text, not as a number
      {"", -1},               {"Service Pack", -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Sign(CompareNoCase(c.text, "Service Pack 6", NoLeadBytes)), c.sign) << c.text;
}

TEST(CompareNoCase, DoubleByteCharactersStayWholeAndUnfolded) {
  // 0x82 0x61 is one character in code page 932; its trail byte is not the
  // letter a and is not folded against A.
  EXPECT_NE(CompareNoCase("\x82\x61", "\x82\x41", ShiftJisLeadByte), 0);
  EXPECT_EQ(CompareNoCase("\x82\x61x", "\x82\x61X", ShiftJisLeadByte), 0);
  // Single-byte code page: the same bytes are two characters and fold.
  EXPECT_EQ(CompareNoCase("\x82\x61", "\x82\x41", NoLeadBytes), 0);
  // High bytes compare as unsigned.
  EXPECT_GT(CompareNoCase("\xE9", "z", NoLeadBytes), 0);
}

}  // namespace
