#include "restart_tests.h"

#include <cstring>
#include <ctime>

namespace kivtest {
namespace {

RestartCalls recorded;
std::vector<std::string> queriedNames;
std::string agentMarker, reservedKey;

void Snapshot() {
  if (recorded.total() != 1) return;
  recorded.agentClosed = !agentMarker.empty() && FileExists(agentMarker);
  DWORD value = 0, type = 0;
  recorded.exitMarkerWritten = GetDword(HKEY_CURRENT_USER, reservedKey.c_str(), "ExitWindows",
                                     &value, &type) &&
                            type == REG_DWORD && value == 1;
  recorded.waitCursor = GetCursor() == CursorRecorder::WaitCursor();
}

BOOL WINAPI FakeExitWindowsEx(UINT flags, DWORD reserved) {
  ++recorded.exitWindowsEx;
  recorded.flags = flags;
  recorded.reserved = reserved;
  Snapshot();
  return TRUE;
}

BOOL WINAPI FakeInitiateSystemShutdownA(LPSTR machine, LPSTR message, DWORD timeout, BOOL force,
                                        BOOL reboot) {
  ++recorded.initiateShutdown;
  recorded.machineNull = machine == nullptr;
  recorded.messageNull = message == nullptr;
  recorded.timeout = timeout;
  recorded.force = force;
  recorded.reboot = reboot;
  Snapshot();
  return TRUE;
}

using QueryFn = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
QueryFn realQuery = nullptr;
LONG WINAPI SpyRegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD size) {
  queriedNames.push_back(name ? name : "");
  return realQuery(key, name, reserved, type, data, size);
}

}  // namespace

RestartInterceptor::RestartInterceptor(HMODULE dll, std::string marker, std::string reserved) {
  recorded = RestartCalls{};
  queriedNames.clear();
  agentMarker = std::move(marker);
  reservedKey = std::move(reserved);
  exitHook_ = std::make_unique<ImportHook>(dll, "user32.dll", "ExitWindowsEx",
                                           reinterpret_cast<void*>(&FakeExitWindowsEx));
  shutdownHook_ = std::make_unique<ImportHook>(
      dll, "advapi32.dll", "InitiateSystemShutdownA",
      reinterpret_cast<void*>(&FakeInitiateSystemShutdownA));
  queryHook_ = std::make_unique<ImportHook>(dll, "advapi32.dll", "RegQueryValueExA",
                                            reinterpret_cast<void*>(&SpyRegQueryValueExA));
  realQuery = queryHook_->original_as<QueryFn>();
}

RestartInterceptor::~RestartInterceptor() = default;

bool RestartInterceptor::installed() const {
  return exitHook_->installed() && shutdownHook_->installed() && queryHook_->installed();
}
const RestartCalls& RestartInterceptor::calls() const { return recorded; }
const std::vector<std::string>& RestartInterceptor::queried() const { return queriedNames; }
bool RestartInterceptor::Queried(const std::string& name) const {
  for (const std::string& q : queriedNames)
    if (q == name) return true;
  return false;
}

static LUID ShutdownLuid() {
  LUID id{};
  EXPECT_TRUE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &id));
  return id;
}

void SetShutdownPrivilege(bool enabled) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
  TOKEN_PRIVILEGES tp{};
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Luid = ShutdownLuid();
  tp.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
  EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &tp, sizeof tp, nullptr, nullptr));
  CloseHandle(token);
  EXPECT_EQ(ShutdownPrivilegeEnabled(), enabled);
}

bool ShutdownPrivilegeEnabled() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  PRIVILEGE_SET set{};
  set.PrivilegeCount = 1;
  set.Control = PRIVILEGE_SET_ALL_NECESSARY;
  set.Privilege[0].Luid = ShutdownLuid();
  BOOL held = FALSE;
  PrivilegeCheck(token, &set, &held);
  CloseHandle(token);
  return held != FALSE;
}

std::string StampNow() {
  const std::time_t now = std::time(nullptr);
  char text[128] = "";
  std::strftime(text, sizeof text, "[%a %b %d %I:%M %p %Y] ", std::localtime(&now));
  return text;
}

::testing::AssertionResult Stamped(const std::string& value, const std::string& text,
                                   const std::string& before) {
  const std::string after = StampNow();
  if (value == before + text || value == after + text) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "value \"" << value << "\" is not \"" << before << text
                                       << "\"";
}

std::string IniGet(const std::string& ini, const char* key, const char* fallback) {
  std::string text(8192, '\0');
  const DWORD n = GetPrivateProfileStringA(kSection, key, fallback, &text[0],
                                           static_cast<DWORD>(text.size()), ini.c_str());
  text.resize(n);
  return text;
}

void IniSet(const std::string& ini, const char* key, const char* value) {
  ASSERT_TRUE(WritePrivateProfileStringA(kSection, key, value, ini.c_str())) << ini;
}

ProductFolder::ProductFolder() : ini_(dir_ / "QRVROAM.INI") {
  SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, "Install Location", dir_.path());
}

}  // namespace kivtest
