// The plain C entry points, for hosts in any language: the strings are
// read, never owned, and a null pointer is the empty string. The A forms
// take multibyte text in the ANSI code page; the W forms take UTF-16,
// which never passes through a code page.
#include "hvqlaunch.h"
#include "launch.h"

extern "C" int __stdcall HvqCheckPrjOpenedA(const char* name) { return CheckPrjOpened(name); }

extern "C" int __stdcall HvqCheckPrjOpenedW(const HvqWChar* name) { return CheckPrjOpened(name); }

extern "C" void __stdcall HvqStartVRAN3DA(const char* folder, const char* name) {
  StartVRAN3D(CString(folder), CString(name));
}

extern "C" void __stdcall HvqStartVRAN3DW(const HvqWChar* folder, const HvqWChar* name) {
  StartVRAN3D(CStringW(folder), CStringW(name));
}
