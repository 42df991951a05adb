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

#include "../../selftest/desktop.h"
#include "hvqlaunch.h"
#ifndef _WIN64
#include "../../selftest/host_string.h"
#endif

namespace e2e {

using selftest::LoadCallUnload;
using selftest::MakeWindow;
using selftest::PumpMessages;
using selftest::Residue;

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

// A narrow launch: on x86 the original StartVRAN3D, elsewhere the C entry.
inline void Start(const Hvq& hvq, const std::string& folder, const std::string& name) {
#ifdef _WIN64
  reinterpret_cast<HvqStartVRAN3DAProc>(reinterpret_cast<void*>(
      GetProcAddress(hvq.module, "HvqStartVRAN3DA")))(folder.c_str(), name.c_str());
#else
  HostString f(folder, -1), n(name, -1);
  hvq.StartVRAN3D(f.Arg(), n.Arg());
#endif
}

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
