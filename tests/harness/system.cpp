#include "harness/system.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "harness/dll.h"

namespace kivtest {

static HKEY CreateKey(HKEY root, const char* path) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  EXPECT_EQ(rc, ERROR_SUCCESS) << "create " << path;
  return rc == ERROR_SUCCESS ? key : nullptr;
}

void SetDword(HKEY root, const char* path, const char* name, DWORD value) {
  SetBinary(root, path, name, &value, sizeof value, REG_DWORD);
}

void SetString(HKEY root, const char* path, const char* name, const std::string& value,
               DWORD type) {
  SetBinary(root, path, name, value.c_str(), static_cast<DWORD>(value.size() + 1), type);
}

void SetBinary(HKEY root, const char* path, const char* name, const void* data, DWORD size,
               DWORD type) {
  HKEY key = CreateKey(root, path);
  if (!key) return;
  EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

bool GetDword(HKEY root, const char* path, const char* name, DWORD* value, DWORD* type) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD t = 0, size = sizeof *value;
  LONG rc = RegQueryValueExA(key, name, nullptr, &t, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (type) *type = t;
  return rc == ERROR_SUCCESS;
}

bool GetString(HKEY root, const char* path, const char* name, std::string* value, DWORD* type) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD t = 0, size = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, &t, nullptr, &size);
  if (rc == ERROR_SUCCESS) {
    std::string data(size, '\0');
    rc = RegQueryValueExA(key, name, nullptr, &t, reinterpret_cast<BYTE*>(&data[0]), &size);
    data.resize(size);
    *value = data;
  }
  RegCloseKey(key);
  if (type) *type = t;
  return rc == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void DeleteTree(HKEY root, const char* path) { RegDeleteTreeA(root, path); RegDeleteKeyA(root, path); }

void ClearProductKeys(std::initializer_list<const char*> companies) {
  for (const char* c : companies) {
    const std::string path = std::string("Software\\") + c;
    DeleteTree(HKEY_CURRENT_USER, path.c_str());
    DeleteTree(HKEY_LOCAL_MACHINE, path.c_str());
  }
}

Child::Child(const std::string& exe, const std::string& args) {
  std::string cmd = "\"" + BinPath(exe.c_str()) + "\" " + args;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi_)) {
    ADD_FAILURE() << "cannot start " << cmd << ": " << GetLastError();
    pi_ = {};
  }
}

Child::~Child() {
  if (!pi_.hProcess) return;
  if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(pi_.hProcess, 99);
    WaitForSingleObject(pi_.hProcess, 5000);
  }
  CloseHandle(pi_.hThread);
  CloseHandle(pi_.hProcess);
}

DWORD Child::Wait(DWORD ms) {
  if (!pi_.hProcess) return ~0u;
  WaitForSingleObject(pi_.hProcess, ms);
  DWORD code = ~0u;
  GetExitCodeProcess(pi_.hProcess, &code);
  return code;
}

DWORD RunAndWait(const std::string& commandLine, DWORD ms) {
  std::string cmd = commandLine;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return ~0u;
  DWORD code = ~0u;
  if (WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
  else TerminateProcess(pi.hProcess, 99);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

namespace {
std::vector<HCURSOR> cursorCalls;
using SetCursorFn = HCURSOR(WINAPI*)(HCURSOR);
SetCursorFn realSetCursor = nullptr;
HCURSOR WINAPI RecordSetCursor(HCURSOR c) {
  cursorCalls.push_back(c);
  return realSetCursor(c);
}
}  // namespace

CursorRecorder::CursorRecorder(HMODULE dll) {
  cursorCalls.clear();
  hook_ = std::make_unique<ImportHook>(dll, "user32.dll", "SetCursor",
                                       reinterpret_cast<void*>(&RecordSetCursor));
  realSetCursor = hook_->original_as<SetCursorFn>();
}

CursorRecorder::~CursorRecorder() = default;

const std::vector<HCURSOR>& CursorRecorder::calls() const { return cursorCalls; }

HCURSOR CursorRecorder::WaitCursor() { return LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)); }

bool CursorRecorder::ShownAndRestored() const {
  if (cursorCalls.empty()) return false;
  bool shown = false;
  for (HCURSOR c : cursorCalls) shown |= c == WaitCursor();
  return shown && cursorCalls.back() != WaitCursor();
}

bool CursorRecorder::NeverShown() const { return cursorCalls.empty(); }

TempDir::TempDir() {
  char base[MAX_PATH] = "";
  GetTempPathA(sizeof base, base);
  static int serial = 0;
  char name[MAX_PATH];
  std::snprintf(name, sizeof name, "%skivt%lu_%d", base, GetCurrentProcessId(), ++serial);
  path_ = name;
  CreateDirectoryA(path_.c_str(), nullptr);
}

static void RemoveTree(const std::string& dir) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = fd.cFileName;
      if (name == "." || name == "..") continue;
      const std::string full = dir + "\\" + name;
      SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(full);
      else DeleteFileA(full.c_str());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(dir.c_str());
}

TempDir::~TempDir() { RemoveTree(path_); }

std::string ReadFileBytes(const std::string& path) {
  std::string data;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) data.append(buf, n);
    std::fclose(f);
  }
  return data;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace kivtest
