// Stand-in for the product's agent: a top-level window titled
// "Kestrune Agent". On WM_CLOSE it takes a moment, writes the file named on
// its command line and only then lets the close return, so a test can tell
// whether its sender waited. Ends by itself after 30 s.
#include <windows.h>

#include <cstdio>

namespace {

const char* markerPath = "";

LRESULT CALLBACK AgentProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_CLOSE: {
      Sleep(300);
      if (FILE* f = std::fopen(markerPath, "wb")) {
        std::fputs("closed", f);
        std::fclose(f);
      }
      DestroyWindow(window);
      return 0;
    }
    case WM_TIMER:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  markerPath = commandLine;
  WNDCLASSA wc{};
  wc.lpfnWndProc = AgentProc;
  wc.hInstance = instance;
  wc.lpszClassName = "KivTestAgentWindow";
  RegisterClassA(&wc);
  HWND window = CreateWindowA(wc.lpszClassName, "Kestrune Agent", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                              100, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  SetTimer(window, 1, 30000, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
