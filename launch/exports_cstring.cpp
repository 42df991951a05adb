// The original hosts' entry points: CheckPrjOpened and StartVRAN3D as that
// compiler declared them, StartVRAN3D taking the old-layout CString by
// value (32-bit only: no such host was ever 64-bit); and CheckPrjOpened
// for the same hosts rebuilt in Unicode. Nothing here or below throws:
// running out of memory ends a call quietly after everything it owns has
// been released.
#include "hvqlaunch.h"
#include "launch.h"

extern "C" int HVQ_CDECL HvqCheckPrjOpened(const char* pszName) noexcept {
  return CheckPrjOpened(pszName);
}

#ifndef _WIN64
// Each host string argument is one reference the call now owns. The block
// belongs to the host's allocator: the count is dropped, never the block.
static void ReleaseHostString(HvqStringArg arg) noexcept {
  if (!arg.pchData) return;
  HvqStringHeader* pHeader = reinterpret_cast<HvqStringHeader*>(arg.pchData) - 1;
  if (__atomic_load_n(&pHeader->nRefs, __ATOMIC_ACQUIRE) < 1) return;
  __atomic_sub_fetch(&pHeader->nRefs, 1, __ATOMIC_ACQ_REL);
}

extern "C" void HVQ_CDECL HvqStartVRAN3D(HvqStringArg folder, HvqStringArg name) noexcept {
  StartVRAN3D(CString(folder.pchData), CString(name.pchData));
  ReleaseHostString(folder);
  ReleaseHostString(name);
}
#endif

// Exported for both spellings of wchar_t: the type of its own, and
// unsigned short.
extern "C" int HVQ_CDECL HvqCheckPrjOpenedWide(const HvqWChar* pszName) noexcept {
  return CheckPrjOpened(pszName);
}
