#include <shlobj.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include "paths.h"

using namespace kivtest;
using namespace pathstest;

namespace {

constexpr const char kLocalText[] = "Please select a folder on your LOCAL computer...";
constexpr const char kRootText[] = "You cannot select the root directory of a drive...";
constexpr const char kCaption[] = "Solvanta Installation";
constexpr const char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Folders";
constexpr const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";

// An owner window for the boxes, on the test's thread.
struct OwnerWindow {
  HWND hwnd = CreateWindowExA(0, "STATIC", "installer", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                              nullptr, nullptr, nullptr);
  ~OwnerWindow() { DestroyWindow(hwnd); }
};

// GetDriveTypeA for a kind the prefix cannot have.
UINT WINAPI UnknownDriveType(LPCSTR) { return DRIVE_UNKNOWN; }

TEST(ValidateLocalDirectory, AcceptsFoldersOnLocalDrivesOnly) {
  KivDll dll;
  OwnerWindow owner;
  ASSERT_NE(owner.hwnd, nullptr);
  // Drives from the prefix's configuration: m: CD-ROM, n: network,
  // o: removable, p: RAM disk, q: fixed; k: is no drive at all.
  struct Case {
    const char* folder;
    int result;
    const char* box;  // null: no box
  } cases[] = {
      {"C:\\Data", 0, nullptr},
      {"C:\\", 0, nullptr},
      {"C:", 1, kRootText},
      {"C", 1, kRootText},
      {"q:\\Apps", 0, nullptr},
      {"o:\\Apps", 0, nullptr},
      {"O:", 1, kRootText},
      {"m:\\Apps", 1, kLocalText},
      {"n:\\Apps", 1, kLocalText},
      {"p:\\Apps", 1, kLocalText},
      {"n:", 1, kLocalText},
      {"m", 1, kLocalText},
      {"k:\\Apps", 1, kLocalText},
      // A relative name is judged by the drive its first character names.
      {"Program", 1, kLocalText},
      {"q-folder", 0, nullptr},
      {"", 1, kLocalText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    BoxWatcher boxes;
    CallBlock block;
    block.window = owner.hwnd;
    block.param = c.folder;
    EXPECT_EQ(dll.Std("TqSetupValidateLocalDirectory", &block), static_cast<std::uint32_t>(c.result));
    const auto shown = boxes.Boxes();
    if (!c.box) {
      EXPECT_TRUE(shown.empty());
      continue;
    }
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, c.box);
    EXPECT_EQ(shown[0].caption, kCaption);
    EXPECT_EQ(shown[0].owner, owner.hwnd);
    EXPECT_EQ(shown[0].buttons.size(), 1u);
  }
}

TEST(ValidateLocalDirectory, UnknownDrivesAndMissingStrings) {
  KivDll dll;
  CallBlock block;
  {
    BoxWatcher boxes;
    CursorRecorder cursors(dll.module());
    EXPECT_EQ(dll.StdOrdinal(50, &block), 1u) << "no parameter string";
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_TRUE(cursors.ShownAndRestored());
  }
  ImportHook hook(dll.module(), "kernel32.dll", "GetDriveTypeA",
                  reinterpret_cast<void*>(&UnknownDriveType));
  ASSERT_TRUE(hook.installed());
  BoxWatcher boxes;
  block.param = "C:\\Data";
  EXPECT_EQ(dll.Std("TqSetupValidateLocalDirectory", &block), 1u);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, kLocalText);
}

// GetVersionExA reporting a chosen system.
OSVERSIONINFOA fakeVersion;
bool fakeFails;
DWORD sizeSeen;
BOOL WINAPI FakeGetVersionEx(OSVERSIONINFOA* info) {
  sizeSeen = info->dwOSVersionInfoSize;
  if (fakeFails) return FALSE;
  const DWORD size = info->dwOSVersionInfoSize;
  *info = fakeVersion;
  info->dwOSVersionInfoSize = size;
  return TRUE;
}

