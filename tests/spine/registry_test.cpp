#include <cstring>

#include "spine.h"

using namespace kivtest;

namespace {

struct Registry {
  KivDll probe{"kivprobe.dll"};
  DWORD (*readDword)(const char*, const char*, DWORD, DWORD) =
      probe.Fn<decltype(readDword)>("probe_ReadProductDword");
  DWORD (*readPreference)(const char*, DWORD) =
      probe.Fn<decltype(readPreference)>("probe_ReadPreferenceDword");
  const char* (*readString)(const char*, const char*, const char*, DWORD) =
      probe.Fn<decltype(readString)>("probe_ReadProductString");
  int (*writeDword)(const char*, const char*, DWORD, DWORD) =
      probe.Fn<decltype(writeDword)>("probe_WriteProductDword");
  int (*writeString)(const char*, const char*, const char*, DWORD) =
      probe.Fn<decltype(writeString)>("probe_WriteProductString");
  int (*readKeyString)(DWORD, const char*, const char*, char*, DWORD) =
      probe.Fn<decltype(readKeyString)>("probe_ReadKeyString");
  int (*openSubkey)(const char*, DWORD, int) = probe.Fn<decltype(openSubkey)>("probe_OpenProductSubkey");

  std::string InstallLocation() {
    char buf[260];
    std::memset(buf, 'x', sizeof buf);
    probe.Fn<void (*)(char*, int)>("probe_InstallLocation")(buf, sizeof buf);
    return std::string(buf, strnlen(buf, sizeof buf));
  }
  std::string IniPath() {
    char buf[600] = "";
    probe.Fn<void (*)(char*, int)>("probe_ProductIniPath")(buf, sizeof buf);
    return buf;
  }
  void SetNames(const char* company, const char* product) {
    probe.Cdecl("KIVSetup_SetRegistryInfo", company, product);
  }
};

}  // namespace

class RegistryLayer : public SpineTest {};

TEST_F(RegistryLayer, DwordsOnlyCountWhenStoredAsDword) {
  Registry r;
  EXPECT_EQ(r.readDword("Current Version", "Missing", 9, kHKLM), 9u) << "no key at all";
  SetDword(HKEY_LOCAL_MACHINE, kCurrentVersion, "Number", 42);
  const DWORD four = 7;
  SetBinary(HKEY_LOCAL_MACHINE, kCurrentVersion, "Binary", &four, 4);
  SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, "Text", "42");
  const unsigned char eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
  SetBinary(HKEY_LOCAL_MACHINE, kCurrentVersion, "Wide", eight, 8, REG_DWORD);
  EXPECT_EQ(r.readDword("Current Version", "Number", 9, kHKLM), 42u);
  EXPECT_EQ(r.readDword("Current Version", "Binary", 9, kHKLM), 9u);
  EXPECT_EQ(r.readDword("Current Version", "Text", 9, kHKLM), 9u);
  EXPECT_EQ(r.readDword("Current Version", "Wide", 9, kHKLM), 9u);
  EXPECT_EQ(r.readDword("Current Version", "Missing", 9, kHKLM), 9u);
  EXPECT_EQ(r.readDword("Current Version", "Number", 9, kHKCU), 9u) << "other root";
}

TEST_F(RegistryLayer, PreferenceUserOverMachineOverDefault) {
  Registry r;
  const char* v = "DisableSp6ShutdownWorkaround";
  EXPECT_EQ(r.readPreference(v, 0), 0u);
  SetDword(HKEY_LOCAL_MACHINE, kPreferences, v, 1);
  EXPECT_EQ(r.readPreference(v, 0), 1u) << "machine only";
  SetDword(HKEY_CURRENT_USER, kPreferences, v, 0);
  EXPECT_EQ(r.readPreference(v, 0), 0u) << "user wins";
  SetString(HKEY_CURRENT_USER, kPreferences, v, "1");
  EXPECT_EQ(r.readPreference(v, 0), 1u) << "a text under the user does not count";
  DeleteTree(HKEY_LOCAL_MACHINE, kPreferences);
  SetDword(HKEY_CURRENT_USER, kPreferences, v, 5);
  EXPECT_EQ(r.readPreference(v, 0), 5u) << "user only";
}

TEST_F(RegistryLayer, StringsShortAndLong) {
  Registry r;
  const char* fallback = "fallback";
  EXPECT_EQ(r.readString("Current Version", "S", fallback, kHKLM), fallback);
  for (std::size_t chars : {0u, 1u, 258u, 259u, 260u, 1000u}) {
    const std::string text(chars, 's');
    SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, "S", text);
    const char* got = r.readString("Current Version", "S", fallback, kHKLM);
    EXPECT_EQ(std::string(got), text) << chars << " characters";
  }
  // The short buffer is reused: the next call replaces the text.
  SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, "A", "first");
  SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, "B", "second");
  const char* a = r.readString("Current Version", "A", fallback, kHKLM);
  const char* b = r.readString("Current Version", "B", fallback, kHKLM);
  EXPECT_EQ(a, b);
  EXPECT_STREQ(b, "second");
  EXPECT_EQ(r.readString("Current Version", "Missing", fallback, kHKLM), fallback);
}

TEST_F(RegistryLayer, WritesCreateTheLevelsAndStoreTheTerminator) {
  Registry r;
  ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Brantelo"));
  EXPECT_EQ(r.writeString("Preferences", "LastSetupTime", "12-34", kHKLM), 1);
  std::string stored;
  DWORD type = 0;
  ASSERT_TRUE(GetString(HKEY_LOCAL_MACHINE, kPreferences, "LastSetupTime", &stored, &type));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(stored, std::string("12-34", 6));

  EXPECT_EQ(r.writeDword("Reserved", "ExitWindows", 1, kHKCU), 1);
  DWORD value = 0;
  ASSERT_TRUE(GetDword(HKEY_CURRENT_USER, "Software\\Brantelo\\Solvanta\\Reserved", "ExitWindows",
                       &value, &type));
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(r.readDword("Reserved", "ExitWindows", 0, kHKCU), 1u);
}

