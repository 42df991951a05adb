// The DLL's load and unload entry. The runtime's startup code constructs
// the module-level objects before this entry runs at load and destroys them
// after it runs at unload; the library adds nothing of its own.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE /*hinstDLL*/, DWORD /*fdwReason*/,
                               LPVOID /*lpvReserved*/) {
  return TRUE;
}
