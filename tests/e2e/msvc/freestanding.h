// What the MSVC-ABI test hosts share: they are built freestanding (no C
// runtime), so they declare the few system functions they import, print
// with WriteFile and count their checks themselves.
#pragma once

#include "standins/win32.h"

namespace {

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
