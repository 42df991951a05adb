// The program's start-up without a C runtime, which Windows on ARM64 has
// none of here: the entry point runs the constructors the compiler listed
// (the cases register themselves so), then the program. The containers of
// the C++ library it uses are its headers' alone; what they call beyond
// them is here: the heap of the process for new and delete, and their
// errors, which end the run with the status of a run that could not go on.
#include <windows.h>

#include <cstddef>
#include <new>

int SelftestMain();

typedef void (*StaticFunction)();
extern "C" StaticFunction __CTOR_LIST__[];  // written by the linker: -1, them, null

namespace {
const int c_maxExits = 64;
StaticFunction s_exits[c_maxExits];
int s_exitCount = 0;

[[noreturn]] void Fatal(const char* what) {
  DWORD written = 0;
  HANDLE out = GetStdHandle(STD_ERROR_HANDLE);
  WriteFile(out, "hvqlaunch-selftest: ", 20, &written, nullptr);
  WriteFile(out, what, DWORD(lstrlenA(what)), &written, nullptr);
  WriteFile(out, "\r\n", 2, &written, nullptr);
  ExitProcess(2);
}
}  // namespace

extern "C" int __cdecl atexit(StaticFunction f) {
  if (s_exitCount == c_maxExits) return -1;
  s_exits[s_exitCount++] = f;
  return 0;
}

extern "C" void __stdcall SelftestStart() {
  int n = 1;
  while (__CTOR_LIST__[n]) ++n;
  while (--n > 0) __CTOR_LIST__[n]();
  const int status = SelftestMain();
  while (s_exitCount > 0) s_exits[--s_exitCount]();
  ExitProcess(UINT(status));
}

void* operator new(std::size_t size) {
  if (void* p = HeapAlloc(GetProcessHeap(), 0, size ? size : 1)) return p;
  Fatal("out of memory");
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept {
  if (p) HeapFree(GetProcessHeap(), 0, p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace std {
[[noreturn]] void __throw_length_error(const char* what) { Fatal(what); }
[[noreturn]] void __throw_logic_error(const char* what) { Fatal(what); }
[[noreturn]] void __throw_out_of_range_fmt(const char* what, ...) { Fatal(what); }
[[noreturn]] void __throw_bad_alloc() { Fatal("out of memory"); }
[[noreturn]] void __throw_bad_array_new_length() { Fatal("bad array length"); }
void __glibcxx_assert_fail(const char*, int, const char*, const char* what) noexcept {
  Fatal(what);
}
}  // namespace std
