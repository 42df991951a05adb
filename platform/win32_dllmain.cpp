// The DLL's load and unload entry. The runtime's startup code constructs
// the module-level objects before this entry runs at load and destroys them
// after it runs at unload; the library adds nothing of its own.
#include <windows.h>

#include <cstdlib>

extern "C" BOOL WINAPI DllMain(HINSTANCE /*hinstDLL*/, DWORD /*fdwReason*/,
                               LPVOID /*lpvReserved*/) {
  return TRUE;
}

// No exception leaves the library, so nothing is ever terminated for one.
// The runtime's default handler would describe the exception first, which
// links a demangler and a printf into the DLL and doubles its size.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
