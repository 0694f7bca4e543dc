// The client check: the version gate, the semaphore "KIV", and asking or
// closing a running client (the fixture kivfx_client.exe).
#include <map>
#include <regex>

#include "apps.h"

using namespace kivtest;

namespace {

constexpr const char kProjectManager[] = "Solvanta - Project Manager";

// Starts the client and waits until it holds the semaphore and shows what
// it was told to show.
std::unique_ptr<Child> StartClient(const std::string& args, const char* pm = kProjectManager) {
  auto child = std::make_unique<Child>("kivfx_client.exe", args);
  const bool sync = args.find("--windows=pm") == std::string::npos &&
                    args.find("--windows=none") == std::string::npos;
  const bool manager = args.find("--windows=sync") == std::string::npos &&
                       args.find("--windows=none") == std::string::npos;
  EXPECT_TRUE(WaitFor([&] {
    return SemaphoreHeld() && (!sync || FindWindowA(nullptr, "Synchronization")) &&
           (!manager || FindWindowA(nullptr, pm));
  })) << "client fixture did not come up: " << args;
  return child;
}

bool Matches(const std::string& log, const std::string& pattern) {
  return std::regex_match(log, std::regex(pattern));
}

}  // namespace

class ClientCheck : public AppsTest {};

TEST_F(ClientCheck, NoClientTakesAndReturnsTheUnitAndLooksNoFurther) {
  // Our own handle keeps the object alive, so its count can be read after.
  HANDLE kiv = CreateSemaphoreA(nullptr, 1, 1, "KIV");
  ASSERT_NE(kiv, nullptr);
  KivDll dll;
  CallLog calls(dll.module());
  CursorRecorder cursors(dll.module());
  BoxWatcher boxes;
  CallBlock block;
  EXPECT_EQ(dll.StdOrdinal(10, &block), 0u);
  EXPECT_EQ(calls.Joined(), "Semaphore KIV 1 1;Wait 1=0;Release 1;")
      << "no window lookup, no registry read";
  EXPECT_TRUE(cursors.ShownAndRestored());
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_EQ(WaitForSingleObject(kiv, 0), static_cast<DWORD>(WAIT_OBJECT_0)) << "count back to 1";
  ReleaseSemaphore(kiv, 1, nullptr);
  CloseHandle(kiv);
  EXPECT_EQ(dll.Proc("TqSetupFindRunningApps"), dll.Proc(10));
}

TEST_F(ClientCheck, NameHeldByAnotherKindOfObjectCountsAsNoClient) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, "KIV");
  ASSERT_NE(event, nullptr);
  KivDll dll;
  CallLog calls(dll.module());
  CursorRecorder cursors(dll.module());
  CallBlock block;
  EXPECT_EQ(dll.Std("TqSetupFindRunningApps", &block), 0u);
  EXPECT_EQ(calls.Joined(), "Semaphore KIV 1 1=fail;");
  EXPECT_TRUE(cursors.ShownAndRestored());
  CloseHandle(event);
}

