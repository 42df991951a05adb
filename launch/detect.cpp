#include "launch.h"

namespace {

// One search: the name it looks for and the title it looks at live with
// the call, so that searches on other threads never share them.
template <typename TChar>
struct PrjSearch {
  CStringOf<TChar> strName;
  PlatformTitle<TChar> title;
  int32_t nOpened;
  bool bOutOfMemory;
  bool bWantShown;  // go on to the first visible window that shows it
  PlatformWindow hWndShown;
};

}  // namespace

// A window shows the project when its title contains the document name
// and the first occurrence does not stand at the very start of the title.
template <typename TChar>
int EnumPrjWindowProc(PlatformWindow hWnd, intptr_t lParam) {
  PrjSearch<TChar>& search = *reinterpret_cast<PrjSearch<TChar>*>(lParam);
  if (!PlatformGetWindowText(hWnd, search.title)) {
    search.bOutOfMemory = true;
    return 0;
  }
  if (search.title.strText.Find(search.strName) >= 1) {
    search.nOpened = 1;
    if (!search.bWantShown || PlatformIsWindowVisible(hWnd)) {
      search.hWndShown = hWnd;
      return 0;
    }
  }
  return 1;
}

// Nothing waits while the lock is held: titles are read without a message,
// so no other thread is waited for and no window procedure can call in.
template <typename TChar>
int CheckPrjOpened(const TChar* pszName, bool* pbOutOfMemory, PlatformWindow* phWndShown) {
  LockGuard lock;
  CStringOf<TChar>& strPrjName = PrjName(TChar());
  g_nPrjOpened = 0;
  strPrjName = pszName;
  if (strPrjName.Find(c_szHvqExt<TChar>) == -1) strPrjName += c_szHvqExt<TChar>;
  PrjSearch<TChar> search = {strPrjName, {}, 0, strPrjName.IsOutOfMemory(), phWndShown != nullptr,
                             nullptr};
  if (!search.bOutOfMemory) PlatformEnumWindows(EnumPrjWindowProc<TChar>, intptr_t(&search));
  if (pbOutOfMemory) *pbOutOfMemory = search.bOutOfMemory;
  if (search.bOutOfMemory) search.nOpened = 0;  // a search cut short found nothing
  if (phWndShown) *phWndShown = search.hWndShown;
  g_nPrjOpened = search.nOpened;
  return g_nPrjOpened;
}

template int CheckPrjOpened(const char*, bool*, PlatformWindow*);
template int CheckPrjOpened(const WideChar*, bool*, PlatformWindow*);
