#include "portable/mbtext.h"

#include <gtest/gtest.h>

#include <string>

using namespace kiv::mb;

// Shift JIS: 0x95 0x5C is one character whose second byte is a backslash,
// 0x83 0x7C one whose second byte is a vertical bar.
static const char kSjisBackslash[] = "\x95\x5C";
static const char kSjisBar[] = "\x83\x7C";

TEST(MbText, SeparatorsAreWholeCharactersOnly) {
  struct Case {
    std::string text;
    char ch;
    LeadByteFn lead;
    int first, last;  // offsets, -1 when absent
  } cases[] = {
      {"C:\\Apps\\x", '\\', NoLeadBytes, 2, 7},
      {"", '\\', NoLeadBytes, -1, -1},
      {std::string("C:\\") + kSjisBackslash, '\\', ShiftJisLeadByte, 2, 2},
      {std::string("C:\\") + kSjisBackslash, '\\', NoLeadBytes, 2, 4},
      {kSjisBackslash, '\\', ShiftJisLeadByte, -1, -1},
      {std::string(kSjisBar) + "|msg", '|', ShiftJisLeadByte, 2, 2},
      {std::string(kSjisBar) + "x", '|', NoLeadBytes, 1, 1},
      // A lead byte at the very end stands alone.
      {"a\\\x95", '\\', ShiftJisLeadByte, 1, 1},
  };
  for (const Case& c : cases) {
    const char* first = FindFirst(c.text.c_str(), c.ch, c.lead);
    const char* last = FindLast(c.text.c_str(), c.ch, c.lead);
    EXPECT_EQ(first ? first - c.text.c_str() : -1, c.first) << c.text;
    EXPECT_EQ(last ? last - c.text.c_str() : -1, c.last) << c.text;
  }
}

TEST(MbText, TrailingBackslashRule) {
  struct Case {
    std::string in, out;
    LeadByteFn lead;
  } cases[] = {
      {"D:\\Apps\\", "D:\\Apps", NoLeadBytes},
      {"D:\\Apps\\\\", "D:\\Apps\\", NoLeadBytes},
      {"C:\\", "C:", NoLeadBytes},
      {"D:\\Apps", "D:\\Apps", NoLeadBytes},
      {"", "", NoLeadBytes},
      {std::string("D:\\") + kSjisBackslash, std::string("D:\\") + kSjisBackslash, ShiftJisLeadByte},
      {std::string("D:\\") + kSjisBackslash + "\\", std::string("D:\\") + kSjisBackslash,
       ShiftJisLeadByte},
  };
  for (const Case& c : cases) {
    std::string s = c.in;
    DropTrailingBackslash(&s[0], c.lead);
    EXPECT_EQ(std::string(s.c_str()), c.out) << c.in;
  }
}

TEST(MbText, BoundedCopyNeverSplitsACharacter) {
  char buf[6];
  // "ab" + two double-byte characters = 6 bytes; room for 5: the second
  // character does not fit whole and is left out.
  const std::string src = std::string("ab") + kSjisBackslash + kSjisBar;
  EXPECT_EQ(CopyBounded(buf, sizeof buf, src.c_str(), ShiftJisLeadByte), 4u);
  EXPECT_EQ(std::string(buf), std::string("ab") + kSjisBackslash);
  EXPECT_EQ(CopyBounded(buf, sizeof buf, src.c_str(), NoLeadBytes), 5u);

  char small[4] = "xyz";
  EXPECT_EQ(AppendBounded(small, sizeof small, "12", NoLeadBytes), 3u);
  EXPECT_STREQ(small, "xyz");
  char one[1] = {'q'};
  EXPECT_EQ(CopyBounded(one, sizeof one, "abc", NoLeadBytes), 0u);
  EXPECT_EQ(one[0], '\0');
  EXPECT_EQ(CopyBounded(buf, 0, "abc", NoLeadBytes), 0u);
}

TEST(MbText, TextSearchStartsOnCharacterBoundaries) {
  // "\x83K" is one character; "Kes" inside it must not match.
  const std::string s = std::string("\x83") + "Kestrune Kestrune";
  const char* hit = FindText(s.c_str(), "Kestrune", ShiftJisLeadByte);
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit - s.c_str(), 10);
  EXPECT_EQ(FindText(s.c_str(), "Kestrune", NoLeadBytes) - s.c_str(), 1);
  EXPECT_EQ(FindText("abc", "zz", NoLeadBytes), nullptr);
}
