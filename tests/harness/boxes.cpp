#include "harness/boxes.h"

namespace kivtest {
namespace {

std::string WindowText(HWND h) {
  char text[2048] = "";
  GetWindowTextA(h, text, sizeof text);
  return text;
}

bool IsDialog(HWND h) {
  char cls[64] = "";
  GetClassNameA(h, cls, sizeof cls);
  return lstrcmpA(cls, "#32770") == 0;
}

BOOL CALLBACK CollectButtons(HWND child, LPARAM param) {
  char cls[64] = "";
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Button") == 0)
    reinterpret_cast<std::vector<std::string>*>(param)->push_back(WindowText(child));
  return TRUE;
}

BOOL CALLBACK CollectDialogs(HWND h, LPARAM param) {
  if (IsDialog(h) && IsWindowVisible(h))
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(h);
  return TRUE;
}

}  // namespace

BoxWatcher::BoxWatcher(DWORD threadId) : thread_(threadId), worker_([this] { Run(); }) {}

BoxWatcher::~BoxWatcher() {
  stop_ = true;
  worker_.join();
}

void BoxWatcher::OnBox(std::function<int(const Box&)> answer) {
  std::lock_guard<std::mutex> lock(mu_);
  answer_ = std::move(answer);
}

std::vector<Box> BoxWatcher::Boxes() const {
  std::lock_guard<std::mutex> lock(mu_);
  return boxes_;
}

std::size_t BoxWatcher::Count() const {
  std::lock_guard<std::mutex> lock(mu_);
  return boxes_.size();
}

void BoxWatcher::Run() {
  while (!stop_) {
    std::vector<HWND> found;
    EnumThreadWindows(thread_, CollectDialogs, reinterpret_cast<LPARAM>(&found));
    for (HWND h : found) {
      {
        std::lock_guard<std::mutex> lock(mu_);
        if (answered_.count(h)) continue;
      }
      Box box;
      box.caption = WindowText(h);
      char text[4096] = "";
      GetDlgItemTextA(h, 0xFFFF, text, sizeof text);
      box.text = text;
      box.owner = GetWindow(h, GW_OWNER);
      EnumChildWindows(h, CollectButtons, reinterpret_cast<LPARAM>(&box.buttons));
      std::function<int(const Box&)> answer;
      {
        std::lock_guard<std::mutex> lock(mu_);
        boxes_.push_back(box);
        answered_.insert(h);
        answer = answer_;
      }
      const int command = answer ? answer(box) : IDOK;
      PostMessageA(h, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(h, command)));
    }
    {
      // A handle can be reused once its box is gone.
      std::lock_guard<std::mutex> lock(mu_);
      for (auto it = answered_.begin(); it != answered_.end();)
        it = IsWindow(*it) ? std::next(it) : answered_.erase(it);
    }
    Sleep(2);
  }
}

}  // namespace kivtest
