/* A C host: the plain C entry points, wide, so that any folder and name
 * reach the DLL whole. It launches the project given (the sample project
 * C:\work\bridge, deck, by default) and says whether it was already open.
 *
 *   MSVC:  cl c_host.c /I..\..\..\include ..\..\..\lib\hvqlaunch.lib shell32.lib ole32.lib
 *   MinGW: gcc c_host.c -I../../../include -L../../../lib -lhvqlaunch -lole32 -o c_host.exe
 *   then:  c_host [FOLDER NAME]   with bin\hvqlaunch.dll copied beside c_host.exe */
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <stdio.h>

#include "hvqlaunch.h"

int main(void) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const wchar_t* folder = argc == 3 ? argv[1] : L"C:\\work\\bridge";
  const wchar_t* name = argc == 3 ? argv[2] : L"deck";
  /* The shell asks a program that calls it to initialise COM first. */
  HRESULT com = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  printf("already open: %s\n", HvqCheckPrjOpenedW(name) ? "yes" : "no");
  HvqStartVRAN3DW(folder, name); /* shows "open failed" when the shell cannot open it */
  if (SUCCEEDED(com)) CoUninitialize();
  LocalFree(argv);
  return 0;
}
