// A soak under Wine: 10,000 launches of a prepared project that is shown
// open, then 100 that reach the shell's failure and its message box. The
// project folders stay byte for byte as they were, nothing appears, and the
// process's private memory stays within 1 MiB of where it stood after the
// first 100 launches.
#include "e2e.h"

using namespace e2e;

int main() {
  Hvq hvq = LoadHvq();
  if (!hvq.module) return Summary();
  CreateDirectoryA("d:\\tolvern4", nullptr);
  CreateDirectoryA("d:\\tolvern4\\3d", nullptr);
  WriteFile("d:\\tolvern4\\3d\\2006.hvq", std::string(200000, 'T'));
  CreateDirectoryA("d:\\soak", nullptr);
  CreateDirectoryA("d:\\soak\\proj", nullptr);
  CreateDirectoryA("d:\\soak\\ghost", nullptr);
  WriteFile("d:\\soak\\proj\\deck.hvq", "document");

  HWND shown = MakeWindow("Viewer - d:\\soak\\proj\\deck.hvq", false);
  Start(hvq, "d:\\soak\\proj", "deck");  // prepares it
  BoxDismisser dismisser;
  Start(hvq, "d:\\soak\\ghost", "ghost");  // prepares it; no document
  CHECK(dismisser.Count() == 1);
  const Tree before = Snapshot(L"d:");
  CHECK(before.size() == 15);

  Log("10,000 launches of a project shown open");
  HostString folder("d:\\soak\\proj", 2), name("deck", 2);
  SIZE_T baseline = 0;
  const DWORD start = GetTickCount();
  for (int i = 1; i <= 10000; ++i) {
    hvq.StartVRAN3D(folder.Arg(), name.Arg());
    folder = HostString("d:\\soak\\proj", 2);
    name = HostString("deck", 2);
    if (i == 100) baseline = PrivateBytes();
  }
  printf("   %lu ms; private bytes after 100: %lu, after 10,000: %lu\n", GetTickCount() - start,
         static_cast<unsigned long>(baseline), static_cast<unsigned long>(PrivateBytes()));

  Log("100 launches that end in the message box");
  for (int i = 0; i < 100; ++i) Start(hvq, "d:\\soak\\ghost", "ghost");
  PumpMessages(200);
  CHECK(dismisser.Count() == 101);
  const SIZE_T after = PrivateBytes();
  printf("   private bytes after the run: %lu (%+ld)\n", static_cast<unsigned long>(after),
         long(after) - long(baseline));
  CHECK(after <= baseline + (1 << 20));

  CHECK(Snapshot(L"d:") == before);
  DestroyWindow(shown);
  FreeLibrary(hvq.module);
  return Summary();
}
