// Shared pieces of the end-to-end test programs: checks with a closing
// "N passed, N failed" line, the DLL's two exports, and real windows.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "hvqlaunch.h"

namespace e2e {

inline int g_passed = 0;
inline int g_failed = 0;

inline bool Check(bool ok, const char* what, const char* file, int line) {
  if (ok) {
    ++g_passed;
  } else {
    ++g_failed;
    printf("FAILED %s:%d: %s\n", file, line, what);
    fflush(stdout);
  }
  return ok;
}
#define CHECK(cond) ::e2e::Check((cond), #cond, __FILE__, __LINE__)

inline int Summary() {
  printf("%d passed, %d failed\n", g_passed, g_failed);
  fflush(stdout);
  return g_failed == 0 ? 0 : 1;
}

inline void Log(const char* what) {
  printf("-- %s\n", what);
  fflush(stdout);
}

// The folder of the running program, with a trailing backslash.
inline std::string ExeDir() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of('\\') + 1);
}

struct Hvq {
  HMODULE module = nullptr;
  HvqCheckPrjOpenedProc CheckPrjOpened = nullptr;
  HvqStartVRAN3DProc StartVRAN3D = nullptr;
};

// Loads hvqlaunch.dll beside the program; both exports must resolve by
// their decorated names and by ordinal, to the same address.
inline Hvq LoadHvq() {
  Hvq hvq;
  hvq.module = LoadLibraryA((ExeDir() + "hvqlaunch.dll").c_str());
  if (!CHECK(hvq.module != nullptr)) return hvq;
  FARPROC check = GetProcAddress(hvq.module, HVQ_CHECKPRJOPENED_NAME);
  FARPROC start = GetProcAddress(hvq.module, HVQ_STARTVRAN3D_NAME);
  CHECK(check != nullptr && start != nullptr);
  CHECK(check == GetProcAddress(hvq.module, MAKEINTRESOURCEA(HVQ_CHECKPRJOPENED_ORDINAL)));
  CHECK(start == GetProcAddress(hvq.module, MAKEINTRESOURCEA(HVQ_STARTVRAN3D_ORDINAL)));
  hvq.CheckPrjOpened = reinterpret_cast<HvqCheckPrjOpenedProc>(reinterpret_cast<void*>(check));
  hvq.StartVRAN3D = reinterpret_cast<HvqStartVRAN3DProc>(reinterpret_cast<void*>(start));
  return hvq;
}

// A top-level window of this thread. The title is set after creation:
// creation cuts titles at 64 KiB, setting them does not.
inline HWND MakeWindow(const std::string& title, bool visible) {
  static ATOM atom = 0;
  if (!atom) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "HvqTestWindow";
    atom = RegisterClassA(&wc);
  }
  HWND hwnd = CreateWindowExA(0, "HvqTestWindow", "", WS_OVERLAPPEDWINDOW, 10, 10, 320, 120,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetWindowTextA(hwnd, title.c_str());
  if (visible) ShowWindow(hwnd, SW_SHOW);
  return hwnd;
}

inline void PumpMessages(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  } while (int(end - GetTickCount()) > 0);
}

// A unique word for this run, so that no other window on the desktop can
// hold the names the test looks for.
inline std::string Unique(const char* stem) {
  return std::string(stem) + std::to_string(GetCurrentProcessId()) + "x" +
         std::to_string(GetTickCount() % 100000);
}

}  // namespace e2e
