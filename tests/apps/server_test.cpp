// Server shutdown against the fixtures: the console and agent programs
// (kivfx_server.exe) and the two services (kivfx_service.exe, registered
// with Wine's service manager for the test).
#include "apps.h"

#include <winsvc.h>

using namespace kivtest;

namespace {

std::unique_ptr<Child> StartServerApp(const std::string& args, const char* title) {
  auto child = std::make_unique<Child>("kivfx_server.exe", args);
  EXPECT_TRUE(WaitFor([&] { return FindWindowA(nullptr, title) != nullptr; })) << args;
  return child;
}

struct WindowCount {
  DWORD pid;
  int n;
};

BOOL CALLBACK CountFixtureWindow(HWND w, LPARAM p) {
  auto* a = reinterpret_cast<WindowCount*>(p);
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  char cls[64] = "";
  GetClassNameA(w, cls, sizeof cls);
  if (owner == a->pid && lstrcmpA(cls, "KivFixtureServer") == 0) ++a->n;
  return TRUE;
}

// Top-level windows of a server fixture process.
int WindowsOf(DWORD pid) {
  WindowCount acc{pid, 0};
  EnumWindows(CountFixtureWindow, reinterpret_cast<LPARAM>(&acc));
  return acc.n;
}

// The two services, registered while the object lives.
class Services {
 public:
  Services() : scm_(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {
    EXPECT_NE(scm_, nullptr);
  }
  ~Services() {
    for (const wchar_t* name : {L"QRVAlert40", L"QRVSyncServer40"}) Remove(name);
    CloseServiceHandle(scm_);
  }

  // Registers (QRVAlert40 depending on QRVSyncServer40) with these switches.
  void Register(const wchar_t* name, const std::string& args) {
    std::string path = "\"" + BinPath("kivfx_service.exe") + "\" " + args;
    std::wstring wide(path.begin(), path.end());
    const bool alert = std::wstring(name) == L"QRVAlert40";
    SC_HANDLE s = CreateServiceW(scm_, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                 SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, wide.c_str(), nullptr,
                                 nullptr, alert ? L"QRVSyncServer40\0" : nullptr, nullptr, nullptr);
    EXPECT_NE(s, nullptr) << "CreateServiceW " << GetLastError();
    if (s) CloseServiceHandle(s);
  }

  // Starts it and waits for the state wanted (running, or start pending).
  void Start(const wchar_t* name, DWORD until = SERVICE_RUNNING) {
    SC_HANDLE s = OpenServiceW(scm_, name, SERVICE_ALL_ACCESS);
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(StartServiceW(s, 0, nullptr)) << GetLastError();
    EXPECT_TRUE(WaitFor([&] { return State(name) == until; }, 10000)) << State(name);
    CloseServiceHandle(s);
  }

  DWORD State(const wchar_t* name) const {
    SC_HANDLE s = OpenServiceW(scm_, name, SERVICE_QUERY_STATUS);
    if (!s) return 0;
    SERVICE_STATUS st{};
    QueryServiceStatus(s, &st);
    CloseServiceHandle(s);
    return st.dwCurrentState;
  }

 private:
  void Remove(const wchar_t* name) {
    SC_HANDLE s = OpenServiceW(scm_, name, SERVICE_ALL_ACCESS);
    if (!s) return;
    SERVICE_STATUS_PROCESS sp{};
    DWORD needed = 0;
    if (QueryServiceStatusEx(s, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&sp), sizeof sp,
                             &needed) &&
        sp.dwProcessId) {
      HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, sp.dwProcessId);
      if (p) {
        TerminateProcess(p, 9);
        WaitForSingleObject(p, 5000);
        CloseHandle(p);
      }
    }
    WaitFor([&] { return State(name) == SERVICE_STOPPED; }, 5000);
    DeleteService(s);
    CloseServiceHandle(s);
  }

  SC_HANDLE scm_;
};

}  // namespace

