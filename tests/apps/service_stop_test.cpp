// The service stop with dependents against a scripted service manager and
// a scripted clock: the probe's imports of the manager's calls, the tick
// count, Sleep and the heap are replaced for the test.
#include <cstring>
#include <deque>
#include <functional>
#include <map>

#include "apps.h"

#include <winsvc.h>

using namespace kivtest;

namespace {

constexpr DWORD kFails = 0xFFFF;  // a scripted query that fails

struct FakeService {
  std::string name;
  std::deque<DWORD> queries;  // states of successive queries; the last one repeats
  DWORD hint = 100;
  DWORD afterStop = SERVICE_STOP_PENDING;  // state the stop control reports
  DWORD stopError = 0;                     // the stop control fails with this
  DWORD openError = 0;                     // opening it fails with this
  DWORD queryError = ERROR_INVALID_HANDLE;
};

struct Script {
  std::vector<FakeService> services;  // [0] is the service itself, then its dependents
  DWORD enumError = 0;                // the first enumeration fails with this
  bool neededZeroAfterList = false;    // a successful listing leaves bytes-needed at 0
  bool heapFails = false;
  DWORD managerError = 0;
  DWORD now = 1000;
  std::vector<std::string> log;
  std::map<int, int> open;  // handle index -> open count
  int allocs = 0, frees = 0;
} script;

constexpr ULONG_PTR kManager = 0x4000;
SC_HANDLE HandleOf(int i) { return reinterpret_cast<SC_HANDLE>(0x5000 + i); }
int IndexOf(SC_HANDLE h) { return static_cast<int>(reinterpret_cast<ULONG_PTR>(h) - 0x5000); }
FakeService& Of(SC_HANDLE h) { return script.services.at(IndexOf(h)); }

void Fill(const FakeService& s, DWORD state, SERVICE_STATUS* st) {
  std::memset(st, 0, sizeof *st);
  st->dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  st->dwCurrentState = state;
  st->dwWaitHint = s.hint;
}

SC_HANDLE WINAPI FakeOpenManager(LPCSTR machine, LPCSTR db, DWORD rights) {
  script.log.push_back("manager " + std::to_string(rights) + (machine || db ? " named" : ""));
  if (script.managerError) {
    SetLastError(script.managerError);
    return nullptr;
  }
  return reinterpret_cast<SC_HANDLE>(kManager);
}

SC_HANDLE WINAPI FakeOpenService(SC_HANDLE, LPCSTR name, DWORD rights) {
  script.log.push_back("open " + std::string(name) + " " + std::to_string(rights));
  for (std::size_t i = 0; i < script.services.size(); ++i) {
    FakeService& s = script.services[i];
    if (s.name != name) continue;
    if (s.openError) {
      SetLastError(s.openError);
      return nullptr;
    }
    ++script.open[static_cast<int>(i)];
    return HandleOf(static_cast<int>(i));
  }
  SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
  return nullptr;
}

BOOL WINAPI FakeClose(SC_HANDLE h) {
  if (reinterpret_cast<ULONG_PTR>(h) == kManager) {
    script.log.push_back("close manager");
  } else {
    script.log.push_back("close " + Of(h).name);
    --script.open[IndexOf(h)];
  }
  return TRUE;
}

BOOL WINAPI FakeQuery(SC_HANDLE h, SERVICE_STATUS* st) {
  FakeService& s = Of(h);
  const DWORD state = s.queries.empty() ? SERVICE_RUNNING : s.queries.front();
  if (s.queries.size() > 1) s.queries.pop_front();
  script.log.push_back("query " + s.name + (state == kFails ? " fails" : "=" + std::to_string(state)));
  if (state == kFails) {
    SetLastError(s.queryError);
    return FALSE;
  }
  Fill(s, state, st);
  return TRUE;
}

BOOL WINAPI FakeControl(SC_HANDLE h, DWORD control, SERVICE_STATUS* st) {
  FakeService& s = Of(h);
  script.log.push_back("control " + s.name + " " + std::to_string(control));
  if (s.stopError) {
    SetLastError(s.stopError);
    return FALSE;
  }
  Fill(s, s.afterStop, st);
  return TRUE;
}

BOOL WINAPI FakeEnum(SC_HANDLE h, DWORD filter, ENUM_SERVICE_STATUSA* out, DWORD size,
                     DWORD* needed, DWORD* count) {
  script.log.push_back("enum " + std::to_string(filter) + " " + std::to_string(size));
  if (IndexOf(h) != 0) return FALSE;
  if (script.enumError) {
    SetLastError(script.enumError);
    return FALSE;
  }
  const std::size_t n = script.services.size() - 1;
  DWORD bytes = static_cast<DWORD>(n * sizeof(ENUM_SERVICE_STATUSA));
  for (std::size_t i = 1; i <= n; ++i) bytes += static_cast<DWORD>(script.services[i].name.size() + 1);
  *count = 0;
  if (n == 0) {
    *needed = 0;
    return TRUE;
  }
  *needed = bytes;
  if (size < bytes) {
    SetLastError(ERROR_MORE_DATA);
    return FALSE;
  }
  char* names = reinterpret_cast<char*>(out + n);
  for (std::size_t i = 1; i <= n; ++i) {
    std::strcpy(names, script.services[i].name.c_str());
    out[i - 1].lpServiceName = names;
    out[i - 1].lpDisplayName = names;
    names += script.services[i].name.size() + 1;
  }
  *count = static_cast<DWORD>(n);
  if (script.neededZeroAfterList) *needed = 0;
  return TRUE;
}

DWORD WINAPI FakeTicks() { return script.now; }
void WINAPI FakeSleep(DWORD ms) {
  script.log.push_back("sleep " + std::to_string(ms));
  script.now += ms;
}

using HeapAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
using HeapFreeFn = BOOL(WINAPI*)(HANDLE, DWORD, LPVOID);
HeapAllocFn realAlloc;
HeapFreeFn realFree;
LPVOID WINAPI FakeAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  script.log.push_back("alloc " + std::to_string(flags));
  ++script.allocs;
  return script.heapFails ? nullptr : realAlloc(heap, flags, bytes);
}
BOOL WINAPI FakeFree(HANDLE heap, DWORD flags, LPVOID p) {
  script.log.push_back("free " + std::to_string(flags));
  ++script.frees;
  return realFree(heap, flags, p);
}

