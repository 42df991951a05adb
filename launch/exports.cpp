// The exported boundary. Nothing here or below throws: running out of
// memory ends a call quietly after everything it owns has been released.
#include "hvqlaunch.h"
#include "launch.h"

// Each host string argument is one reference the call now owns. The block
// belongs to the host's allocator: the count is dropped, never the block.
static void ReleaseHostString(HvqStringArg arg) noexcept {
  if (!arg.pchData) return;
  HvqStringHeader* pHeader = reinterpret_cast<HvqStringHeader*>(arg.pchData) - 1;
  if (__atomic_load_n(&pHeader->nRefs, __ATOMIC_ACQUIRE) < 1) return;
  __atomic_sub_fetch(&pHeader->nRefs, 1, __ATOMIC_ACQ_REL);
}

extern "C" int __cdecl HvqCheckPrjOpened(const char* pszName) noexcept {
  return CheckPrjOpened(pszName);
}

extern "C" void __cdecl HvqStartVRAN3D(HvqStringArg folder, HvqStringArg name) noexcept {
  StartVRAN3D(CString(folder.pchData), CString(name.pchData));
  ReleaseHostString(folder);
  ReleaseHostString(name);
}
