// The DLL as a guest in a host it does not control: a thread of the host
// that owns windows and pumps no message, window procedures that call back
// in or lie about their text, several threads calling at once, the DLL
// loaded and unloaded again and again, and thousands of launches, with
// memory and handles flat.
#include "selftest.h"

namespace selftest {
namespace {

// Windows whose procedure counts the text messages it gets. A "liar"
// claims a 1 GiB title and fills any buffer; a "caller" searches again
// from inside WM_GETTEXT.
std::atomic<int> g_textMessages{0};

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const bool liar = GetPropA(hwnd, "liar") != nullptr;
  if (msg == WM_GETTEXTLENGTH || msg == WM_GETTEXT) {
    ++g_textMessages;
    if (liar && msg == WM_GETTEXTLENGTH) return 0x3FFFFFFF;
    if (liar && wParam > 0) {
      char* out = reinterpret_cast<char*>(lParam);
      memset(out, 'x', wParam - 1);
      out[wParam - 1] = '\0';
      return LRESULT(wParam - 1);
    }
    if (!liar) CheckPrjOpened("probe-inner");
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND MakeProbe(const std::string& title, bool liar) {
  HWND hwnd = MakeWindow(title, false, "HvqProbeWindow", ProbeProc);
  if (liar) SetPropA(hwnd, "liar", reinterpret_cast<HANDLE>(1));
  g_textMessages = 0;
  return hwnd;
}

// A thread that owns a window showing the project, then waits without
// pumping a message until it is released.
struct BusyOwner {
  std::string title;
  HANDLE ready, release;
  static DWORD WINAPI Run(void* self) {
    BusyOwner* b = static_cast<BusyOwner*>(self);
    HWND hwnd = MakeWindow(b->title, true);
    SetEvent(b->ready);
    WaitForSingleObject(b->release, 20000);
    DestroyWindow(hwnd);
    return 0;
  }
};

CASE("guest.busy-thread") {
  const std::string name = Unique("busy");
  BusyOwner owner{"Viewer - " + name + ".hvq", CreateEventA(nullptr, TRUE, FALSE, nullptr),
                  CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  HANDLE thread = CreateThread(nullptr, 0, BusyOwner::Run, &owner, 0, nullptr);
  CHECK(WaitForSingleObject(owner.ready, 10000) == WAIT_OBJECT_0);
  const DWORD start = GetTickCount();
  CHECK_EQ(CheckPrjOpened(name.c_str()), 1);
  CHECK_EQ(CheckPrjOpened(Unique("none").c_str()), 0);
  const DWORD ms = GetTickCount() - start;
  Note("two searches past the busy thread's window: " + std::to_string(ms) + " ms");
  CHECK(ms < 1000);
  SetEvent(owner.release);
  CHECK(WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0);
  for (HANDLE h : {thread, owner.ready, owner.release}) CloseHandle(h);
}

CASE("guest.window-procedures") {
  // Windows that call back in or lie are never asked.
  const std::string name = Unique("probe");
  HWND shows = MakeWindow("Viewer - " + name + ".hvq", false);
  HWND liar = MakeProbe("Liar - " + name + ".hvq", true);
  HWND caller = MakeProbe("Caller - " + name + ".hvq", false);
  const SIZE_T before = PrivateBytes();
  CHECK_EQ(CheckPrjOpened(name.c_str()), 1);
  CHECK_EQ(CheckPrjOpened(Unique("none").c_str()), 0);
  CHECK_EQ(g_textMessages.load(), 0);
  CHECK(PrivateBytes() < before + (1 << 20));
  DestroyWindow(caller);
  DestroyWindow(shows);

  // Judged by its caption, as every other process sees it.
  CHECK_EQ(CheckPrjOpened(name.c_str()), 1);
  SetWindowTextA(liar, "Liar");
  CHECK_EQ(CheckPrjOpened(name.c_str()), 0);
  CHECK_EQ(g_textMessages.load(), 0);
  DestroyWindow(liar);
}

struct Caller {
  std::string name;
  int expected;
  int wrong = 0;
  static DWORD WINAPI Run(void* self) {
    Caller* c = static_cast<Caller*>(self);
    for (int i = 0; i < 300; ++i)
      if (CheckPrjOpened(c->name.c_str()) != c->expected) ++c->wrong;
    return 0;
  }
};

CASE("guest.threads") {
  // Four threads search at once, each for its own project.
  std::vector<Caller> callers;
  std::vector<HWND> windows;
  for (int i = 0; i < 4; ++i) {
    callers.push_back({Unique("thread") + "n" + std::to_string(i), i % 2});
    if (i % 2) windows.push_back(MakeWindow("Viewer - " + callers.back().name + ".hvq", false));
  }
  for (int i = 0; i < 20; ++i)
    windows.push_back(MakeWindow("Other window " + std::to_string(i), false));
  HANDLE threads[4];
  for (int i = 0; i < 4; ++i)
    threads[i] = CreateThread(nullptr, 0, Caller::Run, &callers[i], 0, nullptr);
  CHECK(WaitForMultipleObjects(4, threads, TRUE, 60000) == WAIT_OBJECT_0);
  for (int i = 0; i < 4; ++i) {
    CHECK_EQ(callers[i].wrong, 0);
    CloseHandle(threads[i]);
  }
  for (HWND w : windows) DestroyWindow(w);
}

CASE("guest.load-unload") {
  // As in a host with a user interface, the shell stays loaded between
  // cycles; only the DLL itself comes and goes.
  const int cycles = 2000;
  HMODULE shell = LoadLibraryA("shell32.dll");
  FreeLibrary(g_run.dll);
  CHECK(GetModuleHandleW(g_run.dllPath.c_str()) == nullptr);
  const Residue left = LoadCallUnload(g_run.dllPath, cycles);
  const long grown = left.bytes;
  const int opened = left.handles;
  Note("after " + std::to_string(cycles) + " more cycles: " + std::to_string(grown) + " bytes, " +
       std::to_string(opened) + " handles");
  CHECK(grown <= 64 * 1024);
  CHECK(opened <= 0);
  CHECK(GetModuleHandleW(g_run.dllPath.c_str()) == nullptr);
  g_run.dll = LoadLibraryW(g_run.dllPath.c_str());
  FreeLibrary(shell);
}

// 10,000 launches of a prepared project that is shown open, then 100 that
// reach the shell's failure and its message box. The project folders stay
// as they were, nothing appears, and the private memory stays within 1 MiB
// of where it stood after the first 100 launches.
CASE("guest.soak", 600) {
  if (!NeedAnsiRoot()) return;
  CreateDirectoryW(At(L"soak").c_str(), nullptr);
  CreateDirectoryW(At(L"soak\\proj").c_str(), nullptr);
  CreateDirectoryW(At(L"soak\\ghost").c_str(), nullptr);
  WriteAll(At(L"soak\\proj\\deck.hvq"), "document");
  const std::string proj = AtA("soak\\proj"), ghost = AtA("soak\\ghost");

  HWND shown = MakeWindow("Viewer - " + proj + "\\deck.hvq", false);
  Start(proj, "deck");  // prepares it
  BoxDismisser dismisser;
  Start(ghost, "ghost");  // prepares it; no document
  CHECK_EQ(dismisser.Count(), 1);
  const Tree before = Snapshot(At(L"soak"));
  CHECK_EQ(before.size(), HaveTemplate() ? 11u : 9u);  // without a template, no copies

  SIZE_T baseline = 0;
  const DWORD start = GetTickCount();
  for (int i = 1; i <= 10000; ++i) {
#ifdef _WIN64
    Start(proj, "deck");
#else
    HostString folder(proj, 2), name("deck", 2);  // counted: the DLL releases its reference
    Export<HvqStartVRAN3DProc>(HVQ_STARTVRAN3D_NAME, HVQ_STARTVRAN3D_ORDINAL)(folder.Arg(),
                                                                              name.Arg());
#endif
    if (i == 100) baseline = PrivateBytes();
  }
  Note("10,000 launches of an open project: " + std::to_string(GetTickCount() - start) + " ms");

  for (int i = 0; i < 100; ++i) Start(ghost, "ghost");
  PumpMessages(200);
  CHECK_EQ(dismisser.Count(), 101);
  const SIZE_T after = PrivateBytes();
  Note("private bytes after 100 launches: " + std::to_string(baseline) +
       ", after the run: " + std::to_string(after));
  CHECK(after <= baseline + (1 << 20));
  CHECK(Snapshot(At(L"soak")) == before);
  DestroyWindow(shown);
}

}  // namespace
}  // namespace selftest
