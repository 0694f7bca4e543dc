// Arranging the system for a test: registry values, fixture programs and
// the busy cursor the DLL sets.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "harness/imports.h"

namespace kivtest {

// The product's keys under either root, with the default key names.
inline constexpr const char kCurrentVersion[] = "Software\\Brantelo\\Solvanta\\Current Version";
inline constexpr const char kPreferences[] = "Software\\Brantelo\\Solvanta\\Preferences";
inline constexpr const char kReserved[] = "Software\\Brantelo\\Solvanta\\Reserved";

// Registry. Paths are relative to the root; keys are created as needed.
void SetDword(HKEY root, const char* path, const char* name, DWORD value);
void SetString(HKEY root, const char* path, const char* name, const std::string& value,
               DWORD type = REG_SZ);
void SetBinary(HKEY root, const char* path, const char* name, const void* data, DWORD size,
               DWORD type = REG_BINARY);
bool GetDword(HKEY root, const char* path, const char* name, DWORD* value, DWORD* type = nullptr);
bool GetString(HKEY root, const char* path, const char* name, std::string* value,
               DWORD* type = nullptr);
bool KeyExists(HKEY root, const char* path);
void DeleteTree(HKEY root, const char* path);
// Removes the product's keys (any company name in `companies`) under both roots.
void ClearProductKeys(std::initializer_list<const char*> companies = {"Brantelo"});

// A fixture program from the test folder, ended at destruction if it still runs.
class Child {
 public:
  Child(const std::string& exe, const std::string& args);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  bool started() const { return pi_.hProcess != nullptr; }
  DWORD pid() const { return pi_.dwProcessId; }
  HANDLE process() const { return pi_.hProcess; }
  // Waits for the program to end; returns its exit code or STILL_ACTIVE.
  DWORD Wait(DWORD ms);

 private:
  PROCESS_INFORMATION pi_{};
};

// Runs a program to its end and returns its exit code (or ~0 when it could
// not be started or did not end in time).
DWORD RunAndWait(const std::string& commandLine, DWORD ms = 30000);

// Polls cond every 5 ms for up to ms; true when it held.
template <class F>
bool WaitFor(F cond, DWORD ms = 5000) {
  const DWORD start = GetTickCount();
  while (!cond()) {
    if (GetTickCount() - start > ms) return false;
    Sleep(5);
  }
  return true;
}

// Records the cursors the DLL sets through its USER32!SetCursor import (and
// still sets them). One recorder at a time.
class CursorRecorder {
 public:
  explicit CursorRecorder(HMODULE dll);
  ~CursorRecorder();
  const std::vector<HCURSOR>& calls() const;
  static HCURSOR WaitCursor();
  // Last cursor set is not the wait cursor, and the wait cursor was set.
  bool ShownAndRestored() const;
  bool NeverShown() const;

 private:
  std::unique_ptr<ImportHook> hook_;
};

// Temporary folder (under the prefix's temp), removed with its content.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

}  // namespace kivtest
