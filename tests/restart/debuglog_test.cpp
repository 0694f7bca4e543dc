// The rolling debug log in QRVROAM.INI, reached through the probe DLL.
#include <optional>
#include <regex>

#include "restart_tests.h"

using namespace kivtest;

namespace {

using LogFn = int (*)(const char*, ...);

class DebugLog : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearProductKeys();
    folder_ = std::make_unique<ProductFolder>();
  }
  void TearDown() override {
    folder_.reset();
    ClearProductKeys();
  }
  const std::string& ini() const { return folder_->ini(); }
  static LogFn Log(const KivDll& probe) { return probe.Fn<LogFn>("probe_LogDebugMessage"); }

  std::unique_ptr<ProductFolder> folder_;
};

TEST_F(DebugLog, OffLeavesTheFileAlone) {
  const std::optional<std::string> files[] = {
      std::nullopt,                              // no QRVROAM.INI at all
      "[DebugIniMsgs]\r\nMaxLine=5\r\n",         // no switch
      "[DebugIniMsgs]\r\nEnableDebugIniMessages=0\r\nLastLine=7\r\n",
  };
  for (const auto& file : files) {
    DeleteFileA(ini().c_str());
    if (file) WriteFileBytes(ini(), *file);
    KivDll probe("kivprobe.dll");
    EXPECT_EQ(Log(probe)("EWX_REBOOT"), 0);
    EXPECT_EQ(Log(probe)("again %d", 2), 0);
    if (file)
      EXPECT_EQ(ReadFileBytes(ini()), *file);
    else
      EXPECT_FALSE(FileExists(ini()));
  }
}

TEST_F(DebugLog, FirstMessageGoesToSlotOneWithItsTimestamp) {
  IniSet(ini(), "EnableDebugIniMessages", "5");
  KivDll probe("kivprobe.dll");
  const std::string before = StampNow();
  EXPECT_EQ(Log(probe)("EWX_REBOOT"), 5) << "the result is the switch value";
  EXPECT_EQ(IniGet(ini(), "LastLine"), "1");
  const std::string value = IniGet(ini(), "001");
  EXPECT_TRUE(Stamped(value, "EWX_REBOOT", before));
  // English names in the default locale, 12-hour clock with AM/PM.
  EXPECT_TRUE(std::regex_match(
      value, std::regex("\\[(Sun|Mon|Tue|Wed|Thu|Fri|Sat) "
                        "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-3][0-9] "
                        "(0[1-9]|1[0-2]):[0-5][0-9] (AM|PM) [0-9]{4}\\] EWX_REBOOT")))
      << value;
  EXPECT_EQ(IniGet(ini(), "MaxLine"), "<absent>") << "the ring size is never written";
}

TEST_F(DebugLog, SwitchAndRingSizeAreReadOncePerLoad) {
  IniSet(ini(), "EnableDebugIniMessages", "0");
  {
    KivDll probe("kivprobe.dll");
    EXPECT_EQ(Log(probe)("one"), 0);
    IniSet(ini(), "EnableDebugIniMessages", "1");
    EXPECT_EQ(Log(probe)("two"), 0) << "the switch was read at the first call";
    EXPECT_EQ(IniGet(ini(), "LastLine"), "<absent>");
  }
  IniSet(ini(), "MaxLine", "2");
  IniSet(ini(), "LastLine", "2");
  {
    KivDll probe("kivprobe.dll");
    EXPECT_EQ(Log(probe)("three"), 1);
    EXPECT_EQ(IniGet(ini(), "LastLine"), "1");
    IniSet(ini(), "MaxLine", "100");
    IniSet(ini(), "LastLine", "2");  // "LastLine" is read on every call
    EXPECT_EQ(Log(probe)("four"), 1);
    EXPECT_EQ(IniGet(ini(), "LastLine"), "1") << "still the ring size read at the first call";
    EXPECT_EQ(IniGet(ini(), "001").substr(27), "four");
  }
  {
    KivDll probe("kivprobe.dll");
    IniSet(ini(), "LastLine", "2");
    EXPECT_EQ(Log(probe)("five"), 1);
    EXPECT_EQ(IniGet(ini(), "LastLine"), "3");
    EXPECT_EQ(IniGet(ini(), "003").substr(27), "five");
  }
}

