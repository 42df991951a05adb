// The few system functions the stand-ins and the test hosts import, as a
// program built without a C runtime or the SDK's headers declares them.
#pragma once

extern "C" {
__declspec(dllimport) int __stdcall CreateDirectoryA(const char* path, void* security);
__declspec(dllimport) int __stdcall CreateDirectoryW(const wchar_t* path, void* security);
[[noreturn]] __declspec(dllimport) void __stdcall ExitProcess(unsigned code);
__declspec(dllimport) unsigned long __stdcall GetFileAttributesA(const char* path);
__declspec(dllimport) unsigned long __stdcall GetFileAttributesW(const wchar_t* path);
__declspec(dllimport) void* __stdcall GetProcessHeap();
__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) void* __stdcall HeapAlloc(void* heap, unsigned long flags,
                                                __SIZE_TYPE__ size);
__declspec(dllimport) int __stdcall HeapFree(void* heap, unsigned long flags, void* p);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* data, unsigned long size,
                                              unsigned long* written, void* overlapped);
__declspec(dllimport) void* __stdcall CreateWindowExA(unsigned long exStyle, const char* cls,
                                                      const char* title, unsigned long style, int x,
                                                      int y, int w, int h, void* parent, void* menu,
                                                      void* instance, void* param);
__declspec(dllimport) int __stdcall DestroyWindow(void* hwnd);
}

typedef __SIZE_TYPE__ Size;
typedef __INTPTR_TYPE__ IntPtr;

// Not exported by the 64-bit KERNEL32: compiled in, as compilers do.
inline long InterlockedIncrement(long volatile* p) {
  return __atomic_add_fetch(p, 1, __ATOMIC_SEQ_CST);
}
inline long InterlockedDecrement(long volatile* p) {
  return __atomic_sub_fetch(p, 1, __ATOMIC_SEQ_CST);
}

template <typename T>
inline int Length(const T* s) {
  int n = 0;
  while (s[n]) ++n;
  return n;
}
