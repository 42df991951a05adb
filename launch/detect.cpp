#include "launch.h"

// A window shows the project when its title contains the document name
// and the first occurrence does not stand at the very start of the title.
int EnumPrjWindowProc(PlatformWindow hWnd, intptr_t /*lParam*/) {
  CString strTitle;
  PlatformGetWindowText(hWnd, strTitle);
  if (strTitle.Find(g_strPrjName) >= 1) {
    g_nPrjOpened = 1;
    return 0;
  }
  return 1;
}

int CheckPrjOpened(const char* pszName) {
  g_nPrjOpened = 0;
  g_strPrjName = pszName;
  if (g_strPrjName.Find(c_szHvqExt) == -1) g_strPrjName += c_szHvqExt;
  PlatformEnumWindows(EnumPrjWindowProc, 0);
  return g_nPrjOpened;
}
