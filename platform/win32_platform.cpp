// The platform layer over USER32, SHELL32 and KERNEL32.
#include <windows.h>

#include <shellapi.h>

#include <new>

#include "cstring.h"
#include "platform.h"

void* PlatformAlloc(size_t cb) noexcept { return HeapAlloc(GetProcessHeap(), 0, cb); }

void PlatformFree(void* p) noexcept { HeapFree(GetProcessHeap(), 0, p); }

bool PlatformIsLeadByte(unsigned char ch) noexcept { return IsDBCSLeadByte(ch) != FALSE; }

namespace {
struct EnumContext {
  PlatformEnumWindowsProc proc;
  intptr_t lParam;
  bool bOutOfMemory;
};

// No exception may unwind through USER32's frames: it is caught here, ends
// the enumeration, and is raised again once EnumWindows has returned.
BOOL CALLBACK EnumThunk(HWND hWnd, LPARAM lParam) {
  EnumContext* pContext = reinterpret_cast<EnumContext*>(lParam);
  try {
    return pContext->proc(reinterpret_cast<PlatformWindow>(hWnd), pContext->lParam) != 0;
  } catch (...) {
    pContext->bOutOfMemory = true;
    return FALSE;
  }
}
}  // namespace

void PlatformEnumWindows(PlatformEnumWindowsProc proc, intptr_t lParam) {
  EnumContext context = {proc, lParam, false};
  EnumWindows(EnumThunk, reinterpret_cast<LPARAM>(&context));
  if (context.bOutOfMemory) throw std::bad_alloc();
}

// The title is read straight into the string's buffer, whatever room it
// already has (at least 256 bytes); only a title that does not fit costs a
// length query and a second read. A title cut short fills the buffer to its
// last byte, or to the byte before when the cut falls inside a double-byte
// character: a read that leaves two bytes spare is whole. The title may
// change between reads, so this repeats until one is.
void PlatformGetWindowText(PlatformWindow hWnd, CString& strTitle) {
  HWND hwnd = reinterpret_cast<HWND>(hWnd);
  int nRoom = strTitle.GetAllocLength() > 256 ? strTitle.GetAllocLength() : 256;
  for (;;) {
    char* pch = strTitle.GetBuffer(nRoom);
    const int nRead = GetWindowTextA(hwnd, pch, nRoom + 1);
    if (nRead < nRoom - 1) {
      strTitle.ReleaseBuffer(nRead > 0 ? nRead : 0);
      return;
    }
    strTitle.ReleaseBuffer(0);
    const int nLength = GetWindowTextLengthA(hwnd);
    if (nRoom > 0x3FFFFFFF) throw std::bad_alloc();
    nRoom = nLength + 2 > nRoom * 2 ? nLength + 2 : nRoom * 2;
  }
}

// The exact path, file or folder: no wildcard in it is ever expanded.
bool PlatformPathExists(const char* pszPath) noexcept {
  return GetFileAttributesA(pszPath) != INVALID_FILE_ATTRIBUTES;
}

bool PlatformCreateDirectory(const char* pszPath) noexcept {
  return CreateDirectoryA(pszPath, nullptr) != FALSE;
}

bool PlatformCopyFile(const char* pszSource, const char* pszTarget) noexcept {
  return CopyFileA(pszSource, pszTarget, TRUE) != FALSE;
}

// The shell takes documents of at most MAX_PATH characters; some shells
// overrun a fixed buffer on longer ones and end the process. Such a path is
// refused here as a document the shell could not find.
intptr_t PlatformShellExecute(PlatformWindow hWndOwner, const char* pszVerb,
                              const char* pszFile) noexcept {
  if (MultiByteToWideChar(CP_ACP, 0, pszFile, -1, nullptr, 0) > MAX_PATH) return SE_ERR_FNF;
  HINSTANCE hResult = ShellExecuteA(reinterpret_cast<HWND>(hWndOwner), pszVerb, pszFile, nullptr,
                                    nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<intptr_t>(hResult);
}

// The box gets what an application's own message box would have: the
// window active on this thread as its owner, disabled while the box is up
// so that the host cannot call back in meanwhile, and the host program's
// name as its caption.
void PlatformMessageBox(const char* pszText) noexcept {
  char szCaption[MAX_PATH + 1] = "";
  const DWORD nPath = GetModuleFileNameA(nullptr, szCaption, MAX_PATH);
  szCaption[nPath < MAX_PATH ? nPath : MAX_PATH] = '\0';
  char* pszName = szCaption;
  for (char* p = szCaption; *p; p = CharNextA(p))
    if (*p == '\\' || *p == '/') pszName = p + 1;
  char* pszDot = nullptr;
  for (char* p = pszName; *p; p = CharNextA(p))
    if (*p == '.') pszDot = p;
  if (pszDot) *pszDot = '\0';
  MessageBoxA(GetActiveWindow(), pszText, pszName, MB_OK | MB_ICONEXCLAMATION);
}
