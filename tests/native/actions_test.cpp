#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "portable/actionlog.h"
#include "portable/postinstall.h"

using namespace kiv;
using kiv::mb::NoLeadBytes;
using kiv::mb::ShiftJisLeadByte;

// Shift JIS characters whose second byte is a vertical bar / a backslash.
static const std::string kSjisBar = "\x83\x7C";
static const std::string kSjisBackslash = "\x95\x5C";

TEST(ActionParam, SplitsAtFirstWholeBar) {
  struct Case {
    std::string param;
    mb::LeadByteFn lead;
    bool split;
    std::string ini, message;
  } cases[] = {
      {"C:\\a.ini|Files copied", NoLeadBytes, true, "C:\\a.ini", "Files copied"},
      {"C:\\a.ini|one|two", NoLeadBytes, true, "C:\\a.ini", "one|two"},
      {"C:\\a.ini|", NoLeadBytes, true, "C:\\a.ini", ""},
      {"|message", NoLeadBytes, true, "", "message"},
      {"no bar at all", NoLeadBytes, false, "", ""},
      {"", NoLeadBytes, false, "", ""},
      // The bar inside a double-byte character is no separator...
      {"C:\\" + kSjisBar + ".ini|msg", ShiftJisLeadByte, true, "C:\\" + kSjisBar + ".ini", "msg"},
      {"C:\\" + kSjisBar + ".ini", ShiftJisLeadByte, false, "", ""},
      // ...but in a single-byte code page the same byte is one.
      {"C:\\" + kSjisBar + ".ini", NoLeadBytes, true, "C:\\\x83", ".ini"},
      {"a.ini|" + kSjisBar + "|x", ShiftJisLeadByte, true, "a.ini", kSjisBar + "|x"},
  };
  for (const Case& c : cases) {
    char buf[kActionParamCapacity];
    ActionParam p{nullptr, nullptr};
    ASSERT_EQ(SplitActionParam(buf, c.param.c_str(), c.lead, &p), c.split) << c.param;
    if (!c.split) continue;
    EXPECT_EQ(p.iniPath, c.ini) << c.param;
    EXPECT_EQ(p.message, c.message) << c.param;
  }
}

TEST(ActionParam, LongStringIsCutInsideTheWorkingCopy) {
  // Exactly 519 characters fit; beyond that the copy ends at 519 bytes, and
  // a double-byte character that would straddle the end is left out whole.
  const std::string head = "x.ini|";
  const std::string fits = head + std::string(519 - head.size(), 'm');
  const std::string longer = fits + "tail";
  const std::string straddling = head + std::string(518 - head.size(), 'm') + kSjisBar + "z";
  struct Case {
    std::string param;
    mb::LeadByteFn lead;
    std::size_t messageLen;
  } cases[] = {
      {fits, NoLeadBytes, 513},
      {longer, NoLeadBytes, 513},
      {straddling, ShiftJisLeadByte, 512},
  };
  for (const Case& c : cases) {
    char buf[kActionParamCapacity];
    ActionParam p{};
    ASSERT_TRUE(SplitActionParam(buf, c.param.c_str(), c.lead, &p));
    EXPECT_EQ(std::string(p.message).size(), c.messageLen);
    EXPECT_EQ(std::string(p.message), c.param.substr(head.size(), c.messageLen));
  }
  // A bar that lies beyond the working copy is not found.
  char buf[kActionParamCapacity];
  ActionParam p{};
  EXPECT_FALSE(SplitActionParam(buf, (std::string(600, 'p') + "|m").c_str(), NoLeadBytes, &p));
}

TEST(ActionLogLine, TimestampBlankColonBlankMessageCrLf) {
  EXPECT_EQ(ActionLogLine("Tue Mar 04 02:05 PM 2003", "Files copied"),
            "Tue Mar 04 02:05 PM 2003 : Files copied\r\n");
  EXPECT_EQ(ActionLogLine("Tue Mar 04 02:05 PM 2003", ""), "Tue Mar 04 02:05 PM 2003 : \r\n");
  EXPECT_EQ(ActionLogLine("", "a\nb"), " : a\nb\r\n");
}

TEST(PostInstallPaths, OneSeparatorBetweenFolderAndName) {
  struct Case {
    std::string folder;
    mb::LeadByteFn lead;
    std::string path;
  } cases[] = {
      {"C:\\Setup", NoLeadBytes, "C:\\Setup\\QRVSETUP.INI"},
      {"C:\\Setup\\", NoLeadBytes, "C:\\Setup\\QRVSETUP.INI"},
      {"C:\\", NoLeadBytes, "C:\\QRVSETUP.INI"},
      {"C:\\Setup\\\\", NoLeadBytes, "C:\\Setup\\\\QRVSETUP.INI"},
      {"", NoLeadBytes, "\\QRVSETUP.INI"},
      // A folder ending in a double-byte character with a backslash second
      // byte keeps that character whole and gets its own separator.
      {"C:\\" + kSjisBackslash, ShiftJisLeadByte, "C:\\" + kSjisBackslash + "\\QRVSETUP.INI"},
      {"C:\\" + kSjisBackslash, NoLeadBytes, "C:\\\x95\\QRVSETUP.INI"},
  };
  for (const Case& c : cases) {
    char slot[kPathSlot];
    ASSERT_TRUE(FileInFolder(slot, sizeof slot, c.folder.c_str(), "QRVSETUP.INI", c.lead)) << c.folder;
    EXPECT_EQ(slot, c.path) << c.folder;
  }
}

TEST(PostInstallPaths, PathThatWouldNotFitIsRefusedNotCut) {
  // 246 characters and "\QRVSETUP.INI" make 259: the longest that fits.
  const std::string longest(246, 'd');
  char slot[kPathSlot];
  ASSERT_TRUE(FileInFolder(slot, sizeof slot, longest.c_str(), "QRVSETUP.INI", NoLeadBytes));
  EXPECT_EQ(std::string(slot).size(), 259u);
  ASSERT_TRUE(FileInFolder(slot, sizeof slot, (longest + "\\").c_str(), "QRVSETUP.INI", NoLeadBytes));
  for (const std::string& folder : {longest + "d", std::string(600, 'd')}) {
    std::memset(slot, 'x', sizeof slot);
    EXPECT_FALSE(FileInFolder(slot, sizeof slot, folder.c_str(), "QRVSETUP.INI", NoLeadBytes));
    EXPECT_STREQ(slot, "");
  }
}

TEST(PostInstallPaths, ImportParametersKeepThePathOneArgument) {
  EXPECT_EQ(SilentImportParameters("C:\\DIR_~UIW\\MY_F~HO0.REG", NoLeadBytes),
            "/s /i C:\\DIR_~UIW\\MY_F~HO0.REG");
  EXPECT_EQ(SilentImportParameters("C:\\My Setup\\QRVCFG.REG", NoLeadBytes),
            "/s /i \"C:\\My Setup\\QRVCFG.REG\"");
}
