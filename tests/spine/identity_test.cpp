#include <cstring>

#include "spine.h"

using namespace kivtest;

namespace {

std::string DisplayNameAtLoad() {
  KivDll probe("kivprobe.dll");
  auto name = probe.Fn<const char* (*)()>("probe_DisplayName");
  auto appName = probe.Fn<void (*)(char*, int)>("probe_AppName");
  char app[300] = "";
  appName(app, sizeof app);
  const std::string result = name();
  EXPECT_EQ(result, app) << "the application name is the display name";
  return result;
}

std::string Branded(const KivDll& probe, int id) {
  char text[1024] = "";
  probe.Fn<int (*)(int, char*, int)>("probe_LoadBrandedString")(id, text, sizeof text);
  return text;
}

}  // namespace

class DisplayName : public SpineTest {};

TEST_F(DisplayName, ChosenByProductIdAtLoad) {
  struct Case {
    DWORD id;
    const char* expected;
  } cases[] = {
      {0, "Solvanta"},
      {1, "Kestrune Office Edition"},
      {2, "Kestrune Internet Edition"},
      {3, "Kestrune Enterprise Edition"},
      {4, "Named Product"},
      {0xFFFFFFFF, "Named Product"},
  };
  for (const Case& c : cases) {
    SetDword(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProductId", c.id);
    SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProductName", "Named Product");
    EXPECT_EQ(DisplayNameAtLoad(), c.expected) << "ProductId " << c.id;
  }
}

TEST_F(DisplayName, FallsBackToProductNameThenBrand) {
  EXPECT_EQ(DisplayNameAtLoad(), "Solvanta") << "nothing stored";

  SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProductName", "Named Product");
  EXPECT_EQ(DisplayNameAtLoad(), "Named Product") << "no ProductId";

  SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProductId", "2");
  EXPECT_EQ(DisplayNameAtLoad(), "Named Product") << "ProductId stored as text";

  const DWORD small = 2;
  SetBinary(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProductId", &small, sizeof small);
  EXPECT_EQ(DisplayNameAtLoad(), "Named Product") << "ProductId as REG_BINARY";

  const std::string longName(300, 'n');
  SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProductName", longName);
  EXPECT_EQ(DisplayNameAtLoad(), std::string(259, 'n')) << "cut to 259 characters";
}

TEST_F(DisplayName, EmptyProductNameIsReadAgainUnderTheCurrentKeyNames) {
  SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProductName", "");
  SetString(HKEY_LOCAL_MACHINE, "Software\\Other\\Thing\\Current Version", "ProductName",
            "Other Thing");
  KivDll probe("kivprobe.dll");
  auto name = probe.Fn<const char* (*)()>("probe_DisplayName");
  EXPECT_STREQ(name(), "");
  probe.Cdecl("KIVSetup_SetRegistryInfo", "Other", "Thing");
  EXPECT_STREQ(name(), "Other Thing");
  // Once found, the name stays.
  SetString(HKEY_LOCAL_MACHINE, "Software\\Other\\Thing\\Current Version", "ProductName", "Later");
  EXPECT_STREQ(name(), "Other Thing");
}

TEST_F(DisplayName, DoesNotFollowLaterKeyNames) {
  SetDword(HKEY_LOCAL_MACHINE, "Software\\Other\\Thing\\Current Version", "ProductId", 1);
  KivDll probe("kivprobe.dll");
  probe.Cdecl("KIVSetup_SetRegistryInfo", "Other", "Thing");
  EXPECT_STREQ(probe.Fn<const char* (*)()>("probe_DisplayName")(), "Solvanta");
  EXPECT_EQ(probe.Fn<DWORD (*)(const char*, const char*, DWORD, DWORD)>("probe_ReadProductDword")(
                "Current Version", "ProductId", 77, kHKLM),
            1u)
      << "registry operations do follow the new names";
}

class Messages : public SpineTest {};

TEST_F(Messages, StringTableIsBranded) {
  KivDll probe("kivprobe.dll");
  EXPECT_EQ(Branded(probe, 408), "Solvanta Installation");
  EXPECT_EQ(Branded(probe, 409), "Solvanta cannot be installed on this operating system.");
  EXPECT_EQ(Branded(probe, 410),
            "Setup may be run only by a member of the Administrators security group.\n"
            "Please login using an administrator account.");
  EXPECT_EQ(Branded(probe, 411),
            "Setup has determined that an instance of Solvanta application is currently "
            "running...\nPlease close the application and restart installation.");
  EXPECT_EQ(Branded(probe, 433), "Please select a folder on your LOCAL computer...");
  EXPECT_EQ(Branded(probe, 434), "You cannot select the root directory of a drive...");
  EXPECT_EQ(Branded(probe, 453),
            "It is recommended that you upgrade your NT workstation to Sevice Pack 3 or higher "
            "for Solvanta to run properly.\nYou can continue the installation now, and upgrade "
            "to the Service Pack 3 or higher later.");
  // Missing resources: empty, with the tag in the message range.
  EXPECT_EQ(Branded(probe, 2001), " [MSG-2001]");
  EXPECT_EQ(Branded(probe, 3999), " [MSG-3999]");
  EXPECT_EQ(Branded(probe, 2000), "");
  EXPECT_EQ(Branded(probe, 4000), "");
  EXPECT_EQ(Branded(probe, 70000), "");
  EXPECT_EQ(Branded(probe, -5), "");
}

TEST_F(Messages, InstallerMessageIsOwnedByTheInstallerWindow) {
  KivDll probe("kivprobe.dll");
  HWND owner = CreateWindowA("STATIC", "installer", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                             nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  {
    BoxWatcher boxes;
    probe.Fn<void (*)(HWND, int)>("probe_ShowInstallerMessage")(owner, 411);
    probe.Fn<void (*)(HWND, int)>("probe_ShowInstallerMessage")(nullptr, 2222);
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].caption, "Solvanta Installation");
    EXPECT_EQ(seen[0].text, Branded(probe, 411));
    EXPECT_EQ(seen[0].owner, owner);
    EXPECT_EQ(seen[0].buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(seen[1].text, " [MSG-2222]");
    EXPECT_EQ(seen[1].owner, nullptr);
  }
  DestroyWindow(owner);
}

TEST_F(Messages, SystemErrorShowsTheSystemTextAndTheCode) {
  KivDll probe("kivprobe.dll");
  auto show = probe.Fn<int (*)(DWORD)>("probe_ShowSystemError");
  char* sys = nullptr;
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, 1460,
                 LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&sys), 0, nullptr);
  ASSERT_NE(sys, nullptr);
  std::string expected(sys);
  LocalFree(sys);
  ASSERT_GE(expected.size(), 2u);
  expected.resize(expected.size() - 2);
  expected += "(1460)";

  BoxWatcher boxes;
  EXPECT_EQ(show(1460), 1);
  EXPECT_EQ(show(0xE0000001), 1) << "a code without text";
  const auto seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].caption, "Brantelo");
  EXPECT_EQ(seen[0].text, expected);
  EXPECT_EQ(seen[0].owner, nullptr);
  EXPECT_EQ(seen[0].buttons, std::vector<std::string>{"OK"});
  EXPECT_EQ(seen[1].text, "(-536870911)");
}