// The probe with the scripted imports in place.
class ScriptedManager {
 public:
  ScriptedManager() : probe_("kivprobe.dll") {
    Hook("advapi32.dll", "OpenSCManagerA", &FakeOpenManager);
    Hook("advapi32.dll", "OpenServiceA", &FakeOpenService);
    Hook("advapi32.dll", "CloseServiceHandle", &FakeClose);
    Hook("advapi32.dll", "QueryServiceStatus", &FakeQuery);
    Hook("advapi32.dll", "ControlService", &FakeControl);
    Hook("advapi32.dll", "EnumDependentServicesA", &FakeEnum);
    Hook("kernel32.dll", "GetTickCount", &FakeTicks);
    Hook("kernel32.dll", "Sleep", &FakeSleep);
    realAlloc = Hook("kernel32.dll", "HeapAlloc", &FakeAlloc)->original_as<HeapAllocFn>();
    realFree = Hook("kernel32.dll", "HeapFree", &FakeFree)->original_as<HeapFreeFn>();
  }
  const KivDll& probe() const { return probe_; }
  DWORD Stop(DWORD limit = 60000) const {
    return probe_.Fn<DWORD (*)(SC_HANDLE, SC_HANDLE, DWORD)>("probe_StopServiceWithDependents")(
        reinterpret_cast<SC_HANDLE>(kManager), HandleOf(0), limit);
  }
  int StopNamed(const char* name) const {
    return probe_.Fn<int (*)(const char*)>("probe_StopNamedService")(name);
  }