HANDLE WINAPI DenyOpenProcess(DWORD, BOOL, DWORD) {
  SetLastError(ERROR_ACCESS_DENIED);
  return nullptr;
}

class ServerApps : public AppsTest {};

TEST_F(ServerApps, NothingRunning) {
  KivDll dll;
  CallLog calls(dll.module());
  CursorRecorder cursors(dll.module());
  BoxWatcher boxes;
  EXPECT_EQ(dll.StdOrdinal(90, nullptr), 0u);
  const std::string detect =
      std::string("Find ") + kConsole + "=0;Find " + kAgent +
      "=0;OpenSCManager - ServicesActive 80000000;OpenService QRVSyncServer40 128;"
      "OpenSCManager - ServicesActive 80000000;OpenService QRVAlert40 128;";
  EXPECT_EQ(calls.Joined(), detect);
  calls.Clear();
  CallBlock block;
  EXPECT_EQ(dll.StdOrdinal(100, &block), 0u);
  EXPECT_EQ(calls.Joined(), detect + "Find " + kConsole + "=0;Find " + kAgent + "=0;");
  EXPECT_TRUE(cursors.NeverShown());
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_EQ(dll.Proc("TqSetupAreThereAnyRunningServerApps"), dll.Proc(90));
  EXPECT_EQ(dll.Proc("TqSetupStopRunningServerApps"), dll.Proc(100));
}

TEST_F(ServerApps, EachProgramIsDetectedAndClosedByItsWindows) {
  struct Case {
    const char* args;
    const char* title;
    DWORD exitCode;  // 7: closed by its windows; 0: terminated
    int posts;
    bool terminated;
  } cases[] = {
      {"--title=console --windows=3", kConsole, 7, 3, false},
      {"--title=agent --close-delay=10", kAgent, 7, 1, false},  // within the grace period
      {"--title=console --ignore-close", kConsole, 0, 1, true},
      {"--title=agent --windows=2 --ignore-close", kAgent, 0, 2, true},
  };
  for (const Case& c : cases) {
    auto app = StartServerApp(c.args, c.title);
    KivDll dll;
    EXPECT_EQ(dll.Std("TqSetupAreThereAnyRunningServerApps", nullptr), 1u) << c.args;
    CallLog calls(dll.module());
    CursorRecorder cursors(dll.module());
    const DWORD start = GetTickCount();
    EXPECT_EQ(dll.Std("TqSetupStopRunningServerApps", nullptr), 0u);
    const DWORD took = GetTickCount() - start;
    EXPECT_EQ(app->Wait(5000), c.exitCode) << c.args;
    EXPECT_EQ(calls.Starting("OpenProcess"), std::vector<std::string>{"OpenProcess 100001"});
    // Every top-level window of the process is posted WM_CLOSE, Wine's
    // input-method window among them.
    int posts = 0;
    for (const auto& p : calls.Starting("Post")) {
      EXPECT_NE(p.find(" 10 0 0"), std::string::npos) << p;
      posts += p.find(c.title) != std::string::npos;
    }
    EXPECT_EQ(posts, c.posts) << calls.Joined();
    EXPECT_EQ(calls.Starting("Terminate").size(), c.terminated ? 1u : 0u) << c.args;
    if (c.terminated) {
      EXPECT_GE(took, 90u) << "the grace period comes first";
    }
    EXPECT_TRUE(cursors.NeverShown());
  }
}

TEST_F(ServerApps, ProcessThatCannotBeOpenedGetsTheSentCloseOnly) {
  auto app = StartServerApp("--title=console --windows=2", kConsole);
  KivDll dll;
  CallLog calls(dll.module());
  ImportHook hook(dll.module(), "kernel32.dll", "OpenProcess", reinterpret_cast<void*>(&DenyOpenProcess));
  EXPECT_EQ(dll.Std("TqSetupStopRunningServerApps", nullptr), 0u);
  EXPECT_TRUE(calls.Starting("Post").empty());
  EXPECT_EQ(calls.Starting("Send"), std::vector<std::string>{std::string("Send ") + kConsole +
                                                             " 10 0 0"});
  // Only the titled window was closed; its sibling keeps the program alive.
  EXPECT_TRUE(WaitFor([&] { return WindowsOf(app->pid()) == 1; }));
}

