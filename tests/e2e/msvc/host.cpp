// A host built the way the DLL's original hosts were: the MSVC C++ ABI,
// its own reference-counted CString passed by value (the caller copies,
// the callee destroys), and the two operations imported by their decorated
// names, through the package's header and import library. Freestanding:
// no C runtime, only KERNEL32 and USER32.

#include "freestanding.h"
#include "standins/afx.h"

// The package's header declares the two operations for such a host.
#define HVQ_HOST_HAS_CSTRING
#include "hvqlaunch.h"

extern "C" void HostMain() {
  CreateDirectoryA("d:\\work", 0);
  CreateDirectoryA("d:\\work\\msvc", 0);
  void* open = ShowOpen("Viewer - d:\\work\\msvc\\msvcdeck.hvq");
  void* openToo = ShowOpen("Viewer - d:\\work\\msvc.hvq");

  CHECK(CheckPrjOpened("msvcdeck") == 1);
  CHECK(CheckPrjOpened("msvc-no-such-project") == 0);
  CHECK(CheckPrjOpened(0) == 1);

  {
    CString folder("d:\\work\\msvc"), name("msvcdeck");
    StartVRAN3D(folder, name);
    CHECK(folder.Refs() == 1);
    CHECK(name.Refs() == 1);
    CHECK(IsFolder("d:\\work\\msvc\\3d\\images"));
    CHECK(IsFolder("d:\\work\\msvc\\3d\\treepics"));

    StartVRAN3D(folder, folder);
    CHECK(folder.Refs() == 1);

    CString empty;
    StartVRAN3D(folder, empty);  // searches ".hvq": shown as open above
    CHECK(empty.Refs() == -1);
    CHECK(folder.Refs() == 1);
  }
  // Temporaries: their last reference goes with the call; the DLL leaves
  // the blocks to this host's heap.
  StartVRAN3D(CString("d:\\work\\msvc"), CString("msvcdeck"));

  DestroyWindow(open);
  DestroyWindow(openToo);
  Finish();
}
