// The restart export. Nothing is restarted: the DLL's ExitWindowsEx and
// InitiateSystemShutdownA are intercepted; the agent window, the token,
// the registry and the INI file are real.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "restart_tests.h"

using namespace kivtest;

namespace {

class Restart : public ::testing::Test {
 protected:
  void SetUp() override { ClearProductKeys({"Brantelo", "Acme"}); }
  void TearDown() override {
    ClearProductKeys({"Brantelo", "Acme"});
    SetShutdownPrivilege(false);
  }
};

void ExpectLogLines(const std::string& ini, const char* second, const std::string& before) {
  EXPECT_EQ(IniGet(ini, "LastLine"), "2");
  EXPECT_TRUE(Stamped(IniGet(ini, "001"), "EWX_REBOOT", before));
  EXPECT_TRUE(Stamped(IniGet(ini, "002"), second, before));
  EXPECT_EQ(IniGet(ini, "003"), "<absent>");
}

TEST_F(Restart, ClosesTheAgentAndRestartsThroughExitWindowsEx) {
  // Wine reports Windows 7 here: an NT system above 4.0.
  ProductFolder folder;
  IniSet(folder.ini(), "EnableDebugIniMessages", "1");
  SetShutdownPrivilege(false);
  TempDir scratch;
  const std::string closed = scratch / "agent-closed";
  Child agent("restart_agent.exe", closed);
  ASSERT_TRUE(WaitFor([] { return FindWindowA(nullptr, "Kestrune Agent") != nullptr; }));

  KivDll dll;
  RestartInterceptor restart(dll.module(), closed);
  ASSERT_TRUE(restart.installed());
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
  CursorRecorder cursors(dll.module());
  CallBlock block;  // never read: a parameter pointer that would fault if it were
  block.window = reinterpret_cast<HWND>(0x1234);
  block.param = reinterpret_cast<const char*>(0x10);
  const std::string before = StampNow();

  EXPECT_EQ(dll.Std("TqSetupRebootComputer", &block), 0u);

  const RestartCalls& c = restart.calls();
  EXPECT_EQ(c.exitWindowsEx, 1);
  EXPECT_EQ(c.initiateShutdown, 0);
  EXPECT_EQ(c.flags, static_cast<UINT>(EWX_REBOOT));
  EXPECT_EQ(c.reserved, 0u);
  EXPECT_TRUE(c.agentClosed) << "the close was sent and handled before the restart";
  EXPECT_TRUE(c.exitMarkerWritten) << "the marker is written before the restart";
  EXPECT_TRUE(c.waitCursor) << "the busy cursor covers the restart call";
  EXPECT_TRUE(cursors.ShownAndRestored());
  EXPECT_TRUE(ShutdownPrivilegeEnabled());
  EXPECT_FALSE(restart.Queried(kWorkaround)) << "the preference is read on NT 4.0 SP6 only";
  ExpectLogLines(folder.ini(), "ExitWindowsEx(EWX_REBOOT)", before);
  EXPECT_EQ(agent.Wait(5000), 0u) << "the agent ended after its window closed";
}

TEST_F(Restart, GoesAheadWithoutAnAgentOrABlockAndFollowsTheKeyNames) {
  KivDll dll;
  RestartInterceptor restart(dll.module(), "", "Software\\Acme\\Widget\\Reserved");
  ASSERT_TRUE(restart.installed());
  dll.Cdecl("KIVSetup_SetRegistryInfo", "Acme", "Widget");
  ASSERT_EQ(FindWindowA(nullptr, "Kestrune Agent"), nullptr);

  EXPECT_EQ(dll.StdOrdinal(20, nullptr), 0u);

  EXPECT_EQ(restart.calls().exitWindowsEx, 1);
  EXPECT_EQ(restart.calls().initiateShutdown, 0);
  EXPECT_TRUE(restart.calls().exitMarkerWritten);
  DWORD type = 0, value = 0;
  EXPECT_FALSE(GetDword(HKEY_CURRENT_USER, kReserved, "ExitWindows", &value, &type));
  // No install location registered: logging is off, so the default folder's
  // INI file is never created.
  EXPECT_FALSE(FileExists("C:\\Program Files\\Brantelo\\Kestrune\\QRVROAM.INI"));
}

TEST_F(Restart, BusyCursorNestsAndEndsAtZero) {
  KivDll probe("kivprobe.dll");
  RestartInterceptor restart(probe.module());
  ASSERT_TRUE(restart.installed());
  auto count = probe.Fn<int (*)()>("probe_WaitCursorCount");

  EXPECT_EQ(probe.Std("TqSetupRebootComputer", nullptr), 0u);
  EXPECT_EQ(count(), 0);

  probe.Fn<void (*)()>("probe_BeginWaitCursor")();
  EXPECT_EQ(probe.Std("TqSetupRebootComputer", nullptr), 0u);
  EXPECT_EQ(count(), 1) << "an outer bracket stays open";
  EXPECT_EQ(GetCursor(), CursorRecorder::WaitCursor());
  probe.Fn<void (*)()>("probe_EndWaitCursor")();
  EXPECT_EQ(count(), 0);
  EXPECT_EQ(restart.calls().exitWindowsEx, 2);
}

TEST_F(Restart, EnableTokenPrivilege) {
  KivDll probe("kivprobe.dll");
  auto enable = probe.Fn<int (*)(const char*)>("probe_EnableTokenPrivilege");
  SetShutdownPrivilege(false);
  EXPECT_EQ(enable("SeNoSuchPrivilege"), 0);
  EXPECT_FALSE(ShutdownPrivilegeEnabled());
  EXPECT_EQ(enable(SE_SHUTDOWN_NAME), 1);
  EXPECT_TRUE(ShutdownPrivilegeEnabled());
  EXPECT_EQ(enable(SE_SHUTDOWN_NAME), 1) << "already enabled";
  EXPECT_TRUE(ShutdownPrivilegeEnabled());
}

// ---------------------------------------------------------------------------
// Each Windows version in a child copy of this program: Wine reads the
// version it reports when a process starts.

struct SystemCase {
  const char* name;
  const char* wineVersion;  // HKCU\Software\Wine "Version", or null
  const char* ntCsd;        // else: NT 4.0 from the registry with this service pack
  int machinePref, userPref;  // -1: absent
  bool userPrefText;          // the user's value stored as REG_SZ "1"
  const char* expectVersion;  // "platform major minor|service pack" the child must see
  bool workaround;            // InitiateSystemShutdownA, else ExitWindowsEx
  bool privilege;             // shutdown privilege enabled
  int prefRead;  // the preference value was queried (1) or not (0); -1: no such value exists
                 // anywhere, so its key is never opened and no query shows
};

const SystemCase kSystems[] = {
    {"Windows 98", "win98", nullptr, 1, 1, false, "1 4 10", false, false, false},
    {"Windows 2000", "win2k", nullptr, -1, 1, false, "2 5 0|Service Pack 4", false, true, false},
    {"NT 4.0 SP6a", "nt40", nullptr, -1, -1, false, "2 4 0|Service Pack 6a", true, true, -1},
    {"NT 4.0 SP6, machine 1, user 0", nullptr, "Service Pack 6", 1, 0, false,
     "2 4 0|Service Pack 6", true, true, true},
    {"NT 4.0 SP6a, user 1 only", "nt40", nullptr, -1, 1, false, "2 4 0|Service Pack 6a", false,
     true, true},
    {"NT 4.0 SP6a, machine 1 only", "nt40", nullptr, 1, -1, false, "2 4 0|Service Pack 6a",
     false, true, true},
    {"NT 4.0 SP6a, user REG_SZ 1", "nt40", nullptr, -1, -1, true, "2 4 0|Service Pack 6a", true,
     true, true},
    {"NT 4.0 SP5", nullptr, "Service Pack 5", 0, -1, false, "2 4 0|Service Pack 5", false, true,
     false},
    {"NT 4.0 without service pack", nullptr, "", -1, 0, false, "2 4 0|", false, true, false},
};

// Saves registry values and puts them back (or removes them) at scope end.
class SavedValues {
 public:
  SavedValues(HKEY root, const char* path, std::initializer_list<const char*> names)
      : root_(root), path_(path) {
    for (const char* n : names) {
      Saved s;
      s.name = n;
      HKEY key = nullptr;
      if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD size = 0;
        if (RegQueryValueExA(key, n, nullptr, &s.type, nullptr, &size) == ERROR_SUCCESS) {
          s.data.resize(size);
          s.present = RegQueryValueExA(key, n, nullptr, &s.type,
                                       reinterpret_cast<BYTE*>(&s.data[0]), &size) == ERROR_SUCCESS;
        }
        RegCloseKey(key);
      }
      saved_.push_back(s);
    }
  }
  ~SavedValues() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
      return;
    for (const Saved& s : saved_) {
      if (s.present)
        RegSetValueExA(key, s.name.c_str(), 0, s.type,
                       reinterpret_cast<const BYTE*>(s.data.data()),
                       static_cast<DWORD>(s.data.size()));
      else
        RegDeleteValueA(key, s.name.c_str());
    }
    RegCloseKey(key);
  }
  void Delete(const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root_, path_.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
  }

 private:
  struct Saved {
    std::string name;
    bool present = false;
    DWORD type = 0;
    std::string data;
  };
  HKEY root_;
  std::string path_;
  std::vector<Saved> saved_;
};