TEST_F(DebugLog, RingSlots) {
  struct Case {
    const char* maxLine;   // null: absent
    const char* lastLine;  // null: absent
    const char* key;
    const char* newLast;
  } cases[] = {
      {nullptr, nullptr, "001", "1"},
      {nullptr, "99", "100", "100"},      // the default ring has 100 slots
      {nullptr, "100", "001", "1"},
      {"0", nullptr, "001", "1"},         // a ring of no slots always writes slot 1
      {"0", "1", "001", "1"},
      {"50", "120", "001", "1"},          // ring lowered below the last line
      {"1500", "999", "1000", "1000"},
      {"2147483648", "2147483648", "001", "1"},
      {"4294967295", "2147483647", "2147483648", "2147483648"},
      {"-1", "100", "101", "101"},        // -1 reads as 4294967295: a huge ring
      {nullptr, "-1", "001", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("MaxLine ") + (c.maxLine ? c.maxLine : "absent") + ", LastLine " +
                 (c.lastLine ? c.lastLine : "absent"));
    DeleteFileA(ini().c_str());
    IniSet(ini(), "EnableDebugIniMessages", "1");
    if (c.maxLine) IniSet(ini(), "MaxLine", c.maxLine);
    if (c.lastLine) IniSet(ini(), "LastLine", c.lastLine);
    IniSet(ini(), "001", "oldest");
    IniSet(ini(), "120", "above the ring");
    KivDll probe("kivprobe.dll");
    EXPECT_EQ(Log(probe)("message"), 1);
    EXPECT_EQ(IniGet(ini(), "LastLine"), c.newLast);
    EXPECT_EQ(IniGet(ini(), c.key).substr(27), "message");
    if (std::string(c.key) != "001") {
      EXPECT_EQ(IniGet(ini(), "001"), "oldest");
    }
    EXPECT_EQ(IniGet(ini(), "120"), "above the ring") << "slots are overwritten, never deleted";
  }
}

std::vector<std::string> writtenKeys;
using WriteFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, LPCSTR, LPCSTR);
WriteFn realWrite = nullptr;
BOOL WINAPI SpyWrite(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
  writtenKeys.push_back(key ? key : "<null>");
  return realWrite(section, key, value, file);
}

TEST_F(DebugLog, LastLineIsWrittenBeforeTheMessage) {
  IniSet(ini(), "EnableDebugIniMessages", "1");
  IniSet(ini(), "LastLine", "41");
  KivDll probe("kivprobe.dll");
  writtenKeys.clear();
  ImportHook spy(probe.module(), "kernel32.dll", "WritePrivateProfileStringA",
                 reinterpret_cast<void*>(&SpyWrite));
  ASSERT_TRUE(spy.installed());
  realWrite = spy.original_as<WriteFn>();
  Log(probe)("EWX_REBOOT");
  EXPECT_EQ(writtenKeys, (std::vector<std::string>{"LastLine", "042"}));
}

TEST_F(DebugLog, FormatsArgumentsAndCutsLongMessages) {
  IniSet(ini(), "EnableDebugIniMessages", "1");
  IniSet(ini(), "MaxLine", "10");
  KivDll probe("kivprobe.dll");
  const std::string before = StampNow();
  Log(probe)("%s #%d of %u (%lx) %c", "step", 3, 7u, 0xabcUL, 'z');
  EXPECT_TRUE(Stamped(IniGet(ini(), "001"), "step #3 of 7 (abc) z", before));

  // The formatted message has room for 1023 characters; longer ones are cut.
  const std::size_t lengths[] = {1023, 1024, 5000};
  int slot = 2;
  for (std::size_t length : lengths) {
    const std::string text(length, 'm');
    Log(probe)("%s", text.c_str());
    char key[8];
    std::snprintf(key, sizeof key, "%03d", slot++);
    EXPECT_TRUE(Stamped(IniGet(ini(), key), text.substr(0, 1023), before)) << length;
  }
  EXPECT_EQ(IniGet(ini(), "LastLine"), "4");
}

}  // namespace