 private:
  template <class F>
  ImportHook* Hook(const char* dll, const char* fn, F* f) {
    hooks_.push_back(std::make_unique<ImportHook>(probe_.module(), dll, fn,
                                                  reinterpret_cast<void*>(f)));
    return hooks_.back().get();
  }
  KivDll probe_;
  std::vector<std::unique_ptr<ImportHook>> hooks_;
};

FakeService Svc(std::deque<DWORD> queries, DWORD hint = 100) {
  FakeService s;
  s.name = "Main";
  s.queries = std::move(queries);
  s.hint = hint;
  return s;
}
FakeService Dep(const char* name, std::deque<DWORD> queries, DWORD hint = 100) {
  FakeService s;
  s.name = name;
  s.queries = std::move(queries);
  s.hint = hint;
  return s;
}

std::string Join(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& e : v) s += e + "; ";
  return s;
}

constexpr DWORD S = SERVICE_STOPPED, P = SERVICE_STOP_PENDING, R = SERVICE_RUNNING;

}  // namespace

TEST(ServiceStop, ScriptedManagerCases) {
  struct Case {
    const char* what;
    std::function<void(Script&)> arrange;
    DWORD result;
    const char* log;
  } cases[] = {
      {"already stopped", [](Script& s) { s.services = {Svc({S})}; }, 0, "query Main=1; "},
      {"query fails", [](Script& s) { s.services = {Svc({kFails})}; }, ERROR_INVALID_HANDLE,
       "query Main fails; "},
      {"stop pending that ends stopped",
       [](Script& s) { s.services = {Svc({P, P, S}, 500)}; }, 0,
       "query Main=3; sleep 500; query Main=3; sleep 500; query Main=1; "},
      {"stop pending that returns to running",
       [](Script& s) { s.services = {Svc({P, R, S}, 200)}; }, 0,
       "query Main=3; sleep 200; query Main=4; enum 1 0; control Main 1; sleep 200; "
       "query Main=1; "},
      {"no dependents", [](Script& s) { s.services = {Svc({R, S})}; }, 0,
       "query Main=4; enum 1 0; control Main 1; sleep 100; query Main=1; "},
      {"two dependents in list order",
       [](Script& s) { s.services = {Svc({R, P, S}), Dep("A", {S}, 40), Dep("B", {P, S}, 50)}; }, 0,
       "query Main=4; enum 1 0; alloc 8; enum 1 76; open A 36; control A 1; sleep 40; query A=1; "
       "close A; open B 36; control B 1; sleep 50; query B=3; sleep 50; query B=1; close B; "
       "free 0; control Main 1; sleep 100; query Main=3; sleep 100; query Main=1; "},
      {"bytes-needed not kept by a successful listing",
       [](Script& s) {
         s.services = {Svc({R, S}), Dep("A", {S}, 40)};
         s.neededZeroAfterList = true;
       },
       0,
       "query Main=4; enum 1 0; alloc 8; enum 1 38; open A 36; control A 1; sleep 40; query A=1; "
       "close A; free 0; control Main 1; sleep 100; query Main=1; "},
      {"dependent already stopped when told to stop",
       [](Script& s) {
         s.services = {Svc({R, S}), Dep("A", {S})};
         s.services[1].afterStop = S;
       },
       0,
       "query Main=4; enum 1 0; alloc 8; enum 1 38; open A 36; control A 1; close A; free 0; "
       "control Main 1; sleep 100; query Main=1; "},
      {"dependent cannot be opened",
       [](Script& s) {
         s.services = {Svc({R}), Dep("A", {S}), Dep("B", {S})};
         s.services[1].openError = ERROR_ACCESS_DENIED;
       },
       ERROR_ACCESS_DENIED, "query Main=4; enum 1 0; alloc 8; enum 1 76; open A 36; free 0; "},
      {"dependent refuses the stop",
       [](Script& s) {
         s.services = {Svc({R}), Dep("A", {R}), Dep("B", {S})};
         s.services[1].stopError = ERROR_INVALID_SERVICE_CONTROL;
       },
       ERROR_INVALID_SERVICE_CONTROL,
       "query Main=4; enum 1 0; alloc 8; enum 1 76; open A 36; control A 1; close A; free 0; "},
      {"dependent stopped on its own before its stop",
       [](Script& s) {
         s.services = {Svc({R, S}), Dep("A", {S})};
         s.services[1].stopError = ERROR_SERVICE_NOT_ACTIVE;
       },
       0,
       "query Main=4; enum 1 0; alloc 8; enum 1 38; open A 36; control A 1; close A; free 0; "
       "control Main 1; sleep 100; query Main=1; "},
      {"dependent query fails",
       [](Script& s) { s.services = {Svc({R}), Dep("A", {kFails})}; },
       ERROR_INVALID_HANDLE,
       "query Main=4; enum 1 0; alloc 8; enum 1 38; open A 36; control A 1; sleep 100; "
       "query A fails; close A; free 0; "},
      {"enumeration fails",
       [](Script& s) {
         s.services = {Svc({R})};
         s.enumError = ERROR_ACCESS_DENIED;
       },
       ERROR_ACCESS_DENIED, "query Main=4; enum 1 0; "},
      {"no memory for the dependent list",
       [](Script& s) {
         s.services = {Svc({R}), Dep("A", {S})};
         s.heapFails = true;
       },
       ERROR_NOT_ENOUGH_MEMORY, "query Main=4; enum 1 0; alloc 8; "},
      {"stop request fails",
       [](Script& s) {
         s.services = {Svc({R})};
         s.services[0].stopError = ERROR_DEPENDENT_SERVICES_RUNNING;
       },
       ERROR_DEPENDENT_SERVICES_RUNNING, "query Main=4; enum 1 0; control Main 1; "},
      {"stop request already reports stopped",
       [](Script& s) {
         s.services = {Svc({R})};
         s.services[0].afterStop = S;
       },
       0, "query Main=4; enum 1 0; control Main 1; "},
      {"budget exceeded while stop pending",
       [](Script& s) { s.services = {Svc({P}, 30000)}; }, ERROR_TIMEOUT,
       "query Main=3; sleep 30000; query Main=3; sleep 30000; query Main=3; sleep 1; "
       "query Main=3; "},
      {"budget exceeded while a dependent stops",
       [](Script& s) { s.services = {Svc({R}), Dep("A", {P}, 25000)}; }, ERROR_TIMEOUT,
       "query Main=4; enum 1 0; alloc 8; enum 1 38; open A 36; control A 1; sleep 25000; "
       "query A=3; sleep 25000; query A=3; sleep 10001; query A=3; close A; free 0; "},
      {"budget shared by the dependent and the service",
       [](Script& s) { s.services = {Svc({R, P}, 20000), Dep("A", {P, S}, 25000)}; },
       ERROR_TIMEOUT,
       "query Main=4; enum 1 0; alloc 8; enum 1 38; open A 36; control A 1; sleep 25000; "
       "query A=3; sleep 25000; query A=1; close A; free 0; control Main 1; sleep 10001; "
       "query Main=3; "},
      {"stopped at the last moment counts as stopped",
       [](Script& s) { s.services = {Svc({P, P, P, S}, 30000)}; }, 0,
       "query Main=3; sleep 30000; query Main=3; sleep 30000; query Main=3; sleep 1; "
       "query Main=1; "},
      {"tick count wraps during the budget",
       [](Script& s) {
         s.now = 0xFFFFFFFFu - 15000;
         s.services = {Svc({P, P, S}, 30000)};
       },
       0, "query Main=3; sleep 30000; query Main=3; sleep 30000; query Main=1; "},
      {"tick count wraps and the budget runs out",
       [](Script& s) {
         s.now = 0xFFFFFFFFu - 100;
         s.services = {Svc({P}, 40000)};
       },
       ERROR_TIMEOUT, "query Main=3; sleep 40000; query Main=3; sleep 20001; query Main=3; "},
      {"wait hint of 0 polls without pause",
       [](Script& s) {
         s.services = {Svc({P, P, P, S}, 0)};
       },
       0, "query Main=3; sleep 0; query Main=3; sleep 0; query Main=3; sleep 0; query Main=1; "},
      {"endless wait hint stops at the end of the budget",
       [](Script& s) { s.services = {Svc({P}, INFINITE)}; }, ERROR_TIMEOUT,
       "query Main=3; sleep 60001; query Main=3; "},
  };
  for (const Case& c : cases) {
    script = Script{};
    c.arrange(script);
    ScriptedManager manager;
    EXPECT_EQ(manager.Stop(), c.result) << c.what;
    EXPECT_EQ(Join(script.log), c.log) << c.what;
    for (const auto& [index, count] : script.open)
      EXPECT_EQ(count, index == 0 ? 1 : 0) << c.what << ": handle of " << index
                                           << (index == 0 ? " is the caller's" : " left open");
    EXPECT_EQ(script.allocs - (script.heapFails ? 1 : 0), script.frees) << c.what;
  }
}

