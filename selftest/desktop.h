// What a host does on the desktop that the self-test, its viewer and the
// benchmarks share: windows of its own, its message loop, a launch as
// another host, and what the DLL leaves behind in it (memory and handles,
// which Wine does not count itself).
#pragma once

#include <windows.h>
// after windows.h
#include <objbase.h>

#include <string>

#include "hvqlaunch.h"

namespace selftest {

// A top-level window of this thread, of a class with the given procedure
// (registered on first use). The title is set after creation: creation
// cuts titles at 64 KiB, setting them does not.
inline HWND MakeWindow(const std::string& title, bool visible,
                       const char* className = "HvqTestWindow", WNDPROC proc = DefWindowProcA) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = className;
  RegisterClassA(&wc);  // fails harmlessly once the class exists
  HWND hwnd = CreateWindowExA(0, className, "", WS_OVERLAPPEDWINDOW, 10, 10, 320, 120, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
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

// A launch as a host of its own would make it: the DLL loaded in this
// process, in a single-threaded apartment as docs/hosts.md asks, with
// HvqStartVRAN3DExW and no message. Its outcome, or `missing` without the
// export.
inline int StartAsAnotherHost(const wchar_t* dll, const std::wstring& folder,
                              const std::wstring& name, int missing) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  HMODULE module = LoadLibraryW(dll);
  auto start = reinterpret_cast<HvqStartVRAN3DExWProc>(
      reinterpret_cast<void*>(GetProcAddress(module, "HvqStartVRAN3DExW")));
  return start ? start(folder.c_str(), name.c_str(), HVQ_NO_MESSAGE) : missing;
}

// A process's time of creation, as the viewers record it, so that one is
// ended only while its id is still its own.
inline std::string CreationTime(HANDLE process) {
  FILETIME created = {}, exited, kernel, user;
  GetProcessTimes(process, &created, &exited, &kernel, &user);
  return std::to_string(created.dwHighDateTime) + " " + std::to_string(created.dwLowDateTime);
}

// Committed private memory, summed over the address space.
inline SIZE_T PrivateBytes() {
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION info;
  for (const char* p = nullptr; VirtualQuery(p, &info, sizeof info) == sizeof info;
       p = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
    if (static_cast<const char*>(info.BaseAddress) + info.RegionSize < p) break;
  }
  return total;
}

// Open handles of this process, found by probing each handle value.
inline int HandleCount() {
  int count = 0;
  DWORD flags;
  for (ULONG_PTR h = 4; h < 0x10000; h += 4)
    if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags)) ++count;
  return count;
}

// What cycles of LoadLibrary, a search (when the DLL exports one) and
// FreeLibrary leave behind, counted after 100 cycles to settle.
struct Residue {
  long bytes;
  int handles;
};

inline Residue LoadCallUnload(const std::wstring& path, int cycles) {
  const auto cycle = [&] {
    HMODULE module = LoadLibraryW(path.c_str());
    auto check = reinterpret_cast<HvqCheckPrjOpenedProc>(
        reinterpret_cast<void*>(GetProcAddress(module, HVQ_CHECKPRJOPENED_NAME)));
    if (check) check("cycle");
    FreeLibrary(module);
  };
  for (int i = 0; i < 100; ++i) cycle();
  const SIZE_T bytes = PrivateBytes();
  const int handles = HandleCount();
  for (int i = 0; i < cycles; ++i) cycle();
  return {long(PrivateBytes()) - long(bytes), HandleCount() - handles};
}

}  // namespace selftest
