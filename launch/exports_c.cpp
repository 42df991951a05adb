// The plain C entry points, for hosts in any language: the strings are
// read, never owned, and a null pointer is the empty string. The A forms
// take multibyte text in the ANSI code page; the W forms take UTF-16,
// which never passes through a code page.
#include "hvqlaunch.h"
#include "launch.h"

extern "C" int HVQ_CALL HvqCheckPrjOpenedA(const char* name) { return CheckPrjOpened(name); }

extern "C" int HVQ_CALL HvqCheckPrjOpenedW(const HvqWChar* name) { return CheckPrjOpened(name); }

extern "C" void HVQ_CALL HvqStartVRAN3DA(const char* folder, const char* name) {
  StartVRAN3D(CString(folder), CString(name));
}

extern "C" void HVQ_CALL HvqStartVRAN3DW(const HvqWChar* folder, const HvqWChar* name) {
  StartVRAN3D(CStringW(folder), CStringW(name));
}

// The same launches, saying what happened (HVQ_OPENED, ...). A flag the
// library does not know stops the call before anything is done.
template <typename TChar>
static int StartVRAN3DEx(const TChar* folder, const TChar* name, unsigned flags) {
  if (flags & ~unsigned(HVQ_NO_MESSAGE | HVQ_ACTIVATE)) return HVQ_E_INVALID_FLAGS;
  return StartVRAN3D(CStringOf<TChar>(folder), CStringOf<TChar>(name), flags);
}

extern "C" int HVQ_CALL HvqStartVRAN3DExA(const char* folder, const char* name, unsigned flags) {
  return StartVRAN3DEx(folder, name, flags);
}

extern "C" int HVQ_CALL HvqStartVRAN3DExW(const HvqWChar* folder, const HvqWChar* name,
                                          unsigned flags) {
  return StartVRAN3DEx(folder, name, flags);
}
