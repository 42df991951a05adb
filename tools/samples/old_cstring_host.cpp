// A 32-bit host of the original kind: its CString is the framework's
// original, old-layout string (afx.h), passed by value to the original
// exports (ordinals 1 and 2), as it always was.
//
//   cl /EHsc old_cstring_host.cpp /I..\..\..\include ..\..\..\lib\hvqlaunch.lib
//   then: old_cstring_host   with bin\hvqlaunch.dll beside it
#include <afx.h>

#define HVQ_HOST_HAS_CSTRING
#include "hvqlaunch.h"

int main() {
  CString folder("C:\\work\\bridge"), name("deck");
  if (!CheckPrjOpened(name)) StartVRAN3D(folder, name);  // StartVRAN3D checks again itself
  return 0;
}
