// The launch against the platform calls it cannot do without, in the same
// process: a prepared project opened through the shell against
// ShellExecuteA alone; the first launch with a 64 MiB template against
// CopyFileA of that file alone; a launch of a project shown open, which
// names the document's record from its identity, against the search
// alone; and loading plus unloading the DLL against an empty DLL built
// with the same flags, in time and in what 10,000 cycles leave behind.
// A program of the self-test's kit: ".hvq" opens with the kit's viewer,
// which the run registers and puts back, and the template is the one on
// d: (scripts/bench gives it 64 MiB).
#include "bench.h"
#include "selftest.h"
// after windows.h
#include <shellapi.h>

using namespace selftest;

namespace {

void RemovePrepared(const std::wstring& dir, const std::wstring& name) {
  DeleteFileW((dir + L"\\3d\\" + name + L".hvq").c_str());
  RemoveDirectoryW((dir + L"\\3d\\images").c_str());
  RemoveDirectoryW((dir + L"\\3d\\treepics").c_str());
  RemoveDirectoryW((dir + L"\\3d").c_str());
}

// Until the viewer a launch started has come and gone: the shell has
// started it by the time the launch returns.
void ViewerGone() {
  CHECK(WaitFor(20000, [] { return Viewers() == 0; }));
}

CASE("bench.launch", 900) {
  if (!NeedAssociation() || !NeedAnsiRoot()) return;
  SetEnvironmentVariableW(L"HVQ_VIEWER_SECONDS", L"0");  // the viewer records and exits
  const std::string proj = AtA("bench-proj");
  CreateDirectoryW(At(L"bench-proj").c_str(), nullptr);
  WriteAll(At(L"bench-proj\\deck.hvq"), "document");
  Start(proj, "deck");  // prepares it
  ViewerGone();
  const std::string document = proj + "\\deck.hvq";
  const bench::Pair open = bench::Compare(
      21, [&] { Start(proj, "deck"); },
      [&] { ShellExecuteA(nullptr, "open", document.c_str(), nullptr, nullptr, SW_SHOWNORMAL); },
      ViewerGone, ViewerGone);
  ViewerGone();
  Note(bench::Row("Launch of a prepared project, opened by the shell", "StartVRAN3D",
                  "ShellExecuteA", open, "<= 1.10"));

  if (!HaveTemplate()) return;
  const std::string first = AtA("bench-first"), copy = AtA("bench-copy.hvq");
  CreateDirectoryW(At(L"bench-first").c_str(), nullptr);
  WriteAll(At(L"bench-first\\first.hvq"), "document");  // its identity is read
  HWND shown = MakeWindow("Viewer - " + first + "\\first.hvq", false);
  const bench::Pair copied = bench::Compare(
      31, [&] { Start(first, "first"); },
      [&] { CopyFileA("d:\\tolvern4\\3d\\2006.hvq", copy.c_str(), TRUE); },
      [&] { RemovePrepared(At(L"bench-first"), L"first"); }, [&] { DeleteFileA(copy.c_str()); });
  CHECK(Copied(At(L"bench-first\\3d\\first.hvq")));
  Note(bench::Row("First launch, " + std::to_string(g_run.templateBytes.size() >> 20) +
                      " MiB template (project shown open)",
                  "StartVRAN3D", "CopyFileA", copied, "<= 1.05"));
  const bench::Pair named = bench::Compare(
      31, [&] { Start(first, "first"); }, [&] { CheckPrjOpened("first"); });
  Note(bench::Row("Launch of a prepared project shown open: the search and the document's identity",
                  "StartVRAN3D", "CheckPrjOpened", named, "report"));
  DestroyWindow(shown);
  CHECK_EQ(Viewers(), 0);
}

std::string Signed(long n) { return (n >= 0 ? "+" : "") + std::to_string(n); }

// The run keeps the DLL loaded: it is let go here, so that each cycle
// loads and unloads it, and taken again afterwards.
CASE("bench.load", 900) {
  FreeLibrary(g_run.dll);
  const std::wstring dir = g_run.dllPath.substr(0, g_run.dllPath.find_last_of(L'\\') + 1);
  const std::wstring empty = dir + L"empty_dll.dll";
  const auto cycles = [](const std::wstring& path, int n) {
    for (int i = 0; i < n; ++i) FreeLibrary(LoadLibraryW(path.c_str()));
  };
  const bench::Pair load = bench::Compare(
      31, [&] { cycles(g_run.dllPath, 20); }, [&] { cycles(empty, 20); });
  Note(bench::Row("LoadLibraryA + FreeLibrary, 20 cycles", "hvqlaunch.dll", "empty DLL", load,
                  "<= 1.05"));

  // What 10,000 cycles leave behind, each with a search for the DLL.
  const Residue mine = LoadCallUnload(g_run.dllPath, 10000);
  const Residue none = LoadCallUnload(empty, 10000);
  Note(
      "| 10,000 cycles of LoadLibraryA, a call, FreeLibrary: committed private memory and "
      "handles afterwards | hvqlaunch.dll: " +
      Signed(mine.bytes) + " bytes, " + Signed(mine.handles) + " handles | empty DLL: " +
      Signed(none.bytes) + " bytes, " + Signed(none.handles) + " handles | | as the empty DLL |");
  g_run.dll = LoadLibraryW(g_run.dllPath.c_str());
}

}  // namespace