TEST_F(ServerApps, ProcessCloseResults) {
  KivDll probe("kivprobe.dll");
  auto closeOfWindow = probe.Fn<int (*)(HWND, DWORD)>("probe_CloseProcessOfWindow");
  auto closeById = probe.Fn<int (*)(DWORD, DWORD)>("probe_CloseProcessById");
  EXPECT_EQ(closeOfWindow(nullptr, 100), 0);
  HWND gone = CreateWindowA("STATIC", "gone", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(gone);
  EXPECT_EQ(closeOfWindow(gone, 100), 0) << "a window that vanished since detection";
  EXPECT_EQ(closeById(0xFFFFFFF0, 100), 0) << "no such process";
  {
    auto app = StartServerApp("--title=console", kConsole);
    EXPECT_EQ(closeOfWindow(FindWindowA(nullptr, kConsole), 100), 1);
    EXPECT_EQ(app->Wait(2000), 7u);
  }
  {
    auto app = StartServerApp("--title=console --ignore-close", kConsole);
    EXPECT_EQ(closeById(app->pid(), 100), 2);
    EXPECT_EQ(app->Wait(2000), 0u) << "terminated with exit code 0";
  }
}

TEST_F(ServerApps, RunningServicesAreStoppedEndToEnd) {
  Services services;
  services.Register(L"QRVSyncServer40", "--stop-delay=200 --hint=50");
  services.Register(L"QRVAlert40", "--stop-delay=100 --hint=30");
  services.Start(L"QRVSyncServer40");
  services.Start(L"QRVAlert40");
  KivDll dll;
  EXPECT_EQ(dll.Std("TqSetupAreThereAnyRunningServerApps", nullptr), 1u);
  CallLog calls(dll.module());
  CursorRecorder cursors(dll.module());
  BoxWatcher boxes;
  EXPECT_EQ(dll.Std("TqSetupStopRunningServerApps", nullptr), 0u);
  EXPECT_EQ(services.State(L"QRVSyncServer40"), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(services.State(L"QRVAlert40"), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(calls.Starting("OpenService"),
            (std::vector<std::string>{"OpenService QRVSyncServer40 128", "OpenService QRVAlert40 128",
                                      "OpenService QRVSyncServer40 44", "OpenService QRVAlert40 44"}));
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_TRUE(cursors.ShownAndRestored());
  EXPECT_EQ(dll.Std("TqSetupAreThereAnyRunningServerApps", nullptr), 0u);
}

TEST_F(ServerApps, OnlyTheRunningServiceIsStopped) {
  Services services;
  services.Register(L"QRVSyncServer40", "");
  services.Register(L"QRVAlert40", "");
  services.Start(L"QRVAlert40");
  KivDll dll;
  EXPECT_EQ(dll.Std("TqSetupAreThereAnyRunningServerApps", nullptr), 1u);
  CallLog calls(dll.module());
  BoxWatcher boxes;
  EXPECT_EQ(dll.Std("TqSetupStopRunningServerApps", nullptr), 0u);
  EXPECT_EQ(services.State(L"QRVAlert40"), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(calls.Starting("OpenService QRVSyncServer40 44").size(), 0u);
  EXPECT_EQ(calls.Starting("OpenService QRVAlert40 44").size(), 1u);
  for (const Box& b : boxes.Boxes()) ADD_FAILURE() << "box: " << b.text;
}

TEST_F(ServerApps, StartingAndStoppingServicesCountAsAbsent) {
  Services services;
  services.Register(L"QRVSyncServer40", "--start-delay=5000");
  services.Register(L"QRVAlert40", "--life=100 --stop-delay=5000");
  services.Start(L"QRVSyncServer40", SERVICE_START_PENDING);
  services.Start(L"QRVAlert40", SERVICE_STOP_PENDING);
  KivDll dll;
  EXPECT_EQ(dll.Std("TqSetupAreThereAnyRunningServerApps", nullptr), 0u);
  CallLog calls(dll.module());
  BoxWatcher boxes;
  EXPECT_EQ(dll.Std("TqSetupStopRunningServerApps", nullptr), 0u);
  EXPECT_EQ(calls.Starting("OpenSCManager - - 1").size(), 0u) << "nothing is stopped";
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(ServerApps, FailedStopOfTheFirstServiceIsShownOnceAndTheSecondStillStops) {
  Services services;
  services.Register(L"QRVSyncServer40", "--refuse-stop");
  services.Register(L"QRVAlert40", "");
  services.Start(L"QRVSyncServer40");
  services.Start(L"QRVAlert40");
  KivDll dll;
  BoxWatcher boxes;
  EXPECT_EQ(dll.Std("TqSetupStopRunningServerApps", nullptr), 0u);
  const auto seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, "Brantelo");
  EXPECT_NE(seen[0].text.find("(1052)"), std::string::npos) << seen[0].text;
  EXPECT_EQ(services.State(L"QRVSyncServer40"), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(services.State(L"QRVAlert40"), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(ServerApps, MissingServiceGivesOneBoxWithTheManagersCode) {
  KivDll probe("kivprobe.dll");
  CursorRecorder cursors(probe.module());
  BoxWatcher boxes;
  EXPECT_EQ(probe.Fn<int (*)(const char*)>("probe_StopNamedService")("QRVNoSuchService"), 0);
  const auto seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_NE(seen[0].text.find("(1060)"), std::string::npos) << seen[0].text;
  EXPECT_TRUE(cursors.ShownAndRestored());
  EXPECT_EQ(probe.Fn<int (*)()>("probe_WaitCursorCount")(), 0);
}

// Where the 256th free slot of the process's handle table lies: Wine
// gives each new handle the lowest free slot, so every handle left open
// since the last look moves it up. (Wine reports no handle count.)
ULONG_PTR HandleMark() {
  std::vector<HANDLE> events;
  for (int i = 0; i < 256; ++i) events.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  ULONG_PTR highest = 0;
  for (HANDLE h : events) {
    if (reinterpret_cast<ULONG_PTR>(h) > highest) highest = reinterpret_cast<ULONG_PTR>(h);
    CloseHandle(h);
  }
  return highest;
}

// Every path opens and closes its own kernel handles: the semaphore, the
// process. (Service-manager handles are counted by the scripted tests.)
TEST_F(ServerApps, CallsLeaveNoHandleBehind) {
  KivDll dll;
  KivDll probe("kivprobe.dll");
  auto closeById = probe.Fn<int (*)(DWORD, DWORD)>("probe_CloseProcessById");
  BoxWatcher boxes;
  CallBlock block;
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, "KIV");
  auto everyPath = [&] {
    dll.Std("TqSetupFindRunningApps", &block);
    dll.Std("TqServerSetupFindRunningApps", &block);
    dll.Std("TqSetupAreThereAnyRunningServerApps", nullptr);
    dll.Std("TqSetupStopRunningServerApps", nullptr);
    probe.Fn<int (*)(const char*)>("probe_StopNamedService")("QRVNoSuchService");
    closeById(0xFFFFFFF0, 100);
  };
  everyPath();  // with an event holding the name
  CloseHandle(event);
  everyPath();  // first calls may load system modules
  const ULONG_PTR before = HandleMark();
  for (int i = 0; i < 3; ++i) everyPath();
  EXPECT_EQ(HandleMark(), before);
  auto app = StartServerApp("--title=console --ignore-close", kConsole);
  const ULONG_PTR withChild = HandleMark();
  EXPECT_EQ(closeById(app->pid(), 100), 2);
  app->Wait(2000);
  EXPECT_EQ(HandleMark(), withChild) << "process close";
}