// With a client that shows no window, the log tells the two modes apart:
// asking looks both titles up once; closing looks for Synchronization,
// pauses 10 ms and looks for the Project Manager.
TEST_F(ClientCheck, PreferenceChoosesBetweenAskingAndClosing) {
  const std::string ask =
      "Semaphore KIV 1 1;Wait 1=258;RegOpen.*;Find Solvanta - Project Manager=0;"
      "Find Synchronization=0;";
  const std::string close =
      "Semaphore KIV 1 1;Wait 1=258;RegOpen.*;Find Synchronization=0;Sleep 10;"
      "Find Solvanta - Project Manager=0;";
  struct Case {
    const char* what;
    void (*arrange)();
    const std::string& expected;
  } cases[] = {
      {"preference missing", [] {}, ask},
      {"DWORD 0", [] { SetDword(HKEY_LOCAL_MACHINE, kPreferences, "AllowRequestUserCloseApp", 0); },
       close},
      {"DWORD 5", [] { SetDword(HKEY_LOCAL_MACHINE, kPreferences, "AllowRequestUserCloseApp", 5); },
       ask},
      {"string 0",
       [] { SetString(HKEY_LOCAL_MACHINE, kPreferences, "AllowRequestUserCloseApp", "0"); }, ask},
      {"DWORD 0 for the current user only",
       [] { SetDword(HKEY_CURRENT_USER, kPreferences, "AllowRequestUserCloseApp", 0); }, ask},
  };
  auto client = StartClient("--windows=none --life=15000");
  for (const Case& c : cases) {
    ClearProductKeys({"Brantelo"});
    c.arrange();
    KivDll dll;
    CallLog calls(dll.module());
    CursorRecorder cursors(dll.module());
    BoxWatcher boxes;
    CallBlock block;
    EXPECT_EQ(dll.Std("TqSetupFindRunningApps", &block), 0u) << c.what;
    EXPECT_TRUE(Matches(calls.Joined(), c.expected)) << c.what << ": " << calls.Joined();
    EXPECT_TRUE(calls.Starting("Release").empty()) << c.what << ": no unit was taken";
    EXPECT_TRUE(calls.Starting("Post").empty()) << c.what;
    EXPECT_EQ(boxes.Count(), 0u) << c.what;
    EXPECT_TRUE(cursors.ShownAndRestored()) << c.what;
  }
  EXPECT_TRUE(SemaphoreHeld()) << "the client keeps its unit";
}

TEST_F(ClientCheck, AskModeRepeatsMessage411UntilBothWindowsAreGone) {
  auto client = StartClient("--windows=both");
  KivDll dll;
  CursorRecorder cursors(dll.module());
  OwnerWindow owner;
  BoxWatcher boxes;
  int shown = 0;
  boxes.OnBox([&](const Box&) {
    // The user closes the client while the third box is up.
    if (++shown == 3) {
      PostMessageA(FindWindowA(nullptr, "Synchronization"), 0x101D, 1, 0);
      PostMessageA(FindWindowA(nullptr, kProjectManager), 0x101D, 1, 0);
      WaitFor([] {
        return !FindWindowA(nullptr, "Synchronization") && !FindWindowA(nullptr, kProjectManager);
      });
    }
    return IDOK;
  });
  CallBlock block;
  block.window = owner.get();
  EXPECT_EQ(dll.Std("TqSetupFindRunningApps", &block), 0u);
  const auto seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 3u);
  for (const Box& b : seen) {
    EXPECT_EQ(b.caption, Branded(408));
    EXPECT_EQ(b.text, Branded(411));
    EXPECT_EQ(b.owner, owner.get());
    EXPECT_EQ(b.buttons.size(), 1u);
  }
  EXPECT_TRUE(cursors.ShownAndRestored());
  EXPECT_EQ(client->Wait(5000), 0u);
}