std::string OwnExeName() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  const char* slash = std::strrchr(path, '\\');
  return slash ? slash + 1 : path;
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

TEST_F(Restart, TakesThePathOfEachSystem) {
  const char* ntKey = "Software\\Microsoft\\Windows NT\\CurrentVersion";
  for (const SystemCase& sc : kSystems) {
    SCOPED_TRACE(sc.name);
    ClearProductKeys();
    SavedValues wine(HKEY_CURRENT_USER, "Software\\Wine", {"Version"});
    SavedValues nt(HKEY_LOCAL_MACHINE, ntKey,
                   {"CurrentVersion", "CurrentBuildNumber", "CSDVersion",
                    "CurrentMajorVersionNumber", "CurrentMinorVersionNumber"});
    if (sc.wineVersion) {
      SetString(HKEY_CURRENT_USER, "Software\\Wine", "Version", sc.wineVersion);
    } else {
      wine.Delete("Version");
      SetString(HKEY_LOCAL_MACHINE, ntKey, "CurrentVersion", "4.0");
      SetString(HKEY_LOCAL_MACHINE, ntKey, "CurrentBuildNumber", "1381");
      SetString(HKEY_LOCAL_MACHINE, ntKey, "CSDVersion", sc.ntCsd);
      nt.Delete("CurrentMajorVersionNumber");
      nt.Delete("CurrentMinorVersionNumber");
    }
    if (sc.machinePref >= 0) SetDword(HKEY_LOCAL_MACHINE, kPreferences, kWorkaround, sc.machinePref);
    if (sc.userPref >= 0) SetDword(HKEY_CURRENT_USER, kPreferences, kWorkaround, sc.userPref);
    if (sc.userPrefText) SetString(HKEY_CURRENT_USER, kPreferences, kWorkaround, "1");

    TempDir scratch;
    const std::string result = scratch / "result";
    SetEnvironmentVariableA("KIV_RESTART_CHILD", result.c_str());
    SetEnvironmentVariableA("KIV_EXPECT_VERSION", sc.expectVersion);
    SetEnvironmentVariableA("KIV_EXPECT_PATH", sc.workaround ? "shutdown" : "exitwindows");
    SetEnvironmentVariableA("KIV_EXPECT_PRIVILEGE", sc.privilege ? "1" : "0");
    SetEnvironmentVariableA("KIV_EXPECT_PREF_READ",
                            sc.prefRead < 0 ? "" : sc.prefRead ? "1" : "0");
    {
      Child child(OwnExeName(), "--gtest_filter=RestartChild.OnThisSystem --gtest_color=no");
      EXPECT_EQ(child.Wait(60000), 0u);
    }
    SetEnvironmentVariableA("KIV_RESTART_CHILD", nullptr);
    EXPECT_EQ(ReadFileBytes(result), "pass") << "see the child's output above";
  }
  ClearProductKeys();
}

