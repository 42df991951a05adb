/* A C host: the plain C entry points, wide, so that any folder and name
 * reach the DLL whole. It launches the project given (the sample project
 * C:\work\bridge, deck, by default) and prints what the launch did.
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
  int argc = 0, result;
  DWORD error, n;
  char text[512] = "";
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const wchar_t* folder = argc == 3 ? argv[1] : L"C:\\work\\bridge";
  const wchar_t* name = argc == 3 ? argv[2] : L"deck";
  /* The shell asks a program that calls it to initialise COM first. */
  HRESULT com = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  /* HVQ_ACTIVATE: an open project is brought forward; add HVQ_NO_MESSAGE to
   * show no box when the shell cannot open the document. */
  result = HvqStartVRAN3DExW(folder, name, HVQ_ACTIVATE);
  error = GetLastError();
  if (SUCCEEDED(com)) CoUninitialize();
  LocalFree(argv);
  switch (result) {
    case HVQ_OPENED: puts("opened"); return 0;
    case HVQ_ALREADY_OPEN: puts("already open"); return 0;
    case HVQ_OPENING: puts("opening"); return 0;
    case HVQ_E_OUT_OF_MEMORY: puts("out of memory"); return 1;
  }
  /* HVQ_E_OPEN_FAILED: the reason in the system's words. */
  n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error, 0,
                     text, sizeof text, NULL);
  while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r')) text[--n] = '\0';
  printf("open failed: %s\n", text);
  return 1;
}
