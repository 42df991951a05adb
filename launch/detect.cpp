#include "launch.h"

// The title of the window being looked at. Its buffer is kept from one
// window to the next and let go when the search ends.
static CString s_strTitle;

namespace {
struct TitleBufferRelease {
  ~TitleBufferRelease() { s_strTitle = CString(); }
};
}  // namespace

// A window shows the project when its title contains the document name
// and the first occurrence does not stand at the very start of the title.
int EnumPrjWindowProc(PlatformWindow hWnd, intptr_t /*lParam*/) {
  PlatformGetWindowText(hWnd, s_strTitle);
  if (s_strTitle.Find(g_strPrjName) >= 1) {
    g_nPrjOpened = 1;
    return 0;
  }
  return 1;
}

int CheckPrjOpened(const char* pszName) {
  g_nPrjOpened = 0;
  g_strPrjName = pszName;
  if (g_strPrjName.Find(c_szHvqExt) == -1) g_strPrjName += c_szHvqExt;
  TitleBufferRelease release;
  PlatformEnumWindows(EnumPrjWindowProc, 0);
  return g_nPrjOpened;
}
