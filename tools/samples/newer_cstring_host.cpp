// A host built with a newer compiler, in Unicode: its CString is
// ATL::CStringT (atlstr.h, or afx.h with MFC), passed by value. The header
// then declares StartVRAN3D for that very CString, which links the
// matching export (ordinals 9 to 20) on either architecture.
//
//   cl /EHsc newer_cstring_host.cpp /I..\..\..\include ..\..\..\lib\hvqlaunch.lib
//   then: newer_cstring_host   with bin\hvqlaunch.dll beside it
#include <atlstr.h>

#define HVQ_HOST_HAS_CSTRING
#include "hvqlaunch.h"

int main() {
  CString folder(L"C:\\work\\bridge"), name(L"deck");
  if (!CheckPrjOpened(name)) StartVRAN3D(folder, name);  // StartVRAN3D checks again itself
  return 0;
}
