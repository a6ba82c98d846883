#include "plugin-lifetime.h"

#include "client-access.h"
#include "family-registry.h"
#include "host-modules.h"
#include "host-utilities.h"
#include "load-steps.h"
#include "vfs-entry.h"

#include <windows.h>

namespace {

// Module shutdown, in the order the layers were built up: the utilities'
// caches first, then the client API and the client themselves last.
using TReleaseRoutine = void (*)();
constexpr TReleaseRoutine kReleaseRoutines[] = {
    &ReleaseLocalIdentity,  &ReleaseVfsEntries,   &ReleaseHostModules,
    &ReleaseDeviceFamilies, &ReleaseClientAccess,
};

} // namespace

void ReleaseHostServices() {
  for (const TReleaseRoutine routine : kReleaseRoutines) {
    try {
      routine();
    } catch (...) {
      // A host that fails a release does not keep the others held.
    }
  }
}

namespace {

template <class TWork> void WithoutRaising(TWork AWork) {
  try {
    AWork();
  } catch (...) {
    // Nothing raised leaves the library's entry point.
  }
}

} // namespace

// The library's window classes are registered under its own instance when
// it is loaded; the units of its libraries start at the first export the
// loading thread calls (load-steps.h), not here: under the loader lock a
// start-up must not load other libraries (UxTheme.dll, dwmapi.dll) nor make
// windows whose procedures may load more. The host unloads the plug-in with
// FreeLibrary while it still lives (AReserved is null): the units shut down
// in reverse (their windows, hooks, timers and handles go), then the windows
// and classes whose procedures go with the library (what waits for a
// deferred destruction is freed then, while the host can still be told),
// then every reference the plug-in took goes back, all before the library's
// static objects are destroyed. At process exit (AReserved non-null) the
// host's objects may already be gone, so nothing is touched.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD AReason, LPVOID AReserved) {
  if (AReason == DLL_PROCESS_ATTACH) {
    WithoutRaising(&NoteLoadingThread);
    WithoutRaising(&RegisterModuleWindowClasses);
  }
  if (AReason == DLL_PROCESS_DETACH && AReserved == nullptr) {
    WithoutRaising(&ShutDownModule);
    WithoutRaising(&UnregisterModuleWindowClasses);
    ReleaseHostServices();
  }
  return TRUE;
}
