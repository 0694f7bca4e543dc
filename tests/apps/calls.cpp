#include "calls.h"

#include <cstdio>

namespace kivtest {
namespace {

std::vector<std::string> log;

using FindWindowFn = HWND(WINAPI*)(LPCSTR, LPCSTR);
using PostFn = BOOL(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
using SendFn = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
using SleepFn = void(WINAPI*)(DWORD);
using WaitFn = DWORD(WINAPI*)(HANDLE, DWORD);
using CreateSemFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCSTR);
using ReleaseSemFn = BOOL(WINAPI*)(HANDLE, LONG, LPLONG);
using RegOpenFn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
using OpenScmFn = SC_HANDLE(WINAPI*)(LPCSTR, LPCSTR, DWORD);
using OpenSvcFn = SC_HANDLE(WINAPI*)(SC_HANDLE, LPCSTR, DWORD);
using OpenProcFn = HANDLE(WINAPI*)(DWORD, BOOL, DWORD);
using TerminateFn = BOOL(WINAPI*)(HANDLE, UINT);

FindWindowFn realFind;
PostFn realPost;
SendFn realSend;
SleepFn realSleep;
WaitFn realWait;
CreateSemFn realCreateSem;
ReleaseSemFn realReleaseSem;
RegOpenFn realRegOpen;
OpenScmFn realOpenScm;
OpenSvcFn realOpenSvc;
OpenProcFn realOpenProc;
TerminateFn realTerminate;

std::string Hex(UINT v) {
  char b[16];
  std::snprintf(b, sizeof b, "%x", v);
  return b;
}

HWND WINAPI Find(LPCSTR cls, LPCSTR title) {
  HWND w = realFind(cls, title);
  log.push_back(std::string("Find ") + (title ? title : "(null)") + (w ? "=1" : "=0"));
  return w;
}
BOOL WINAPI Post(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  log.push_back("Post " + TitleOf(w) + " " + Hex(m) + " " + std::to_string(wp) + " " +
                std::to_string(lp));
  return realPost(w, m, wp, lp);
}
LRESULT WINAPI Send(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  log.push_back("Send " + TitleOf(w) + " " + Hex(m) + " " + std::to_string(wp) + " " +
                std::to_string(lp));
  return realSend(w, m, wp, lp);
}
void WINAPI SleepFor(DWORD ms) {
  log.push_back("Sleep " + std::to_string(ms));
  realSleep(ms);
}
DWORD WINAPI Wait(HANDLE h, DWORD ms) {
  const DWORD r = realWait(h, ms);
  log.push_back("Wait " + std::to_string(ms) + "=" + std::to_string(r));
  return r;
}
HANDLE WINAPI CreateSem(LPSECURITY_ATTRIBUTES sa, LONG initial, LONG maximum, LPCSTR name) {
  HANDLE h = realCreateSem(sa, initial, maximum, name);
  log.push_back(std::string("Semaphore ") + (name ? name : "(null)") + " " +
                std::to_string(initial) + " " + std::to_string(maximum) + (sa ? " sa" : "") +
                (h ? "" : "=fail"));
  return h;
}
BOOL WINAPI ReleaseSem(HANDLE h, LONG n, LPLONG previous) {
  log.push_back("Release " + std::to_string(n));
  return realReleaseSem(h, n, previous);
}
LONG WINAPI RegOpen(HKEY root, LPCSTR path, DWORD options, REGSAM sam, PHKEY out) {
  log.push_back(std::string("RegOpen ") + (path ? path : ""));
  return realRegOpen(root, path, options, sam, out);
}
SC_HANDLE WINAPI OpenScm(LPCSTR machine, LPCSTR db, DWORD rights) {
  log.push_back(std::string("OpenSCManager ") + (machine ? machine : "-") + " " +
                (db ? db : "-") + " " + Hex(rights));
  return realOpenScm(machine, db, rights);
}
SC_HANDLE WINAPI OpenSvc(SC_HANDLE scm, LPCSTR name, DWORD rights) {
  log.push_back(std::string("OpenService ") + (name ? name : "") + " " + std::to_string(rights));
  return realOpenSvc(scm, name, rights);
}
HANDLE WINAPI OpenProc(DWORD rights, BOOL inherit, DWORD pid) {
  log.push_back("OpenProcess " + Hex(rights) + (inherit ? " inherit" : ""));
  return realOpenProc(rights, inherit, pid);
}
BOOL WINAPI Terminate(HANDLE h, UINT code) {
  log.push_back("Terminate " + std::to_string(code));
  return realTerminate(h, code);
}

template <class F>
void Hook(std::vector<std::unique_ptr<ImportHook>>& hooks, HMODULE m, const char* dll,
          const char* fn, void* replacement, F* real) {
  if (!FindImportSlot(m, dll, fn)) return;  // the module does not import it
  hooks.push_back(std::make_unique<ImportHook>(m, dll, fn, replacement));
  *real = hooks.back()->original_as<F>();
}

}  // namespace

std::string TitleOf(HWND window) {
  char title[256] = "";
  return GetWindowTextA(window, title, sizeof title) > 0 ? title : "?";
}

CallLog::CallLog(HMODULE m) {
  log.clear();
  Hook(hooks_, m, "user32.dll", "FindWindowA", reinterpret_cast<void*>(&Find), &realFind);
  Hook(hooks_, m, "user32.dll", "PostMessageA", reinterpret_cast<void*>(&Post), &realPost);
  Hook(hooks_, m, "user32.dll", "SendMessageA", reinterpret_cast<void*>(&Send), &realSend);
  Hook(hooks_, m, "kernel32.dll", "Sleep", reinterpret_cast<void*>(&SleepFor), &realSleep);
  Hook(hooks_, m, "kernel32.dll", "WaitForSingleObject", reinterpret_cast<void*>(&Wait),
       &realWait);
  Hook(hooks_, m, "kernel32.dll", "CreateSemaphoreA", reinterpret_cast<void*>(&CreateSem),
       &realCreateSem);
  Hook(hooks_, m, "kernel32.dll", "ReleaseSemaphore", reinterpret_cast<void*>(&ReleaseSem),
       &realReleaseSem);
  Hook(hooks_, m, "advapi32.dll", "RegOpenKeyExA", reinterpret_cast<void*>(&RegOpen),
       &realRegOpen);
  Hook(hooks_, m, "advapi32.dll", "OpenSCManagerA", reinterpret_cast<void*>(&OpenScm),
       &realOpenScm);
  Hook(hooks_, m, "advapi32.dll", "OpenServiceA", reinterpret_cast<void*>(&OpenSvc),
       &realOpenSvc);
  Hook(hooks_, m, "kernel32.dll", "OpenProcess", reinterpret_cast<void*>(&OpenProc),
       &realOpenProc);
  Hook(hooks_, m, "kernel32.dll", "TerminateProcess", reinterpret_cast<void*>(&Terminate),
       &realTerminate);
}

CallLog::~CallLog() = default;

void CallLog::Clear() { log.clear(); }

const std::vector<std::string>& CallLog::entries() const { return log; }

std::string CallLog::Joined() const {
  std::string s;
  for (const auto& e : log) s += e + ";";
  return s;
}

std::vector<std::string> CallLog::Starting(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const auto& e : log)
    if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e);
  return out;
}

}  // namespace kivtest
