// The launch against the platform calls it cannot do without, in the same
// process: a prepared project opened through the shell against
// ShellExecuteA alone; the first launch with a 64 MiB template against
// CopyFileA of that file alone; a launch of a project shown open, which
// names the document's record from its identity, against the search
// alone; and loading plus unloading the DLL against
// an empty DLL built with the same flags, in time and in what 10,000
// cycles leave behind.
#include "../tests/e2e/e2e.h"
#include "bench.h"

#include <shellapi.h>

namespace {

void RemovePrepared(const std::string& dir, const std::string& name) {
  DeleteFileA((dir + "\\3d\\" + name + ".hvq").c_str());
  RemoveDirectoryA((dir + "\\3d\\images").c_str());
  RemoveDirectoryA((dir + "\\3d\\treepics").c_str());
  RemoveDirectoryA((dir + "\\3d").c_str());
}

}  // namespace

int main() {
  e2e::Hvq hvq = e2e::LoadHvq();
  if (!hvq.module) return 1;
  e2e::RegisterViewer(true);
  SetEnvironmentVariableA("HVQ_VIEWER_SECONDS", "0");
  CreateDirectoryA("d:\\tolvern4", nullptr);
  CreateDirectoryA("d:\\tolvern4\\3d", nullptr);
  e2e::WriteFile("d:\\tolvern4\\3d\\2006.hvq", "small template");
  CreateDirectoryA("d:\\bench", nullptr);
  CreateDirectoryA("d:\\bench\\proj", nullptr);
  e2e::WriteFile("d:\\bench\\proj\\deck.hvq", "document");
  e2e::Start(hvq, "d:\\bench\\proj", "deck");  // prepares it

  // Each run starts once the viewer of the last one has come and gone.
  const auto settle = [] { Sleep(150); };
  const bench::Pair open = bench::Compare(
      21, [&] { e2e::Start(hvq, "d:\\bench\\proj", "deck"); },
      [&] {
        ShellExecuteA(nullptr, "open", "d:\\bench\\proj\\deck.hvq", nullptr, nullptr,
                      SW_SHOWNORMAL);
      },
      settle, settle);
  bench::Row("Launch of a prepared project, opened by the shell", "StartVRAN3D", "ShellExecuteA",
             open, "<= 1.10");

  std::string big(64 << 20, '\0');
  for (size_t i = 0; i < big.size(); i += 4096) big[i] = char(i >> 12);
  e2e::WriteFile("d:\\tolvern4\\3d\\2006.hvq", big);
  big.clear();
  CreateDirectoryA("d:\\bench\\first", nullptr);
  e2e::WriteFile("d:\\bench\\first\\first.hvq", "document");  // its identity is read
  HWND shown = e2e::MakeWindow("Viewer - d:\\bench\\first\\first.hvq", false);
  const bench::Pair first = bench::Compare(
      31, [&] { e2e::Start(hvq, "d:\\bench\\first", "first"); },
      [&] { CopyFileA("d:\\tolvern4\\3d\\2006.hvq", "d:\\bench\\copy.hvq", TRUE); },
      [&] { RemovePrepared("d:\\bench\\first", "first"); },
      [&] { DeleteFileA("d:\\bench\\copy.hvq"); });
  bench::Row("First launch, 64 MiB template (project shown open)", "StartVRAN3D", "CopyFileA",
             first, "<= 1.05");
  const bench::Pair named = bench::Compare(
      31, [&] { e2e::Start(hvq, "d:\\bench\\first", "first"); },
      [&] { hvq.CheckPrjOpened("first"); });
  bench::Row("Launch of a prepared project shown open: the search and the document's identity",
             "StartVRAN3D", "CheckPrjOpened", named, "report");
  DestroyWindow(shown);
  FreeLibrary(hvq.module);

  const std::string dll = e2e::ExeDir() + "hvqlaunch.dll";
  const std::string empty = e2e::ExeDir() + "empty_dll.dll";
  const auto cycles = [](const std::string& path, int n) {
    for (int i = 0; i < n; ++i) FreeLibrary(LoadLibraryA(path.c_str()));
  };
  const bench::Pair load = bench::Compare(
      31, [&] { cycles(dll, 20); }, [&] { cycles(empty, 20); });
  bench::Row("LoadLibraryA + FreeLibrary, 20 cycles", "hvqlaunch.dll", "empty DLL", load,
             "<= 1.05");

  // What 10,000 cycles leave behind, each with a search for the DLL.
  const e2e::Residue mine = e2e::LoadCallUnload(std::wstring(dll.begin(), dll.end()), 10000);
  const e2e::Residue none = e2e::LoadCallUnload(std::wstring(empty.begin(), empty.end()), 10000);
  printf(
      "| 10,000 cycles of LoadLibraryA, a call, FreeLibrary: committed private memory and "
      "handles afterwards | hvqlaunch.dll: %+ld bytes, %+d handles | empty DLL: %+ld bytes, "
      "%+d handles | | as the empty DLL |\n",
      mine.bytes, mine.handles, none.bytes, none.handles);
  e2e::RegisterViewer(false);
  return 0;
}
