// What the MSVC-ABI test hosts share: they are built freestanding (no C
// runtime), so they declare the few system functions they import, print
// with WriteFile and count their checks themselves.
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

namespace {

// Not exported by the 64-bit KERNEL32: compiled in, as compilers do.
long InterlockedIncrement(long volatile* p) { return __atomic_add_fetch(p, 1, __ATOMIC_SEQ_CST); }
long InterlockedDecrement(long volatile* p) { return __atomic_sub_fetch(p, 1, __ATOMIC_SEQ_CST); }

template <typename T>
int Length(const T* s) {
  int n = 0;
  while (s[n]) ++n;
  return n;
}

int g_passed = 0, g_failed = 0;

void Print(const char* s) {
  unsigned long written = 0;
  WriteFile(GetStdHandle(static_cast<unsigned long>(-11)), s, unsigned(Length(s)), &written, 0);
}

void PrintNumber(int n) {
  char digits[12];
  int i = 11;
  digits[i] = 0;
  do {
    digits[--i] = char('0' + n % 10);
    n /= 10;
  } while (n);
  Print(digits + i);
}

void Check(bool ok, const char* what, int line) {
  if (ok) {
    ++g_passed;
    return;
  }
  ++g_failed;
  Print("FAILED line ");
  PrintNumber(line);
  Print(": ");
  Print(what);
  Print("\n");
}
#define CHECK(cond) Check((cond), #cond, __LINE__)

[[noreturn]] void Finish() {
  PrintNumber(g_passed);
  Print(" passed, ");
  PrintNumber(g_failed);
  Print(" failed\n");
  ExitProcess(g_failed == 0 ? 0 : 1);
}

bool IsFolder(const char* path) {
  const unsigned long attributes = GetFileAttributesA(path);
  return attributes != 0xFFFFFFFFul && (attributes & 0x10);
}

// A hidden top-level window whose title shows a project as open, so that
// the launch stays away from the shell.
void* ShowOpen(const char* title) {
  return CreateWindowExA(0, "STATIC", title, 0, 0, 0, 10, 10, 0, 0, 0, 0);
}

}  // namespace
