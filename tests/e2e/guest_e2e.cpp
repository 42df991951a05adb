// The DLL as a guest in a host it does not control, under Wine: a thread
// of the host that owns windows and pumps no message, window procedures
// that call back in or lie about their text, several threads calling at
// once, and the DLL loaded and unloaded again and again.
#include <cstring>

#include "e2e.h"

using namespace e2e;

namespace {

// Windows whose procedure counts the text messages it gets. A "liar"
// claims a 1 GiB title and fills any buffer; a "caller" searches again
// from inside WM_GETTEXT.
std::atomic<int> g_textMessages{0};
HvqCheckPrjOpenedProc g_check = nullptr;

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
    if (!liar) g_check("probe-inner");
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND MakeProbe(const std::string& title, bool liar) {
  HWND hwnd = MakeWindow(title, false, "HvqProbeWindow", ProbeProc);
  if (liar) SetPropA(hwnd, "liar", reinterpret_cast<HANDLE>(1));
  g_textMessages = 0;
  return hwnd;
}

DWORD ElapsedSince(DWORD start) { return GetTickCount() - start; }

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

void BusyThread(const Hvq& hvq) {
  Log("a thread of the host owns the project's window and pumps no message");
  const std::string name = Unique("busy");
  BusyOwner owner{"Viewer - " + name + ".hvq", CreateEventA(nullptr, TRUE, FALSE, nullptr),
                  CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  HANDLE thread = CreateThread(nullptr, 0, BusyOwner::Run, &owner, 0, nullptr);
  CHECK(WaitForSingleObject(owner.ready, 10000) == WAIT_OBJECT_0);
  const DWORD start = GetTickCount();
  CHECK(hvq.CheckPrjOpened(name.c_str()) == 1);
  CHECK(hvq.CheckPrjOpened(Unique("none").c_str()) == 0);
  const DWORD ms = ElapsedSince(start);
  printf("   two searches past the busy thread's window: %lu ms\n", ms);
  CHECK(ms < 1000);
  SetEvent(owner.release);
  CHECK(WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0);
  for (HANDLE h : {thread, owner.ready, owner.release}) CloseHandle(h);
}

void WindowProcedures(const Hvq& hvq) {
  Log("window procedures that call back in or lie are never asked");
  const std::string name = Unique("probe");
  HWND shows = MakeWindow("Viewer - " + name + ".hvq", false);
  HWND liar = MakeProbe("Liar - " + name + ".hvq", true);
  HWND caller = MakeProbe("Caller - " + name + ".hvq", false);
  const SIZE_T before = PrivateBytes();
  CHECK(hvq.CheckPrjOpened(name.c_str()) == 1);
  CHECK(hvq.CheckPrjOpened(Unique("none").c_str()) == 0);
  CHECK(g_textMessages == 0);
  CHECK(PrivateBytes() < before + (1 << 20));
  DestroyWindow(caller);
  DestroyWindow(shows);

  // Judged by its caption, as every other process sees it.
  CHECK(hvq.CheckPrjOpened(name.c_str()) == 1);
  SetWindowTextA(liar, "Liar");
  CHECK(hvq.CheckPrjOpened(name.c_str()) == 0);
  CHECK(g_textMessages == 0);
  DestroyWindow(liar);
}

struct Caller {
  const Hvq* hvq;
  std::string name;
  int expected;
  int wrong = 0;
  static DWORD WINAPI Run(void* self) {
    Caller* c = static_cast<Caller*>(self);
    for (int i = 0; i < 300; ++i)
      if (c->hvq->CheckPrjOpened(c->name.c_str()) != c->expected) ++c->wrong;
    return 0;
  }
};

void Threads(const Hvq& hvq) {
  Log("four threads search at once, each for its own project");
  std::vector<Caller> callers;
  std::vector<HWND> windows;
  for (int i = 0; i < 4; ++i) {
    callers.push_back({&hvq, Unique("thread") + "n" + std::to_string(i), i % 2});
    if (i % 2) windows.push_back(MakeWindow("Viewer - " + callers.back().name + ".hvq", false));
  }
  for (int i = 0; i < 20; ++i)
    windows.push_back(MakeWindow("Other window " + std::to_string(i), false));
  HANDLE threads[4];
  for (int i = 0; i < 4; ++i)
    threads[i] = CreateThread(nullptr, 0, Caller::Run, &callers[i], 0, nullptr);
  CHECK(WaitForMultipleObjects(4, threads, TRUE, 60000) == WAIT_OBJECT_0);
  for (int i = 0; i < 4; ++i) {
    CHECK(callers[i].wrong == 0);
    CloseHandle(threads[i]);
  }
  for (HWND w : windows) DestroyWindow(w);
}

void LoadUnload(int cycles) {
  Log("the DLL loaded, called and unloaded again and again");
  // As in a host with a user interface, the shell stays loaded between
  // cycles; only the DLL itself comes and goes.
  HMODULE shell = LoadLibraryA("shell32.dll");
  const Residue left = LoadCallUnload(ExeDir() + "hvqlaunch.dll", cycles);
  const long grown = left.bytes;
  const int opened = left.handles;
  printf("   after %d more cycles: %+ld bytes, %+d handles\n", cycles, grown, opened);
  CHECK(grown <= 64 * 1024);
  CHECK(opened <= 0);
  CHECK(GetModuleHandleA("hvqlaunch.dll") == nullptr);
  FreeLibrary(shell);
}

}  // namespace

int main(int argc, char** argv) {
  const int cycles = argc > 1 ? atoi(argv[1]) : 2000;
  Hvq hvq = LoadHvq();
  if (!hvq.module) return Summary();
  g_check = hvq.CheckPrjOpened;
  BusyThread(hvq);
  WindowProcedures(hvq);
  Threads(hvq);
  CHECK(FreeLibrary(hvq.module) != FALSE);
  LoadUnload(cycles);
  return Summary();
}