TEST_F(RegistryLayer, KeyNamesApplyToEveryLaterOperation) {
  Registry r;
  r.SetNames("Acme", "Widget");
  EXPECT_EQ(r.writeDword("Preferences", "X", 3, kHKLM), 1);
  DWORD v = 0;
  EXPECT_TRUE(GetDword(HKEY_LOCAL_MACHINE, "Software\\Acme\\Widget\\Preferences", "X", &v));
  EXPECT_EQ(v, 3u);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Brantelo"));
  SetString(HKEY_LOCAL_MACHINE, "Software\\Acme\\Widget\\Current Version", "Install Location",
            "E:\\Widget\\");
  EXPECT_EQ(r.InstallLocation(), "E:\\Widget");
  EXPECT_EQ(r.IniPath(), "E:\\Widget\\QRVROAM.INI");
}

TEST_F(RegistryLayer, OverlongKeyNamesAreCutAndNeverOverrun) {
  Registry r;
  const std::string company(400, 'c'), product(400, 'p');
  r.SetNames(company.c_str(), product.c_str());
  EXPECT_EQ(std::string(r.probe.Fn<const char* (*)()>("probe_CompanyKeyName")()),
            std::string(259, 'c'));
  EXPECT_EQ(std::string(r.probe.Fn<const char* (*)()>("probe_ProductKeyName")()),
            std::string(259, 'p'));
  // Such names name no key: reads give defaults, writes fail, paths default.
  EXPECT_EQ(r.readDword("Preferences", "X", 8, kHKLM), 8u);
  EXPECT_EQ(r.writeDword("Preferences", "X", 1, kHKLM), 0);
  EXPECT_EQ(r.InstallLocation(), "C:\\Program Files\\Brantelo\\Kestrune");

  // Each name fits, but together they are too long for the key path of the
  // install folder: the default folder, and nothing written past a buffer.
  const std::string c120(120, 'a'), p120(120, 'b');
  r.SetNames(c120.c_str(), p120.c_str());
  EXPECT_EQ(r.InstallLocation(), "C:\\Program Files\\Brantelo\\Kestrune");
  EXPECT_EQ(r.IniPath(), "C:\\Program Files\\Brantelo\\Kestrune\\QRVROAM.INI");
}

TEST_F(RegistryLayer, InstallLocationVariants) {
  struct Case {
    const char* stored;  // null: value missing
    const char* folder;
  } cases[] = {
      {nullptr, "C:\\Program Files\\Brantelo\\Kestrune"},
      {"D:\\Apps\\", "D:\\Apps"},
      {"D:\\Apps\\\\", "D:\\Apps\\"},
      {"D:\\Apps", "D:\\Apps"},
      {"C:\\", "C:"},
      {"", ""},
  };
  for (const Case& c : cases) {
    ClearProductKeys();
    if (c.stored) SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, "Install Location", c.stored);
    Registry r;
    EXPECT_EQ(r.InstallLocation(), c.folder) << (c.stored ? c.stored : "(missing)");
    EXPECT_EQ(r.IniPath(), std::string(c.folder) + "\\QRVROAM.INI");
  }
  // 259 characters fill the buffer exactly; 260 do not fit.
  Registry r;
  const std::string fits = "D:\\" + std::string(256, 'f');
  SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, "Install Location", fits);
  EXPECT_EQ(r.InstallLocation(), fits);
  SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, "Install Location", fits + "g");
  EXPECT_EQ(r.InstallLocation(), "C:\\Program Files\\Brantelo\\Kestrune");
  // Stored without a terminator and filling the buffer: does not fit either.
  const std::string raw(260, 'r');
  SetBinary(HKEY_LOCAL_MACHINE, kCurrentVersion, "Install Location", raw.data(), 260, REG_BINARY);
  EXPECT_EQ(r.InstallLocation(), "C:\\Program Files\\Brantelo\\Kestrune");
}

TEST_F(RegistryLayer, ReadKeyStringOfAnyKey) {
  Registry r;
  const char* path = "Software\\Brantelo\\Any";
  SetString(HKEY_LOCAL_MACHINE, path, "V", "value");
  char buf[16];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(r.readKeyString(kHKLM, path, "V", buf, sizeof buf), 1);
  EXPECT_STREQ(buf, "value");
  EXPECT_EQ(r.readKeyString(kHKLM, path, "Missing", buf, sizeof buf), 0);
  EXPECT_EQ(r.readKeyString(kHKLM, "Software\\Brantelo\\None", "V", buf, sizeof buf), 0);
  SetString(HKEY_LOCAL_MACHINE, path, "Long", std::string(40, 'l'));
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(r.readKeyString(kHKLM, path, "Long", buf, sizeof buf), 0);
  EXPECT_LT(strnlen(buf, sizeof buf), sizeof buf) << "the buffer stays terminated";
}

TEST_F(RegistryLayer, ReadingNeverCreatesKeys) {
  Registry r;
  EXPECT_EQ(r.openSubkey("Preferences", kHKLM, 0), 0);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Brantelo"));
  EXPECT_EQ(r.openSubkey("Preferences", kHKLM, 1), 1);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kPreferences));
  EXPECT_EQ(r.openSubkey(nullptr, kHKCU, 0), 0);
  EXPECT_EQ(r.openSubkey(nullptr, kHKCU, 1), 1);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Brantelo\\Solvanta"));
}