TEST_F(ClientCheck, AskModeWithOneWindowLeftStillAsks) {
  auto client = StartClient("--windows=sync");
  KivDll dll;
  BoxWatcher boxes;
  boxes.OnBox([&](const Box&) {
    PostMessageA(FindWindowA(nullptr, "Synchronization"), 0x101D, 1, 0);
    WaitFor([] { return !FindWindowA(nullptr, "Synchronization"); });
    return IDOK;
  });
  CallBlock block;
  EXPECT_EQ(dll.Std("TqSetupFindRunningApps", &block), 0u);
  EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(ClientCheck, CloseModePostsToEachWindowInTurnAndWaitsForIt) {
  const std::string syncPart =
      "Find Synchronization=1;Post Synchronization 101d 1 0;(Find Synchronization=1;Sleep 10;)*"
      "Find Synchronization=0;";
  const std::string noSync = "Find Synchronization=0;";
  const std::string pmPart =
      "Find Solvanta - Project Manager=1;Post Solvanta - Project Manager 101d 1 0;"
      "(Find Solvanta - Project Manager=1;Sleep 10;)*Find Solvanta - Project Manager=0;";
  const std::string noPm = "Find Solvanta - Project Manager=0;";
  struct Case {
    const char* windows;
    std::string expected;
  } cases[] = {
      {"both", syncPart + "Sleep 10;" + pmPart},
      {"pm", noSync + "Sleep 10;" + pmPart},
      {"sync", syncPart + "Sleep 10;" + noPm},
      {"none", noSync + "Sleep 10;" + noPm},
  };
  for (const Case& c : cases) {
    SetDword(HKEY_LOCAL_MACHINE, kPreferences, "AllowRequestUserCloseApp", 0);
    auto client = StartClient(std::string("--windows=") + c.windows);
    KivDll dll;
    CallLog calls(dll.module());
    CursorRecorder cursors(dll.module());
    BoxWatcher boxes;
    CallBlock block;
    EXPECT_EQ(dll.Std("TqSetupFindRunningApps", &block), 0u) << c.windows;
    EXPECT_TRUE(Matches(calls.Joined(), "Semaphore KIV 1 1;Wait 1=258;RegOpen[^;]*;(RegOpen[^;]*;)*" +
                                            c.expected))
        << c.windows << ": " << calls.Joined();
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_TRUE(cursors.ShownAndRestored());
    if (std::string(c.windows) != "none") {
      EXPECT_EQ(client->Wait(5000), 0u) << c.windows;
    }
  }
}

TEST_F(ClientCheck, CloseModeWaitsAsLongAsTheWindowStays) {
  SetDword(HKEY_LOCAL_MACHINE, kPreferences, "AllowRequestUserCloseApp", 0);
  struct Case {
    const char* args;
    DWORD atLeastMs;
    DWORD exitCode;
  } cases[] = {
      {"--windows=sync --late=400", 350, 0},                 // closes late
      {"--windows=pm --ignore=60000 --life=1500", 1000, 8},  // ignores it; ends by itself
  };
  for (const Case& c : cases) {
    auto client = StartClient(c.args);
    KivDll dll;
    CallBlock block;
    const DWORD start = GetTickCount();
    EXPECT_EQ(dll.Std("TqSetupFindRunningApps", &block), 0u);
    EXPECT_GE(GetTickCount() - start, c.atLeastMs) << c.args;
    EXPECT_EQ(client->Wait(5000), c.exitCode) << c.args;
  }
}

// The preference follows the key names set later; the Project Manager
// title keeps the display name resolved at load.
TEST_F(ClientCheck, RegistryInfoMovesThePreferenceButNotTheTitle) {
  SetDword(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProductId", 1);
  SetDword(HKEY_LOCAL_MACHINE, "Software\\Other\\Thing\\Current Version", "ProductId", 2);
  SetDword(HKEY_LOCAL_MACHINE, "Software\\Other\\Thing\\Preferences", "AllowRequestUserCloseApp", 0);
  const char* title = "Kestrune Office Edition - Project Manager";
  auto client = StartClient("--windows=pm \"--name=Kestrune Office Edition\"", title);
  KivDll dll;
  dll.Cdecl("KIVSetup_SetRegistryInfo", "Other", "Thing");
  CallLog calls(dll.module());
  BoxWatcher boxes;
  CallBlock block;
  EXPECT_EQ(dll.Std("TqSetupFindRunningApps", &block), 0u);
  EXPECT_EQ(boxes.Count(), 0u) << "closed without asking";
  EXPECT_EQ(calls.Starting("Post"),
            std::vector<std::string>{"Post Kestrune Office Edition - Project Manager 101d 1 0"});
  EXPECT_EQ(client->Wait(5000), 0u);
}

// ---- The version gate, with the version query intercepted ----

namespace {

struct FakeVersion {
  bool ok;
  DWORD major;
  DWORD platform;
  const char* servicePack;
} fake;

BOOL WINAPI FakeGetVersionExA(OSVERSIONINFOA* info) {
  if (!fake.ok) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (info->dwOSVersionInfoSize != 148) return FALSE;
  info->dwMajorVersion = fake.major;
  info->dwMinorVersion = 0;
  info->dwBuildNumber = 1381;
  info->dwPlatformId = fake.platform;
  lstrcpynA(info->szCSDVersion, fake.servicePack, sizeof info->szCSDVersion);
  return TRUE;
}

// Ids of the boxes, recognised by their text.
std::vector<int> BoxIds(const std::vector<Box>& boxes, const std::string& t409,
                        const std::string& t453) {
  std::vector<int> ids;
  for (const Box& b : boxes) ids.push_back(b.text == t409 ? 409 : b.text == t453 ? 453 : -1);
  return ids;
}

}  // namespace

TEST_F(ClientCheck, VersionGateOfBothExports) {
  struct Case {
    FakeVersion version;
    DWORD client;
    std::vector<int> clientBoxes;
    DWORD server;
    std::vector<int> serverBoxes;
  } cases[] = {
      {{false, 0, 0, ""}, 1, {409}, 1, {409}},
      {{true, 3, 2, ""}, 1, {409}, 1, {409}},  // NT 3.51: refused before the platform test
      {{true, 4, 2, ""}, 0, {453}, 0, {453}},
      {{true, 4, 2, "Service Pack 1"}, 0, {453}, 0, {453}},
      {{true, 4, 2, "Service Pack 2"}, 0, {453}, 0, {453}},
      {{true, 4, 2, "Service Pack 3"}, 0, {}, 0, {}},
      {{true, 4, 2, "sERVICE pACK 3"}, 0, {}, 0, {}},
      {{true, 4, 2, "Service Pack 6a"}, 0, {}, 0, {}},
      {{true, 4, 2, "Service Pack 10"}, 0, {453}, 0, {453}},  // text order, not numbers
      {{true, 5, 2, ""}, 0, {}, 0, {}},                        // no service-pack test from 5 on
      {{true, 10, 2, ""}, 0, {}, 0, {}},
      {{true, 4, 1, ""}, 0, {}, 1, {409}},  // 95/98/Me
      {{true, 4, 0, ""}, 1, {409}, 1, {409}},
      {{true, 5, 3, ""}, 1, {409}, 1, {409}},
  };
  const std::string t409 = Branded(409), t453 = Branded(453);
  KivDll dll;
  ImportHook hook(dll.module(), "kernel32.dll", "GetVersionExA",
                  reinterpret_cast<void*>(&FakeGetVersionExA));
  OwnerWindow owner;
  CallBlock block;
  block.window = owner.get();
  for (const Case& c : cases) {
    fake = c.version;
    const std::string what = std::to_string(c.version.major) + "/" +
                             std::to_string(c.version.platform) + " '" + c.version.servicePack +
                             "'" + (c.version.ok ? "" : " query fails");
    {
      CursorRecorder cursors(dll.module());
      BoxWatcher boxes;
      EXPECT_EQ(dll.Std("TqSetupFindRunningApps", &block), c.client) << what;
      EXPECT_EQ(BoxIds(boxes.Boxes(), t409, t453), c.clientBoxes) << what;
      for (const Box& b : boxes.Boxes()) EXPECT_EQ(b.owner, owner.get()) << what;
      EXPECT_TRUE(cursors.ShownAndRestored()) << what;
    }
    {
      CursorRecorder cursors(dll.module());
      BoxWatcher boxes;
      EXPECT_EQ(dll.StdOrdinal(15, &block), c.server) << what;
      EXPECT_EQ(BoxIds(boxes.Boxes(), t409, t453), c.serverBoxes) << what;
      EXPECT_TRUE(cursors.ShownAndRestored()) << what;
    }
  }
}

// ---- The version gate under Wine's own version setting ----
// The setting is read when a process starts, so each version runs the gate
// in a child copy of this program, which writes what it saw to a file.

TEST(GateChild, ReportResults) {
  char out[MAX_PATH] = "";
  if (!GetEnvironmentVariableA("KIV_GATE_OUT", out, sizeof out)) GTEST_SKIP() << "child only";
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  GetVersionExA(&info);
  const std::string t409 = Branded(409), t453 = Branded(453);
  KivDll dll;
  CallBlock block;
  std::string report = std::to_string(info.dwMajorVersion) + "." +
                       std::to_string(info.dwMinorVersion) + "/" +
                       std::to_string(info.dwPlatformId) + " " + info.szCSDVersion + ":";
  for (int ordinal : {10, 15}) {
    BoxWatcher boxes;
    report += " " + std::to_string(dll.StdOrdinal(ordinal, &block));
    for (int id : BoxIds(boxes.Boxes(), t409, t453)) report += "+" + std::to_string(id);
  }
  WriteFileBytes(out, report);
}

namespace {

constexpr const char kNtVersionKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion";

void DeleteValue(HKEY root, const char* path, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, name);
    RegCloseKey(key);
  }
}

// The values of the system's version key that an NT 4.0 arrangement
// changes, put back at scope end.
class SavedNtVersion {
 public:
  SavedNtVersion() {
    for (const char* n : kStrings) have_[n] = GetString(HKEY_LOCAL_MACHINE, kNtVersionKey, n, &strings_[n]);
    for (const char* n : kDwords) have_[n] = GetDword(HKEY_LOCAL_MACHINE, kNtVersionKey, n, &dwords_[n]);
  }
  ~SavedNtVersion() {
    for (const char* n : kStrings)
      if (have_[n]) SetString(HKEY_LOCAL_MACHINE, kNtVersionKey, n, strings_[n]);
      else DeleteValue(HKEY_LOCAL_MACHINE, kNtVersionKey, n);
    for (const char* n : kDwords)
      if (have_[n]) SetDword(HKEY_LOCAL_MACHINE, kNtVersionKey, n, dwords_[n]);
      else DeleteValue(HKEY_LOCAL_MACHINE, kNtVersionKey, n);
  }
  // NT 4.0 build 1381 with this service-pack text ("" for none).
  static void ArrangeNt4(const char* servicePack) {
    SetString(HKEY_LOCAL_MACHINE, kNtVersionKey, "CurrentVersion", "4.0");
    SetString(HKEY_LOCAL_MACHINE, kNtVersionKey, "CurrentBuildNumber", "1381");
    SetString(HKEY_LOCAL_MACHINE, kNtVersionKey, "CSDVersion", servicePack);
    for (const char* n : kDwords) DeleteValue(HKEY_LOCAL_MACHINE, kNtVersionKey, n);
  }

 private:
  static constexpr const char* kStrings[] = {"CurrentVersion", "CurrentBuildNumber", "CSDVersion"};
  static constexpr const char* kDwords[] = {"CurrentMajorVersionNumber", "CurrentMinorVersionNumber"};
  std::map<std::string, bool> have_;
  std::map<std::string, std::string> strings_;
  std::map<std::string, DWORD> dwords_;
};

}  // namespace

