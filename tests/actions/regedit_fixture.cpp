// Stand-in for the system's registry editor, put in the Windows folder by the
// test set-up. It appends where it was started from and its exact command
// line to the file that KIV_REGEDIT_LOG names, waits KIV_REGEDIT_DELAY
// milliseconds (at most 5 s) when asked to, and then imports the file named
// after "/i" with the real editor kept in the folder kivbackup.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static std::string Env(const char* name) {
  char value[MAX_PATH] = "";
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? value : "";
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  const std::string commandLine = GetCommandLineA();

  const std::string log = Env("KIV_REGEDIT_LOG");
  if (!log.empty()) {
    if (FILE* f = std::fopen(log.c_str(), "ab")) {
      std::fprintf(f, "%s\t%s\n", self, commandLine.c_str());
      std::fclose(f);
    }
  }
  const std::string delay = Env("KIV_REGEDIT_DELAY");
  if (!delay.empty()) Sleep(std::min<DWORD>(std::strtoul(delay.c_str(), nullptr, 10), 5000));

  const std::size_t at = commandLine.find(" /i ");
  if (at == std::string::npos) return 2;
  std::string file = commandLine.substr(at + 4);
  if (file.size() >= 2 && file.front() == '"' && file.back() == '"') file = file.substr(1, file.size() - 2);

  char windows[MAX_PATH] = "";
  GetWindowsDirectoryA(windows, sizeof windows);
  std::string run = std::string("\"") + windows + "\\kivbackup\\regedit.exe\" /s \"" + file + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, &run[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return 3;
  const DWORD waited = WaitForSingleObject(pi.hProcess, 20000);
  DWORD code = 4;
  if (waited == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
  else TerminateProcess(pi.hProcess, 4);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}
