// Shared set-up of the running-application tests.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "calls.h"
#include "harness/boxes.h"
#include "harness/dll.h"
#include "harness/system.h"

namespace kivtest {

inline constexpr const char kConsole[] = "Kestrune Synchronization Server Console 4.0";
inline constexpr const char kAgent[] = "Kestrune Synchronization Server Agent 4.0";

// A branded string of the library's table, as the DLL shows it.
inline std::string Branded(int id) {
  KivDll probe("kivprobe.dll");
  char text[1024] = "";
  probe.Fn<int (*)(int, char*, int)>("probe_LoadBrandedString")(id, text, sizeof text);
  return text;
}

// True while some process holds the unit of the semaphore "KIV".
inline bool SemaphoreHeld() {
  HANDLE h = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, "KIV");
  if (!h) return false;
  const bool held = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  if (!held) ReleaseSemaphore(h, 1, nullptr);
  CloseHandle(h);
  return held;
}

// A window of the test thread to own the boxes.
class OwnerWindow {
 public:
  OwnerWindow()
      : w_(CreateWindowA("STATIC", "kiv test owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                         nullptr, nullptr, nullptr, nullptr)) {}
  ~OwnerWindow() { DestroyWindow(w_); }
  HWND get() const { return w_; }

 private:
  HWND w_;
};

class AppsTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearProductKeys({"Brantelo", "Other"}); }
  void TearDown() override { ClearProductKeys({"Brantelo", "Other"}); }
};

}  // namespace kivtest
