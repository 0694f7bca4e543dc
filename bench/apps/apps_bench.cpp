// Time per call of TqSetupFindRunningApps with no client running and of
// TqSetupAreThereAnyRunningServerApps with nothing running, each next to the
// bare system calls it makes, measured in the same run.
// Run: scripts/wine-run.sh build/bin/apps_bench.exe [iterations]
#include <windows.h>

#include "common/clock.h"
#include <winsvc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using Export = int(__stdcall*)(const void*);

using kivbench::Now;

template <class F>
double MicrosPerCall(int n, F&& body) {
  body();  // warm up
  const double start = Now();
  for (int i = 0; i < n; ++i) body();
  return (Now() - start) * 1e6 / n;
}

// What the client check does with no client: version, busy cursor,
// semaphore create, 1 ms try (satisfied at once), release, close.
void BareClientCheck() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  GetVersionExA(&info);
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
  HANDLE h = CreateSemaphoreA(nullptr, 1, 1, "KIV");
  if (WaitForSingleObject(h, 1) == WAIT_OBJECT_0) ReleaseSemaphore(h, 1, nullptr);
  CloseHandle(h);
  SetCursor(previous);
}

bool BareServiceTest(const char* name) {
  SC_HANDLE scm = OpenSCManagerA(nullptr, "ServicesActive", GENERIC_READ);
  if (!scm) return false;
  bool running = false;
  if (SC_HANDLE s = OpenServiceA(scm, name, SERVICE_INTERROGATE)) {
    SERVICE_STATUS st{};
    running = ControlService(s, SERVICE_CONTROL_INTERROGATE, &st) && st.dwCurrentState != 1;
    CloseServiceHandle(s);
  }
  CloseServiceHandle(scm);
  return running;
}

void BareServerDetection() {
  FindWindowA(nullptr, "Kestrune Synchronization Server Console 4.0");
  FindWindowA(nullptr, "Kestrune Synchronization Server Agent 4.0");
  BareServiceTest("QRVSyncServer40");
  BareServiceTest("QRVAlert40");
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 2000;
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::strcpy(std::strrchr(path, '\\') + 1, "KIVSETUP.DLL");
  HMODULE dll = LoadLibraryA(path);
  if (!dll) {
    std::printf("cannot load %s (%lu)\n", path, GetLastError());
    return 1;
  }
  auto find = reinterpret_cast<Export>(
      reinterpret_cast<void*>(GetProcAddress(dll, "TqSetupFindRunningApps")));
  auto any = reinterpret_cast<Export>(
      reinterpret_cast<void*>(GetProcAddress(dll, "TqSetupAreThereAnyRunningServerApps")));
  unsigned char block[128] = {};

  // The machine's load and the service manager's answers vary over a run:
  // the export and its bare calls alternate in rounds so that both see the
  // same conditions, and each keeps its best round.
  const int rounds = 10;
  auto compare = [&](int calls, auto&& exported, auto&& bare, double* e, double* b) {
    *e = *b = 1e30;
    for (int r = 0; r < rounds; ++r) {
      const double x = MicrosPerCall(calls, exported), y = MicrosPerCall(calls, bare);
      if (x < *e) *e = x;
      if (y < *b) *b = y;
    }
  };
  const int clientCalls = n / rounds > 0 ? n / rounds : 1;
  const int serverCalls = clientCalls / 50 > 0 ? clientCalls / 50 : 1;
  double client, clientBare, server, serverBare;
  compare(clientCalls, [&] { find(block); }, BareClientCheck, &client, &clientBare);
  compare(serverCalls, [&] { any(block); }, BareServerDetection, &server, &serverBare);

  std::printf("best of %d rounds: %d client calls, %d server calls per round\n", rounds,
              clientCalls, serverCalls);
  std::printf("TqSetupFindRunningApps (no client)          %8.2f us/call; bare calls %8.2f us; ratio %.2f\n",
              client, clientBare, client / clientBare);
  std::printf("TqSetupAreThereAnyRunningServerApps (none)  %8.2f us/call; bare calls %8.2f us; ratio %.2f\n",
              server, serverBare, server / serverBare);
  FreeLibrary(dll);
  return 0;
}
