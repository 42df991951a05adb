/* A MinGW host, built as C and as C++: it links the package's
 * libhvqlaunch.dll.a and calls the two operations as the header declares
 * them for MinGW, with strings nobody counts. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "hvqlaunch.h"

/* A string as the DLL takes it: the header, then the characters. */
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

int main(int argc, char** argv) {
  const char* name = argc > 1 ? argv[1] : "mingwdeck";
  char title[96];
  snprintf(title, sizeof title, "Viewer - %s.hvq", name);
  HWND shown = CreateWindowExA(0, "STATIC", title, 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
  int failed = 0;
  if (HvqCheckPrjOpened(name) != 1) ++failed;
  struct Text folder, doc;
  CreateDirectoryA("d:\\mingw", NULL);
  HvqStartVRAN3D(Arg(&folder, "d:\\mingw"), Arg(&doc, name)); /* shown open: prepares only */
  if (GetFileAttributesA("d:\\mingw\\3d") == INVALID_FILE_ATTRIBUTES) ++failed;
  if (folder.header.nRefs != -1 || doc.header.nRefs != -1) ++failed;
  DestroyWindow(shown);
  if (HvqCheckPrjOpened(name) != 0) ++failed;
  printf("%d passed, %d failed\n", 4 - failed, failed);
  return failed ? 1 : 0;
}
