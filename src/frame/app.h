// The library's one application object: its name (the caption the library
// would use for boxes of its own) and the busy-cursor nesting count.
#pragma once
#include <windows.h>

#include <string>

namespace kiv {

class KivSetupApp {
 public:
  KivSetupApp();
  KivSetupApp(const KivSetupApp&) = delete;
  KivSetupApp& operator=(const KivSetupApp&) = delete;

  // Run once at load, after the display name is resolved.
  bool InitInstance();

  // Busy cursor. Begin raises the count and shows the system wait cursor,
  // remembering the previous cursor when the count leaves 0; End lowers it
  // (never below 0) and puts the remembered cursor back when it reaches 0.
  void BeginWaitCursor();
  void EndWaitCursor();
  int WaitCursorCount() const { return waitCount_; }

  const std::string& AppName() const { return appName_; }
  HINSTANCE Instance() const { return instance_; }
  void SetInstance(HINSTANCE h) { instance_ = h; }

 private:
  int waitCount_ = 0;
  HCURSOR restoreCursor_ = nullptr;
  std::string appName_;
  HINSTANCE instance_ = nullptr;
};

KivSetupApp& App();

// Holds the busy cursor for a scope; released on every way out.
class WaitCursor {
 public:
  WaitCursor() { App().BeginWaitCursor(); }
  ~WaitCursor() { App().EndWaitCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace kiv
