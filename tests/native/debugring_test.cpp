#include "portable/debugring.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

using namespace kiv;

namespace {

struct SlotCase {
  std::uint32_t last, max, next;
};

TEST(DebugRing, NextSlotWrapsPastTheRingSizeAsUnsigned) {
  const SlotCase cases[] = {
      {0, 100, 1},                     // first message
      {99, 100, 100},                  // last slot of the default ring
      {100, 100, 1},                   // wraps
      {0, 0, 1},    {1, 0, 1},         // a ring of no slots always writes slot 1
      {120, 50, 1},                    // ring lowered below the last line
      {999, 1500, 1000},
      {2147483647u, 4294967295u, 2147483648u},  // huge rings do not wrap
      {2147483648u, 2147483648u, 1},
      {100, 4294967295u, 101},         // "MaxLine=-1" is a huge ring, not a small one
      {4294967295u, 100, 1},           // "LastLine=-1" starts again at 1
      {4294967295u, 4294967295u, 1},   // never slot 0
  };
  for (const SlotCase& c : cases)
    EXPECT_EQ(ring::NextSlot(c.last, c.max), c.next) << c.last << " of " << c.max;
}

TEST(DebugRing, KeysArePaddedToThreeDigitsAndNumbersAreUnsigned) {
  EXPECT_EQ(ring::SlotKey(1), "001");
  EXPECT_EQ(ring::SlotKey(100), "100");
  EXPECT_EQ(ring::SlotKey(1000), "1000");
  EXPECT_EQ(ring::SlotKey(2147483648u), "2147483648");
  EXPECT_EQ(ring::SlotKey(4294967295u), "4294967295");
  EXPECT_EQ(ring::SlotNumberText(1), "1");
  EXPECT_EQ(ring::SlotNumberText(2147483648u), "2147483648");
}

std::size_t Format(char* out, std::size_t cap, mb::LeadByteFn lead, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const std::size_t n = ring::FormatBounded(out, cap, lead, fmt, args);
  va_end(args);
  return n;
}

TEST(DebugRing, FormatKeepsArguments) {
  char out[ring::kMessageBuffer];
  EXPECT_EQ(Format(out, sizeof out, mb::NoLeadBytes, "%s #%d of %u (%x)", "step", -3, 7u, 255u),
            std::string("step #-3 of 7 (ff)").size());
  EXPECT_STREQ(out, "step #-3 of 7 (ff)");
}

TEST(DebugRing, LongMessagesAreCutInsideTheBuffer) {
  // Heap buffers of the exact size, so that a write past the end is caught.
  for (std::size_t length : {1022u, 1023u, 1024u, 1025u, 5000u}) {
    const std::string text(length, 'x');
    std::vector<char> out(ring::kMessageBuffer);
    const std::size_t n = Format(out.data(), out.size(), mb::NoLeadBytes, "%s", text.c_str());
    const std::size_t kept = length < 1023 ? length : 1023;
    EXPECT_EQ(n, kept) << length;
    EXPECT_EQ(std::string(out.data()), text.substr(0, kept)) << length;
  }
}

TEST(DebugRing, CutNeverKeepsHalfADoubleByteCharacter) {
  // 1022 single bytes, then double-byte characters 0x82 0xA0: the byte-wise
  // cut at 1023 would keep a lone lead byte.
  std::string text(1022, 'a');
  for (int i = 0; i < 10; ++i) text += "\x82\xA0";
  std::vector<char> out(ring::kMessageBuffer);
  EXPECT_EQ(Format(out.data(), out.size(), mb::ShiftJisLeadByte, "%s", text.c_str()), 1022u);
  EXPECT_EQ(std::string(out.data()), std::string(1022, 'a'));

  // One byte earlier the last character fits whole and stays.
  text = std::string(1021, 'a') + "\x82\xA0\x82\xA0";
  EXPECT_EQ(Format(out.data(), out.size(), mb::ShiftJisLeadByte, "%s", text.c_str()), 1023u);
  EXPECT_EQ(std::string(out.data()), text.substr(0, 1023));

  // The same bytes in a single-byte code page are cut at 1023 as they are.
  text = std::string(1022, 'a') + "\x82\xA0";
  EXPECT_EQ(Format(out.data(), out.size(), mb::NoLeadBytes, "%s", text.c_str()), 1023u);
}

}  // namespace
