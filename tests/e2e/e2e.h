// What the Windows benchmarks share: the DLL's exports, real windows and
// other processes, files and the association.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "hvqlaunch.h"
#ifndef _WIN64
#include "../../selftest/host_string.h"
#endif

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

// The folder of the running program, with a trailing backslash.
inline std::string ExeDir() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of('\\') + 1);
}

// An export by name, which must be the export at its ordinal too.
template <typename Proc>
Proc Export(HMODULE module, const char* name, int ordinal) {
  FARPROC byName = GetProcAddress(module, name);
  CHECK(byName != nullptr && byName == GetProcAddress(module, MAKEINTRESOURCEA(ordinal)));
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(byName));
}

// The DLL's search and, on x86, the original StartVRAN3D. On x64 the
// search is the C entry point (the same convention there).
struct Hvq {
  HMODULE module = nullptr;
  HvqCheckPrjOpenedProc CheckPrjOpened = nullptr;
#ifndef _WIN64
  HvqStartVRAN3DProc StartVRAN3D = nullptr;
#endif
};

// Loads hvqlaunch.dll beside the program; each export must resolve by its
// name and by ordinal, to the same address.
inline Hvq LoadHvq() {
  Hvq hvq;
  hvq.module = LoadLibraryA((ExeDir() + "hvqlaunch.dll").c_str());
  if (!CHECK(hvq.module != nullptr)) return hvq;
#ifdef _WIN64
  hvq.CheckPrjOpened =
      Export<HvqCheckPrjOpenedProc>(hvq.module, "HvqCheckPrjOpenedA", HVQ_CHECKPRJOPENEDA_ORDINAL);
#else
  hvq.CheckPrjOpened = Export<HvqCheckPrjOpenedProc>(hvq.module, HVQ_CHECKPRJOPENED_NAME,
                                                     HVQ_CHECKPRJOPENED_ORDINAL);
  hvq.StartVRAN3D =
      Export<HvqStartVRAN3DProc>(hvq.module, HVQ_STARTVRAN3D_NAME, HVQ_STARTVRAN3D_ORDINAL);
#endif
  return hvq;
}

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

// Committed private memory, summed over the address space (the process
// counters are not kept under Wine).
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

// Open handles of this process, found by probing each handle value (Wine
// keeps no handle count).
inline int HandleCount() {
  int count = 0;
  DWORD flags;
  for (ULONG_PTR h = 4; h < 0x10000; h += 4)
    if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags)) ++count;
  return count;
}

// What cycles of LoadLibraryA, a search (when the DLL exports one) and
// FreeLibrary leave behind, counted after 100 cycles to settle.
struct Residue {
  long bytes;
  int handles;
};

inline Residue LoadCallUnload(const std::string& path, int cycles) {
  const auto cycle = [&] {
    HMODULE module = LoadLibraryA(path.c_str());
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

// A unique word for this run, so that no other window on the desktop can
// hold the names the test looks for.
inline std::string Unique(const char* stem) {
  return std::string(stem) + std::to_string(GetCurrentProcessId()) + "x" +
         std::to_string(GetTickCount() % 100000);
}

// This program run again as another process, "PROGRAM child EVENT ARGS":
// the child sets up what it is asked to, calls ChildReady, and pumps
// messages until the parent ends it.
inline const char* g_childEvent = nullptr;

inline bool IsChild(int argc, char** argv) {
  if (argc < 3 || strcmp(argv[1], "child") != 0) return false;
  g_childEvent = argv[2];
  return true;
}

inline void ChildReady() {
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, g_childEvent);
  SetEvent(ready);
  CloseHandle(ready);
  PumpMessages(120000);  // ended by the parent long before
}

class ChildProcess {
 public:
  explicit ChildProcess(const std::string& args) {
    const std::string event = Unique("hvqready");
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, event.c_str());
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string cmd = "\"" + std::string(path) + "\" child " + event + " " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (CHECK(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                             &m_pi) != FALSE))
      CHECK(WaitForSingleObject(ready, 60000) == WAIT_OBJECT_0);
    CloseHandle(ready);
  }
  ~ChildProcess() {
    if (!m_pi.hProcess) return;
    TerminateProcess(m_pi.hProcess, 0);
    WaitForSingleObject(m_pi.hProcess, 10000);
    CloseHandle(m_pi.hProcess);
    CloseHandle(m_pi.hThread);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

 private:
  PROCESS_INFORMATION m_pi = {};
};

#ifndef _WIN64
inline void Start(const Hvq& hvq, const std::string& folder, const std::string& name) {
  HostString f(folder, -1), n(name, -1);
  hvq.StartVRAN3D(f.Arg(), n.Arg());
}
#endif

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Registers the sample viewer beside this program for ".hvq" (on), or
// removes the registration (off).
inline void RegisterViewer(bool on) {
  if (!on) {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Classes\\HvqTest.Document");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Classes\\.hvq");
    return;
  }
  const std::string command = "\"" + ExeDir() + "hvqviewer.exe\" \"%1\"";
  const std::pair<const char*, std::string> keys[] = {
      {"Software\\Classes\\.hvq", "HvqTest.Document"},
      {"Software\\Classes\\HvqTest.Document\\shell\\open\\command", command}};
  for (const auto& [key, value] : keys) {
    HKEY hkey;
    CHECK(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hkey,
                          nullptr) == ERROR_SUCCESS);
    RegSetValueExA(hkey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   DWORD(value.size() + 1));
    RegCloseKey(hkey);
  }
}

}  // namespace e2e
