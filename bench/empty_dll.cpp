// An empty DLL built with the library's own flags: the reference for the
// cost of loading and unloading the library.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
