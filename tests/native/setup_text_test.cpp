#include "portable/setup_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

using namespace kiv::setuptext;
using kiv::mb::NoLeadBytes;
using kiv::mb::ShiftJisLeadByte;

TEST(DigitCode, EncodesTheDecimalTextDigitByDigit) {
  struct Case {
    std::int32_t n;
    const char* text;
  } cases[] = {
      {0, "A"},
      {1234, "BCDE"},
      {-56, "-FG"},
      {9, "J"},
      {INT_MAX, "CBEHEIDGEH"},
      {INT_MIN, "-CBEHEIDGEI"},
  };
  for (const Case& c : cases) {
    char out[kNumberText];
    std::memset(out, 'x', sizeof out);
    EncodeNumber(c.n, out);
    EXPECT_STREQ(out, c.text) << c.n;
  }
}

TEST(DigitCode, DecodesOnlyLettersAToJ) {
  struct Case {
    std::string text;
    std::int32_t n;
  } cases[] = {
      {"BCDE", 1234},
      {"AAB", 1},
      {"A", 0},
      {"", 0},
      {"CBEHEIDGEH", INT_MAX},
      {"-FG", 0},  // the minus sign does not decode
      {"bcde", 0},
      {"BCDK", 0},
      {"BC@", 0},  // the character just below 'A'
      {"B\xE9", 0},
      {"\x82\x60", 0},
      // Above the 32-bit range, also far beyond what a work buffer of 20
      // bytes would hold.
      {"CBEHEIDGEI", 0},
      {"JJJJJJJJJJJ", 0},
      {std::string(40, 'J'), 0},
      // Leading zeros of any length are ignored.
      {std::string(30, 'A') + "BCDE", 1234},
      {std::string(30, 'A') + "BCDE-", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeNumber(c.text.c_str()), c.n) << c.text;
}

TEST(DigitCode, ZeroAndPositiveNumbersComeBack) {
  for (std::int32_t n : {0, 1, 10, 99, 1000000, INT_MAX - 1, INT_MAX}) {
    char out[kNumberText];
    EncodeNumber(n, out);
    EXPECT_EQ(DecodeNumber(out), n);
  }
}

TEST(OldLibrary, PathIsBuiltUnderBinWithoutADoubledSeparator) {
  const std::string sjisBackslash = "\x95\x5C";  // one character, trail byte 0x5C
  struct Case {
    std::string folder;
    kiv::mb::LeadByteFn lead;
    std::string path;
  } cases[] = {
      {"C:\\Product", NoLeadBytes, "C:\\Product\\BIN\\MFC42.DLL"},
      {"C:\\Product\\", NoLeadBytes, "C:\\Product\\BIN\\MFC42.DLL"},
      {"C:\\Product\\\\", NoLeadBytes, "C:\\Product\\\\BIN\\MFC42.DLL"},  // one at most
      {"C:\\", NoLeadBytes, "C:\\BIN\\MFC42.DLL"},
      {"", NoLeadBytes, "\\BIN\\MFC42.DLL"},
      // The folder's last character is double-byte: its trail byte stays.
      {"C:\\" + sjisBackslash, ShiftJisLeadByte, "C:\\" + sjisBackslash + "\\BIN\\MFC42.DLL"},
      {"C:\\" + sjisBackslash + "\\", ShiftJisLeadByte,
       "C:\\" + sjisBackslash + "\\BIN\\MFC42.DLL"},
  };
  for (const Case& c : cases) {
    char out[kPathBuffer];
    EXPECT_TRUE(OldLibraryPath(c.folder.c_str(), out, c.lead)) << c.folder;
    EXPECT_EQ(std::string(out), c.path) << c.folder;
  }
}

TEST(OldLibrary, FoldersThatDoNotFitNameNoFile) {
  // 245 characters and the 14 of \BIN\MFC42.DLL fill 259 bytes exactly.
  const std::string longest = "C:\\" + std::string(242, 'a');
  char out[kPathBuffer];
  EXPECT_TRUE(OldLibraryPath(longest.c_str(), out, NoLeadBytes));
  EXPECT_EQ(std::strlen(out), 259u);
  EXPECT_TRUE(OldLibraryPath((longest + "\\").c_str(), out, NoLeadBytes));
  for (const std::string& folder : {longest + "a", std::string(259, 'a'), std::string(600, 'a')}) {
    std::memset(out, 'x', sizeof out);
    EXPECT_FALSE(OldLibraryPath(folder.c_str(), out, NoLeadBytes)) << folder.size();
    EXPECT_STREQ(out, "");
  }
}