TEST_F(Messages, SystemTextWithInsertMarksIsShownAsItStands) {
  // Some system texts name their subject through insert marks such as %1.
  // No arguments are passed, so the marks must stay in the text.
  DWORD code = 0;
  std::string expected;
  for (DWORD c = 1; c < 16000 && code == 0; ++c) {
    char* sys = nullptr;
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, c, LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&sys), 0, nullptr);
    if (!sys) continue;
    const std::string text(sys);
    LocalFree(sys);
    if (text.find("%1") != std::string::npos && text.size() >= 2) {
      code = c;
      expected = text.substr(0, text.size() - 2) + "(" + std::to_string(c) + ")";
    }
  }
  if (code == 0) GTEST_SKIP() << "no system text with an insert mark";

  KivDll probe("kivprobe.dll");
  BoxWatcher boxes;
  EXPECT_EQ(probe.Fn<int (*)(DWORD)>("probe_ShowSystemError")(code), 1);
  const auto seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, expected) << "code " << code;
}

namespace {
const char* shortText = nullptr;
DWORD WINAPI FakeFormatMessage(DWORD, LPCVOID, DWORD, DWORD, LPSTR buffer, DWORD, va_list*) {
  if (!shortText) return 0;
  char* copy = static_cast<char*>(LocalAlloc(LMEM_FIXED, std::strlen(shortText) + 1));
  std::strcpy(copy, shortText);
  *reinterpret_cast<char**>(buffer) = copy;
  return static_cast<DWORD>(std::strlen(copy));
}
}  // namespace

TEST_F(Messages, SystemTextShorterThanALineBreak) {
  KivDll probe("kivprobe.dll");
  ImportHook hook(probe.module(), "kernel32.dll", "FormatMessageA",
                  reinterpret_cast<void*>(&FakeFormatMessage));
  BoxWatcher boxes;
  for (const char* text : {"", "\n", "x"}) {
    shortText = text;
    probe.Fn<int (*)(DWORD)>("probe_ShowSystemError")(5);
  }
  shortText = nullptr;
  const auto seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].text, "(5)");
  EXPECT_EQ(seen[1].text, "(5)");
  EXPECT_EQ(seen[2].text, "x(5)");
}