TEST(VersionPredicates, FollowPlatformAndVersion) {
  KivDll dll;
  // This prefix reports its default system, Windows 7: NT 6.1.
  EXPECT_EQ(dll.Cdecl("TqIsWindows2000"), 1u);
  EXPECT_EQ(dll.Cdecl("TqIsWindowsXP"), 0u);
  ImportHook hook(dll.module(), "kernel32.dll", "GetVersionExA",
                  reinterpret_cast<void*>(&FakeGetVersionEx));
  ASSERT_TRUE(hook.installed());
  struct Case {
    const char* system;
    DWORD platform, major, minor;
    bool fails;
    int is2000, isXP;
  } cases[] = {
      {"Windows 95", VER_PLATFORM_WIN32_WINDOWS, 4, 0, false, 0, 0},
      {"Windows 98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, false, 0, 0},
      {"Windows Me", VER_PLATFORM_WIN32_WINDOWS, 4, 90, false, 0, 0},
      {"Windows NT 4.0", VER_PLATFORM_WIN32_NT, 4, 0, false, 0, 0},
      {"Windows 2000", VER_PLATFORM_WIN32_NT, 5, 0, false, 1, 0},
      {"Windows XP", VER_PLATFORM_WIN32_NT, 5, 1, false, 1, 1},
      {"Server 2003", VER_PLATFORM_WIN32_NT, 5, 2, false, 1, 0},
      {"Vista", VER_PLATFORM_WIN32_NT, 6, 0, false, 1, 0},
      {"a 9x system claiming 5.1", VER_PLATFORM_WIN32_WINDOWS, 5, 1, false, 0, 0},
      {"the call failing", VER_PLATFORM_WIN32_NT, 5, 1, true, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.system);
    fakeVersion = {};
    fakeVersion.dwPlatformId = c.platform;
    fakeVersion.dwMajorVersion = c.major;
    fakeVersion.dwMinorVersion = c.minor;
    fakeFails = c.fails;
    sizeSeen = 0;
    EXPECT_EQ(dll.CdeclOrdinal(60), static_cast<std::uint32_t>(c.is2000));
    EXPECT_EQ(sizeSeen, 148u);
    EXPECT_EQ(dll.CdeclOrdinal(27), static_cast<std::uint32_t>(c.isXP));
  }
}

TEST(DigitCode, ExportsEncodeIntoOneBufferAndDecode) {
  KivDll dll;
  const char* first = dll.CdeclText("TqGetStringFromNumber", 1234);
  EXPECT_STREQ(first, "BCDE");
  const char* second = reinterpret_cast<const char*>(
      static_cast<std::uintptr_t>(dll.CdeclOrdinal(26, -56)));
  EXPECT_EQ(second, first) << "one library-owned buffer";
  EXPECT_STREQ(first, "-FG");
  EXPECT_STREQ(dll.CdeclText("TqGetStringFromNumber", INT_MIN), "-CBEHEIDGEI");
  EXPECT_STREQ(dll.CdeclText("TqGetStringFromNumber", 0), "A");
  EXPECT_EQ(dll.Cdecl("TqGetNumberFromString", "BCDE"), 1234u);
  EXPECT_EQ(dll.CdeclOrdinal(24, "CBEHEIDGEH"), static_cast<std::uint32_t>(INT_MAX));
  EXPECT_EQ(dll.Cdecl("TqGetNumberFromString", "-FG"), 0u);
  EXPECT_EQ(dll.Cdecl("TqGetNumberFromString", std::string(100, 'J').c_str()), 0u);
  EXPECT_EQ(dll.Cdecl("TqGetNumberFromString", nullptr), 0u);
}

TEST(FixedAnswers, DefaultInstallLocationAndSetupProgramPath) {
  KivDll dll;
  const char* location = dll.CdeclText("TqSetupGetDefaultInstallLocation");
  EXPECT_STREQ(location, "C:\\Program Files\\Brantelo\\Kestrune");
  EXPECT_EQ(reinterpret_cast<const char*>(static_cast<std::uintptr_t>(dll.CdeclOrdinal(34))),
            location);
  char own[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, own, sizeof own);
  const char* exe = dll.CdeclText("TqGetSetupExePath");
  EXPECT_STREQ(exe, own);
  EXPECT_EQ(reinterpret_cast<const char*>(static_cast<std::uintptr_t>(dll.CdeclOrdinal(25))), exe);
}

// SHGetSpecialFolderLocation failing for the folders a test names.
ImportHook* folderHook;
bool failCommon, failUser;
HRESULT WINAPI SelectiveFolderLocation(HWND owner, int csidl, LPITEMIDLIST* items) {
  if ((csidl == CSIDL_COMMON_DESKTOPDIRECTORY && failCommon) || (csidl == CSIDL_DESKTOP && failUser)) {
    *items = nullptr;
    return E_FAIL;
  }
  return folderHook->original_as<decltype(&SHGetSpecialFolderLocation)>()(owner, csidl, items);
}

std::string ShellPath(int csidl) {
  char path[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
  return path;
}

class Desktop : public ::testing::Test {
 protected:
  void SetUp() override {
    folderHook_ = std::make_unique<ImportHook>(dll_.module(), "shell32.dll",
                                               "SHGetSpecialFolderLocation",
                                               reinterpret_cast<void*>(&SelectiveFolderLocation));
    ASSERT_TRUE(folderHook_->installed());
    folderHook = folderHook_.get();
    failCommon = failUser = false;
  }
  void TearDown() override {
    folderHook_.reset();
    folderHook = nullptr;
  }
  std::string Location() { return dll_.CdeclText("TqSetupGetCommonDesktopLocation"); }

  KivDll dll_;
  std::unique_ptr<ImportHook> folderHook_;
  SavedValue shellValue_{HKEY_LOCAL_MACHINE, kShellFolders, "Common Desktop"};
};

TEST_F(Desktop, SourcesAreTriedInOrder) {
  const std::string common = ShellPath(CSIDL_COMMON_DESKTOPDIRECTORY);
  const std::string user = ShellPath(CSIDL_DESKTOP);
  ASSERT_FALSE(common.empty());
  ASSERT_NE(common, user);
  EXPECT_EQ(Location(), common);
  // The shell rewrites its own value whenever it is asked for the folder,
  // so the value is arranged after that.
  failCommon = true;
  SetString(HKEY_LOCAL_MACHINE, kShellFolders, "Common Desktop", "D:\\All Users\\Desktop");
  EXPECT_EQ(Location(), "D:\\All Users\\Desktop");
  // A value that does not fit the buffer counts as missing.
  SetString(HKEY_LOCAL_MACHINE, kShellFolders, "Common Desktop", std::string(300, 'x'));
  EXPECT_EQ(Location(), user);
  DeleteValue(HKEY_LOCAL_MACHINE, kShellFolders, "Common Desktop");
  EXPECT_EQ(Location(), user);
  failUser = true;
  const char* first = dll_.CdeclText("TqSetupGetCommonDesktopLocation");
  EXPECT_STREQ(first, "");
  failCommon = failUser = false;
  const char* second = reinterpret_cast<const char*>(
      static_cast<std::uintptr_t>(dll_.CdeclOrdinal(33)));
  EXPECT_EQ(second, first) << "one library-owned buffer";
  EXPECT_EQ(std::string(first), common);
}

TEST_F(Desktop, FolderLocationIsWrittenIntoTheNamedIniFile) {
  TempDir dir;
  const std::string ini = dir / "answer.ini";
  auto written = [&](const char* fallback) {
    char value[MAX_PATH] = {};
    GetPrivateProfileStringA("SECTION", "Common Desktop", fallback, value, sizeof value,
                             ini.c_str());
    return std::string(value);
  };
  CallBlock block;
  block.param = ini.c_str();
  {
    CursorRecorder cursors(dll_.module());
    EXPECT_EQ(dll_.Std("TqSetupGetCommonDesktopFolderLocation", &block), 0u);
    EXPECT_TRUE(cursors.ShownAndRestored());
  }
  EXPECT_EQ(written("<none>"), ShellPath(CSIDL_COMMON_DESKTOPDIRECTORY));
  // Every source failing writes an empty value.
  failCommon = failUser = true;
  DeleteValue(HKEY_LOCAL_MACHINE, kShellFolders, "Common Desktop");
  EXPECT_EQ(dll_.StdOrdinal(32, &block), 0u);
  EXPECT_EQ(written("<none>"), "");
  CallBlock empty;
  EXPECT_EQ(dll_.Std("TqSetupGetCommonDesktopFolderLocation", &empty), 1u);
}

class CleanUp : public ::testing::Test {
 protected:
  void SetUp() override { DeleteValue(HKEY_LOCAL_MACHINE, kSessionManager, kPending); }
  void TearDown() override { DeleteValue(HKEY_LOCAL_MACHINE, kSessionManager, kPending); }

  // The files registered for deletion at restart (the source of each
  // pair, without its \??\ prefix).
  static std::vector<std::string> Pending() {
    std::string data;
    std::vector<std::string> files;
    if (!GetString(HKEY_LOCAL_MACHINE, kSessionManager, kPending, &data)) return files;
    for (std::size_t at = 0; at < data.size();) {
      const std::size_t end = data.find('\0', at);
      const std::string source = data.substr(at, end - at);
      if (source.empty()) break;
      files.push_back(source.rfind("\\??\\", 0) == 0 ? source.substr(4) : source);
      at = data.find('\0', end + 1);  // skip the target of the pair
      if (at == std::string::npos) break;
      ++at;
    }
    return files;
  }

  std::uint32_t Run(const std::string& folder) {
    CallBlock block;
    block.param = folder.c_str();
    return dll_.Std("TqSetupCleanUpOldFiles", &block);
  }

  static constexpr const char kPending[] = "PendingFileRenameOperations";
  KivDll dll_;
  TempDir dir_;
};

TEST_F(CleanUp, DeletesTheOldLibraryNowWhenItCan) {
  const std::string product = dir_ / "Product";
  const std::string file = product + "\\BIN\\MFC42.DLL";
  for (const std::string& folder : {product, product + "\\"}) {
    CreateDirectoryA(product.c_str(), nullptr);
    CreateDirectoryA((product + "\\BIN").c_str(), nullptr);
    WriteFileBytes(file, "old");
    CursorRecorder cursors(dll_.module());
    EXPECT_EQ(Run(folder), 0u) << folder;
    EXPECT_TRUE(cursors.ShownAndRestored());
    EXPECT_FALSE(FileExists(file)) << folder;
    EXPECT_TRUE(Pending().empty());
  }
}

TEST_F(CleanUp, RegistersForRestartWhatCannotBeDeletedNow) {
  const std::string product = dir_ / "Product";
  const std::string file = product + "\\BIN\\MFC42.DLL";
  // Missing file.
  EXPECT_EQ(Run(product + "\\"), 0u);
  EXPECT_EQ(Pending(), std::vector<std::string>{file});
  DeleteValue(HKEY_LOCAL_MACHINE, kSessionManager, kPending);
  // A file held open without sharing.
  CreateDirectoryA(product.c_str(), nullptr);
  CreateDirectoryA((product + "\\BIN").c_str(), nullptr);
  WriteFileBytes(file, "old");
  HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(dll_.StdOrdinal(31, nullptr) , 0u) << "no block is no folder";
  CallBlock block;
  block.param = product.c_str();
  EXPECT_EQ(dll_.StdOrdinal(31, &block), 0u);
  CloseHandle(held);
  EXPECT_TRUE(FileExists(file));
  EXPECT_EQ(Pending(), std::vector<std::string>{file});
  DeleteFileA(file.c_str());
}

TEST_F(CleanUp, FoldersTooLongForThePathAreLeftAlone) {
  CallBlock none;
  EXPECT_EQ(dll_.Std("TqSetupCleanUpOldFiles", &none), 0u);
  EXPECT_EQ(Run("C:\\" + std::string(243, 'a')), 0u);
  EXPECT_EQ(Run(std::string(600, 'a')), 0u);
  EXPECT_TRUE(Pending().empty());
  // The longest folder that fits is still served.
  const std::string longest = "C:\\" + std::string(242, 'a');
  EXPECT_EQ(Run(longest), 0u);
  EXPECT_EQ(Pending(), std::vector<std::string>{longest + "\\BIN\\MFC42.DLL"});
}

// RegOpenKeyExA with the rights the DLL asks for.
ImportHook* openHook;
REGSAM rightsSeen;
LONG WINAPI RecordingOpenKey(HKEY root, LPCSTR path, DWORD options, REGSAM rights, PHKEY key) {
  rightsSeen = rights;
  return openHook->original_as<decltype(&RegOpenKeyExA)>()(root, path, options, rights, key);
}

TEST(DelRegistryEntry, DeletesOneMachineValueForRootTwoOnly) {
  constexpr const char kKey[] = "Software\\KivPathsTest";
  KivDll dll;
  ImportHook hook(dll.module(), "advapi32.dll", "RegOpenKeyExA",
                  reinterpret_cast<void*>(&RecordingOpenKey));
  ASSERT_TRUE(hook.installed());
  openHook = &hook;
  SetString(HKEY_LOCAL_MACHINE, kKey, "Old", "x");
  SetString(HKEY_CURRENT_USER, kKey, "Old", "x");
  std::string v;
  struct Case {
    std::uint32_t root;
    const char* key;
    const char* value;
    std::uint32_t result;
  } refused[] = {
      {1, kKey, "Old", 0},
      {0x80000002u, kKey, "Old", 0},
      {0x80000001u, kKey, "Old", 0},
      {2, nullptr, "Old", 0},
      {2, kKey, nullptr, 0},
      {2, kKey, "Missing", 0},
      {2, "Software\\KivPathsTest\\NoSuchKey", "Old", 0},
  };
  for (const Case& c : refused) {
    EXPECT_EQ(dll.Std("TqDelRegistryEntry", c.root, c.key, c.value), c.result) << c.root;
    EXPECT_TRUE(GetString(HKEY_LOCAL_MACHINE, kKey, "Old", &v));
    EXPECT_TRUE(GetString(HKEY_CURRENT_USER, kKey, "Old", &v));
  }
  rightsSeen = 0;
  EXPECT_EQ(dll.StdOrdinal(19, 2, kKey, "Old"), 1u);
  EXPECT_EQ(rightsSeen, static_cast<REGSAM>(KEY_ALL_ACCESS));
  EXPECT_FALSE(GetString(HKEY_LOCAL_MACHINE, kKey, "Old", &v));
  EXPECT_TRUE(GetString(HKEY_CURRENT_USER, kKey, "Old", &v)) << "the user's value stays";
  EXPECT_EQ(dll.Std("TqDelRegistryEntry", 2, kKey, "Old"), 0u) << "already gone";
  openHook = nullptr;
  DeleteTree(HKEY_LOCAL_MACHINE, kKey);
  DeleteTree(HKEY_CURRENT_USER, kKey);
}

FILETIME fixedTime;
void WINAPI FixedSystemTime(FILETIME* ft) { *ft = fixedTime; }

TEST(SetupDate, StoresTheFileTimeHalvesAsSignedNumbers) {
  ClearProductKeys();
  KivDll dll;
  FILETIME before, after;
  GetSystemTimeAsFileTime(&before);
  EXPECT_EQ(dll.Std("TqUpdateSetupDateInRegistry", nullptr), 0u);
  GetSystemTimeAsFileTime(&after);
  std::string text;
  DWORD type = 0;
  ASSERT_TRUE(GetString(HKEY_LOCAL_MACHINE, kPreferences, "LastSetupTime", &text, &type))
      << "the missing key is created";
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  int high = 0, low = 0;
  ASSERT_EQ(std::sscanf(text.c_str(), "%d-%d", &high, &low), 2) << text;
  auto value = [](DWORD h, DWORD l) { return (static_cast<ULONGLONG>(h) << 32) | l; };
  const ULONGLONG stored = value(static_cast<DWORD>(high), static_cast<DWORD>(low));
  EXPECT_GE(stored, value(before.dwHighDateTime, before.dwLowDateTime));
  EXPECT_LE(stored, value(after.dwHighDateTime, after.dwLowDateTime));

  ImportHook hook(dll.module(), "kernel32.dll", "GetSystemTimeAsFileTime",
                  reinterpret_cast<void*>(&FixedSystemTime));
  ASSERT_TRUE(hook.installed());
  struct Case {
    DWORD high, low;
    const char* text;
  } cases[] = {
      {0x01D2A3B4, 0x7FFFFFFF, "30581684-2147483647"},
      {0x01D2A3B4, 0x80000000, "30581684--2147483648"},
      {0x01D2A3B4, 0xFFFFFFFF, "30581684--1"},
      {0x80000000, 0, "-2147483648-0"},
  };
  for (const Case& c : cases) {
    fixedTime = {c.low, c.high};
    CallBlock block;
    EXPECT_EQ(dll.StdOrdinal(35, &block), 0u);
    ASSERT_TRUE(GetString(HKEY_LOCAL_MACHINE, kPreferences, "LastSetupTime", &text));
    EXPECT_STREQ(text.c_str(), c.text) << "replaces the stored text";
  }
  ClearProductKeys();
}

}  // namespace