TEST_F(ClientCheck, VersionGateUnderWinesVersionSetting) {
  struct Case {
    const char* setting;  // Wine's version setting, or null for NT 4.0 with servicePack
    const char* servicePack;
    const char* expected;
  } cases[] = {
      {nullptr, "Service Pack 2", "4.0/2 Service Pack 2: 0+453 0+453"},
      {nullptr, "", "4.0/2 : 0+453 0+453"},
      {nullptr, "Service Pack 3", "4.0/2 Service Pack 3: 0 0"},
      {"nt40", nullptr, "4.0/2 Service Pack 6a: 0 0"},
      {"win95", nullptr, "4.0/1 : 0 1+409"},
      {"win98", nullptr, "4.10/1  A : 0 1+409"},
      {"win2k", nullptr, "5.0/2 Service Pack 4: 0 0"},
      {"winxp", nullptr, "5.1/2 Service Pack 3: 0 0"},
  };
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  TempDir dir;
  const std::string out = dir / "gate.txt";
  SetEnvironmentVariableA("KIV_GATE_OUT", out.c_str());
  SavedNtVersion saved;
  for (const Case& c : cases) {
    if (c.setting) {
      SetString(HKEY_CURRENT_USER, "Software\\Wine", "Version", c.setting);
    } else {
      DeleteValue(HKEY_CURRENT_USER, "Software\\Wine", "Version");
      SavedNtVersion::ArrangeNt4(c.servicePack);
    }
    DeleteFileA(out.c_str());
    const DWORD rc =
        RunAndWait(std::string("\"") + self + "\" --gtest_filter=GateChild.* --gtest_color=no");
    EXPECT_EQ(rc, 0u) << (c.setting ? c.setting : c.servicePack);
    EXPECT_EQ(ReadFileBytes(out), c.expected) << (c.setting ? c.setting : c.servicePack);
  }
  SetEnvironmentVariableA("KIV_GATE_OUT", nullptr);
  DeleteValue(HKEY_CURRENT_USER, "Software\\Wine", "Version");
}