// Runs only as the child of TakesThePathOfEachSystem.
TEST(RestartChild, OnThisSystem) {
  const std::string result = Env("KIV_RESTART_CHILD");
  if (result.empty()) GTEST_SKIP() << "runs as a child of Restart.TakesThePathOfEachSystem";

  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
  ASSERT_TRUE(GetVersionExA(&v));
  char seen[300];
  std::snprintf(seen, sizeof seen, "%lu %lu %lu|%s", v.dwPlatformId, v.dwMajorVersion,
                v.dwMinorVersion, v.szCSDVersion);
  const std::string expected = Env("KIV_EXPECT_VERSION");
  ASSERT_EQ(std::string(seen).substr(0, expected.size()), expected)
      << "Wine does not report the system this case needs";

  ProductFolder folder;
  IniSet(folder.ini(), "EnableDebugIniMessages", "1");
  SetShutdownPrivilege(false);
  KivDll dll;
  RestartInterceptor restart(dll.module());
  ASSERT_TRUE(restart.installed());
  const std::string before = StampNow();

  EXPECT_EQ(dll.Std("TqSetupRebootComputer", nullptr), 0u);

  const RestartCalls& c = restart.calls();
  EXPECT_EQ(c.total(), 1);
  EXPECT_TRUE(c.exitMarkerWritten);
  if (Env("KIV_EXPECT_PATH") == "shutdown") {
    EXPECT_EQ(c.initiateShutdown, 1);
    EXPECT_TRUE(c.machineNull);
    EXPECT_TRUE(c.messageNull);
    EXPECT_EQ(c.timeout, 0u);
    EXPECT_EQ(c.force, FALSE);
    EXPECT_EQ(c.reboot, TRUE);
    ExpectLogLines(folder.ini(), "NT4ServicePack6OrGreater InitiateSystemShutdown REBOOT", before);
  } else {
    EXPECT_EQ(c.exitWindowsEx, 1);
    EXPECT_EQ(c.flags, static_cast<UINT>(EWX_REBOOT));
    EXPECT_EQ(c.reserved, 0u);
    ExpectLogLines(folder.ini(), "ExitWindowsEx(EWX_REBOOT)", before);
  }
  EXPECT_EQ(ShutdownPrivilegeEnabled(), Env("KIV_EXPECT_PRIVILEGE") == "1");
  if (!Env("KIV_EXPECT_PREF_READ").empty()) {
    EXPECT_EQ(restart.Queried(kWorkaround), Env("KIV_EXPECT_PREF_READ") == "1");
  }
  SetShutdownPrivilege(false);
  if (!HasFailure()) WriteFileBytes(result, "pass");
}

}  // namespace
