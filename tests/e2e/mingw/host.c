/* A MinGW host, built as C and as C++ against the package's
 * libhvqlaunch.dll.a: the plain C entry points on either architecture,
 * and on x86 the original two as the header declares them for MinGW, with
 * strings nobody counts. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "hvqlaunch.h"

static int g_failed = 0, g_passed = 0;
#define CHECK(cond) ((cond) ? ++g_passed : (++g_failed, printf("FAILED: %s\n", #cond)))

#ifndef _WIN64
/* A string as the original StartVRAN3D takes it: the header, then the
 * characters. */
struct Text {
  HvqStringHeader header;
  char chars[64];
};

static HvqStringArg Arg(struct Text* t, const char* s) {
  t->header.nRefs = -1;
  t->header.nDataLength = t->header.nAllocLength = (int)strlen(s);
  strcpy(t->chars, s);
  HvqStringArg arg = {t->chars};
  return arg;
}
#endif

int main(int argc, char** argv) {
  const char* name = argc > 1 ? argv[1] : "mingwdeck";
  char title[96];
  snprintf(title, sizeof title, "Viewer - %s.hvq", name);
  HWND shown = CreateWindowExA(0, "STATIC", title, 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
  CHECK(HvqCheckPrjOpenedA(name) == 1);
  CHECK(HvqCheckPrjOpenedW(L"mingw-no-such-project") == 0);
  CreateDirectoryA("d:\\mingw", NULL);
  HvqStartVRAN3DA("d:\\mingw", name); /* shown open: prepares only */
  CHECK(GetFileAttributesA("d:\\mingw\\3d") != INVALID_FILE_ATTRIBUTES);
#ifndef _WIN64
  struct Text folder, doc;
  CHECK(HvqCheckPrjOpened(name) == 1);
  HvqStartVRAN3D(Arg(&folder, "d:\\mingw"), Arg(&doc, name));
  CHECK(folder.header.nRefs == -1 && doc.header.nRefs == -1);
#endif
  DestroyWindow(shown);
  CHECK(HvqCheckPrjOpenedA(name) == 0);
  printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed ? 1 : 0;
}
