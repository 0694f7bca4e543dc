// Load and unload. The two library objects below live in this one file so
// that their construction order is fixed: the application object first,
// then the display name, resolved under the default key names before any
// export can run.
#include <windows.h>

#include "frame/app.h"
#include "product/identity.h"

namespace kiv {
namespace {

KivSetupApp theApp;

struct DisplayNameAtLoad {
  DisplayNameAtLoad() noexcept {
    try {
      ProductDisplayName();
    } catch (...) {
      // An allocation failure here leaves the name empty; the next request
      // resolves it again.
    }
  }
} displayNameAtLoad;

}  // namespace

KivSetupApp& App() { return theApp; }

}  // namespace kiv

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    kiv::theApp.SetInstance(instance);
    DisableThreadLibraryCalls(instance);
    try {
      return kiv::theApp.InitInstance() ? TRUE : FALSE;
    } catch (...) {
      // Only the name copy can fail; the load still succeeds.
      return TRUE;
    }
  }
  return TRUE;
}
