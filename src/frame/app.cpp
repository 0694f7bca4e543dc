#include "frame/app.h"

#include "product/identity.h"

namespace kiv {

KivSetupApp::KivSetupApp() = default;

bool KivSetupApp::InitInstance() {
  appName_ = ProductDisplayName();
  return true;
}

void KivSetupApp::BeginWaitCursor() {
  ++waitCount_;
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
  if (waitCount_ == 1) restoreCursor_ = previous;
}

void KivSetupApp::EndWaitCursor() {
  if (waitCount_ > 0) --waitCount_;
  if (waitCount_ > 0)
    SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
  else
    SetCursor(restoreCursor_);
}

}  // namespace kiv