TEST(ServiceStop, NamedStopOpensClosesAndShowsFailures) {
  struct Case {
    const char* what;
    std::function<void(Script&)> arrange;
    const char* log;
    const char* boxCode;  // null: no box
  } cases[] = {
      {"stopped", [](Script& s) { s.services = {Svc({S})}; },
       "manager 1; open Main 44; query Main=1; close Main; close manager; ", nullptr},
      {"manager cannot be opened",
       [](Script& s) {
         s.services = {Svc({S})};
         s.managerError = ERROR_ACCESS_DENIED;
       },
       "manager 1; ", "(5)"},
      {"no such service", [](Script& s) { s.services = {Svc({S})}; },
       "manager 1; open Missing 44; close manager; ", "(1060)"},
      {"stop fails",
       [](Script& s) {
         s.services = {Svc({R})};
         s.services[0].stopError = ERROR_INVALID_SERVICE_CONTROL;
       },
       "manager 1; open Main 44; query Main=4; enum 1 0; control Main 1; close Main; "
       "close manager; ",
       "(1052)"},
      {"limit exceeded", [](Script& s) { s.services = {Svc({P}, 70000)}; },
       "manager 1; open Main 44; query Main=3; sleep 60001; query Main=3; close Main; "
       "close manager; ",
       "(1460)"},
  };
  for (const Case& c : cases) {
    script = Script{};
    c.arrange(script);
    ScriptedManager manager;
    CursorRecorder cursors(manager.probe().module());
    BoxWatcher boxes;
    EXPECT_EQ(manager.StopNamed(std::string(c.what) == "no such service" ? "Missing" : "Main"), 0)
        << c.what;
    EXPECT_EQ(Join(script.log), c.log) << c.what;
    const auto seen = boxes.Boxes();
    if (c.boxCode) {
      ASSERT_EQ(seen.size(), 1u) << c.what;
      EXPECT_EQ(seen[0].caption, "Brantelo");
      EXPECT_NE(seen[0].text.find(c.boxCode), std::string::npos) << seen[0].text;
    } else {
      EXPECT_TRUE(seen.empty()) << c.what;
    }
    EXPECT_TRUE(cursors.ShownAndRestored()) << c.what;
    EXPECT_EQ(manager.probe().Fn<int (*)()>("probe_WaitCursorCount")(), 0) << c.what;
  }
}
