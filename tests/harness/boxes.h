// Finds the message boxes that the DLL shows on a given thread, records
// them and answers them, so tests can assert the exact sequence of boxes.
// The boxes are real; a watcher thread presses their buttons.
#pragma once
#include <windows.h>

#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace kivtest {

struct Box {
  std::string caption;
  std::string text;
  HWND owner = nullptr;
  std::vector<std::string> buttons;  // texts of the box's push buttons
};

class BoxWatcher {
 public:
  // Watches the boxes of the given thread (by default the calling one).
  explicit BoxWatcher(DWORD threadId = GetCurrentThreadId());
  ~BoxWatcher();
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;

  // Called on the watcher thread for each new box, before it is answered;
  // returns the command to press (IDOK by default).
  void OnBox(std::function<int(const Box&)> answer);

  std::vector<Box> Boxes() const;
  std::size_t Count() const;

 private:
  void Run();

  DWORD thread_;
  mutable std::mutex mu_;
  std::vector<Box> boxes_;
  std::set<HWND> answered_;
  std::function<int(const Box&)> answer_;
  volatile bool stop_ = false;
  std::thread worker_;
};

}  // namespace kivtest
