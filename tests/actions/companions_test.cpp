#include <climits>

#include "actions.h"

using namespace kivtest;

namespace {

// Records every module path the DLL hands to the loader, and loads it.
std::vector<std::string> loads;
HMODULE(WINAPI* realLoadLibrary)(LPCSTR) = nullptr;
HMODULE WINAPI RecordLoad(LPCSTR path) {
  loads.push_back(path ? path : "(null)");
  return realLoadLibrary(path);
}

class LoadRecorder {
 public:
  explicit LoadRecorder(HMODULE dll)
      : hook_(dll, "kernel32.dll", "LoadLibraryA", reinterpret_cast<void*>(&RecordLoad)) {
    realLoadLibrary = hook_.original_as<decltype(realLoadLibrary)>();
    loads.clear();
  }
  bool installed() const { return hook_.installed(); }

 private:
  ImportHook hook_;
};

std::string Companions() { return BinPath("companions"); }

// A folder with copies of the companions under the given names; an empty
// source leaves the name out.
struct CompanionFolder {
  TempDir dir;
  CompanionFolder(const char* asKivuser, const char* asKivProj) {
    if (*asKivuser) CopyFileA((Companions() + "\\" + asKivuser).c_str(), (dir / "Kivuser.dll").c_str(), FALSE);
    if (*asKivProj) CopyFileA((Companions() + "\\" + asKivProj).c_str(), (dir / "KivProj.dll").c_str(), FALSE);
  }
};

class CompanionHooks : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* v : {"KIV_COMPANION_RESULT", "KIV_SEEN_DEPENDENT", "KIV_SEEN_MONITOR"})
      SetEnvironmentVariableA(v, nullptr);
  }
  void TearDown() override { SetUp(); }
};

}  // namespace

TEST_F(CompanionHooks, CompanionResultPassedThroughUnchanged) {
  KivDll dll;
  const std::string folder = Companions();
  CallBlock block;
  block.param = folder.c_str();
  for (const char* value : {"0", "1", "7", "-1", "0x7FFFFFFF", "0x80000000"}) {
    SetEnvironmentVariableA("KIV_COMPANION_RESULT", value);
    const DWORD want = std::strtoul(value, nullptr, 0);
    SetEnvironmentVariableA("KIV_SEEN_DEPENDENT", nullptr);
    SetEnvironmentVariableA("KIV_SEEN_MONITOR", nullptr);
    EXPECT_EQ(dll.Std("TqAdd2DependentServices", &block), want) << value;
    EXPECT_EQ(Env("KIV_SEEN_DEPENDENT"), "QRVSvc40,1");
    EXPECT_EQ(dll.Std("TqConfigureWriteMonitorPaths", &block), want) << value;
    EXPECT_EQ(Env("KIV_SEEN_MONITOR"), "called");
  }
  SetEnvironmentVariableA("KIV_COMPANION_RESULT", "42");
  EXPECT_EQ(dll.StdOrdinal(16, &block), 42u);
  EXPECT_EQ(dll.StdOrdinal(18, &block), 42u);
}

TEST_F(CompanionHooks, LoadedByFullPathInOrderAndNeverReleased) {
  CompanionFolder f("Kivuser.dll", "KivProj.dll");
  SetEnvironmentVariableA("KIV_COMPANION_RESULT", "5");
  {
    KivDll dll;
    LoadRecorder recorder(dll.module());
    ASSERT_TRUE(recorder.installed());
    BoxWatcher boxes;
    CursorRecorder cursors(dll.module());
    // A folder ending in a backslash gets a second one.
    struct Case {
      std::string folder;
      std::string separator;
    } cases[] = {{f.dir.path(), "\\"}, {f.dir.path() + "\\", "\\\\"}};
    for (const Case& c : cases) {
      CallBlock block;
      block.param = c.folder.c_str();
      loads.clear();
      EXPECT_EQ(dll.Std("TqConfigureWriteMonitorPaths", &block), 5u) << c.folder;
      EXPECT_EQ(loads, (std::vector<std::string>{f.dir.path() + c.separator + "Kivuser.dll",
                                                 f.dir.path() + c.separator + "KivProj.dll"}));
      loads.clear();
      EXPECT_EQ(dll.Std("TqAdd2DependentServices", &block), 5u) << c.folder;
      EXPECT_EQ(loads, std::vector<std::string>{f.dir.path() + c.separator + "Kivuser.dll"});
    }
    EXPECT_TRUE(cursors.NeverShown());
    EXPECT_EQ(boxes.Count(), 0u);
  }
  // Both stay loaded even after the library itself is gone.
  EXPECT_NE(GetModuleHandleA((f.dir / "Kivuser.dll").c_str()), nullptr);
  EXPECT_NE(GetModuleHandleA((f.dir / "KivProj.dll").c_str()), nullptr);
}

TEST_F(CompanionHooks, MissingModuleOrEntryGivesZero) {
  SetEnvironmentVariableA("KIV_COMPANION_RESULT", "9");
  // Modules copied under each other's names lack the entry looked for.
  struct Case {
    const char* what;
    const char* asKivuser;
    const char* asKivProj;
    DWORD dependent, monitor;
    bool kivuserStaysLoaded;
  } cases[] = {
      {"empty folder", "", "", 0, 0, false},
      {"only Kivuser.dll", "Kivuser.dll", "", 9, 0, true},
      {"only KivProj.dll", "", "KivProj.dll", 0, 0, false},
      {"entries swapped", "KivProj.dll", "Kivuser.dll", 0, 0, true},
  };
  KivDll dll;
  BoxWatcher boxes;
  for (const Case& c : cases) {
    CompanionFolder f(c.asKivuser, c.asKivProj);
    CallBlock block;
    block.param = f.dir.path().c_str();
    LoadRecorder recorder(dll.module());
    EXPECT_EQ(dll.Std("TqConfigureWriteMonitorPaths", &block), c.monitor) << c.what;
    // KivProj.dll is only tried once Kivuser.dll loaded.
    EXPECT_EQ(loads.size(), *c.asKivuser ? 2u : 1u) << c.what;
    EXPECT_EQ(GetModuleHandleA((f.dir / "Kivuser.dll").c_str()) != nullptr, c.kivuserStaysLoaded)
        << c.what;
    EXPECT_EQ(dll.Std("TqAdd2DependentServices", &block), c.dependent) << c.what;
  }
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(CompanionHooks, MissingBlockOrFolder) {
  KivDll dll;
  LoadRecorder recorder(dll.module());
  CallBlock noParam;
  for (const char* name : {"TqAdd2DependentServices", "TqConfigureWriteMonitorPaths"}) {
    EXPECT_EQ(dll.Std(name, nullptr), 1u) << name;
    EXPECT_EQ(dll.Std(name, &noParam), 1u) << name;
  }
  EXPECT_TRUE(loads.empty());
  // An empty folder names the root of the current drive.
  CallBlock empty;
  empty.param = "";
  EXPECT_EQ(dll.Std("TqConfigureWriteMonitorPaths", &empty), 0u);
  EXPECT_EQ(dll.Std("TqAdd2DependentServices", &empty), 0u);
  EXPECT_EQ(loads, (std::vector<std::string>{"\\Kivuser.dll", "\\Kivuser.dll"}));
}
