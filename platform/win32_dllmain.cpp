// The DLL's load and unload entry, the library's own: no C runtime
// start-up comes with the DLL. At load it constructs the module-level
// objects (the lock, the searched names, the launches held), running the
// constructors the compiler listed in the order the C runtime would; at
// unload it destroys them, each constructor having registered its
// destructor through atexit, in the reverse order.
#include <windows.h>

typedef void (*HvqStaticFunction)();

// Written by the linker: -1, the constructors, then a null.
extern "C" HvqStaticFunction __CTOR_LIST__[];

namespace {
const int c_nMaxExits = 16;
HvqStaticFunction s_apfnExits[c_nMaxExits];
int s_nExits = 0;
}  // namespace

// Only the loader's thread, under its lock, calls it: at load.
extern "C" int __cdecl atexit(HvqStaticFunction pfn) {
  if (s_nExits == c_nMaxExits) return -1;
  s_apfnExits[s_nExits++] = pfn;
  return 0;
}

extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE /*hinstDLL*/, DWORD fdwReason,
                                         LPVOID /*lpvReserved*/) {
  if (fdwReason == DLL_PROCESS_ATTACH) {
    int n = 1;
    while (__CTOR_LIST__[n]) ++n;
    while (--n > 0) __CTOR_LIST__[n]();
  } else if (fdwReason == DLL_PROCESS_DETACH) {
    while (s_nExits > 0) s_apfnExits[--s_nExits]();
  }
  return TRUE;
}
