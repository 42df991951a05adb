// The platform layer over USER32, SHELL32 and KERNEL32.
#include <windows.h>

#include <shellapi.h>

#include "cstring.h"
#include "platform.h"

void* PlatformAlloc(size_t cb) noexcept { return HeapAlloc(GetProcessHeap(), 0, cb); }

void PlatformFree(void* p) noexcept { HeapFree(GetProcessHeap(), 0, p); }

bool PlatformIsLeadByte(unsigned char ch) noexcept { return IsDBCSLeadByte(ch) != FALSE; }

int PlatformAnsiToWide(const char* pch, int nLength, WideChar* pwch, int nRoom) noexcept {
  return nLength > 0 ? MultiByteToWideChar(CP_ACP, 0, pch, nLength, pwch, nRoom) : 0;
}

namespace {

// Made when the library loads and deleted when it unloads, with the other
// module-level objects.
class CriticalSection {
 public:
  CriticalSection() noexcept { InitializeCriticalSection(&m_cs); }
  ~CriticalSection() { DeleteCriticalSection(&m_cs); }
  CRITICAL_SECTION m_cs;
};
CriticalSection s_lock;

struct EnumContext {
  PlatformEnumWindowsProc proc;
  intptr_t lParam;
};

BOOL CALLBACK EnumThunk(HWND hWnd, LPARAM lParam) {
  const EnumContext* pContext = reinterpret_cast<const EnumContext*>(lParam);
  return pContext->proc(reinterpret_cast<PlatformWindow>(hWnd), pContext->lParam) != 0;
}

}  // namespace

void PlatformLock() noexcept { EnterCriticalSection(&s_lock.m_cs); }

void PlatformUnlock() noexcept { LeaveCriticalSection(&s_lock.m_cs); }

void PlatformEnumWindows(PlatformEnumWindowsProc proc, intptr_t lParam) noexcept {
  EnumContext context = {proc, lParam};
  EnumWindows(EnumThunk, reinterpret_cast<LPARAM>(&context));
}

// InternalGetWindowText copies the caption the system keeps for the window
// and sends nothing, whichever thread or process owns it. It reports only
// what it copied: a read that fills the room may have been cut, so the room
// doubles until a read leaves some spare. The room is kept for the next
// window of the same search. Empty when the window has none or is gone;
// false when memory runs out.
static bool ReadTitle(HWND hwnd, CStringW& strRoom) noexcept {
  int nRoom = strRoom.GetAllocLength();
  if (nRoom < 256) nRoom = 256;
  for (;;) {
    WCHAR* pwch = strRoom.GetBuffer(nRoom);
    if (!pwch) return false;
    const int nRead = InternalGetWindowText(hwnd, pwch, nRoom + 1);
    if (nRead < nRoom) {
      strRoom.ReleaseBuffer(nRead > 0 ? nRead : 0);
      return true;
    }
    if (nRoom > 0x0FFFFFFF) return false;
    nRoom *= 2;
  }
}

// The caption as GetWindowTextA would have given it, in the ANSI code page.
bool PlatformGetWindowText(PlatformWindow hWnd, PlatformTitle<char>& title) noexcept {
  if (!ReadTitle(reinterpret_cast<HWND>(hWnd), title.strRoom)) return false;
  const WCHAR* pwch = title.strRoom;
  const int nRead = title.strRoom.GetLength();
  if (nRead == 0) {
    title.strText = "";
    return true;
  }
  // One conversion into room enough for any code page: at most three bytes
  // a unit (UTF-8 as the ANSI code page). The room stays for the next title.
  if (nRead > 0x0FFFFFFF) return false;
  const int nBytes = nRead * 3;
  char* pch = title.strText.GetBuffer(nBytes);
  if (!pch) return false;
  const int nDone = WideCharToMultiByte(CP_ACP, 0, pwch, nRead, pch, nBytes, nullptr, nullptr);
  title.strText.ReleaseBuffer(nDone > 0 ? nDone : 0);
  return true;
}

// The caption as the system keeps it, read straight into the text.
bool PlatformGetWindowText(PlatformWindow hWnd, PlatformTitle<WideChar>& title) noexcept {
  return ReadTitle(reinterpret_cast<HWND>(hWnd), title.strText);
}

// The exact path, file or folder: no wildcard in it is ever expanded.
bool PlatformPathExists(const char* pszPath) noexcept {
  return GetFileAttributesA(pszPath) != INVALID_FILE_ATTRIBUTES;
}

bool PlatformPathExists(const WideChar* pszPath) noexcept {
  return GetFileAttributesW(pszPath) != INVALID_FILE_ATTRIBUTES;
}

bool PlatformCreateDirectory(const char* pszPath) noexcept {
  return CreateDirectoryA(pszPath, nullptr) != FALSE;
}

bool PlatformCreateDirectory(const WideChar* pszPath) noexcept {
  return CreateDirectoryW(pszPath, nullptr) != FALSE;
}

bool PlatformCopyFile(const char* pszSource, const char* pszTarget) noexcept {
  return CopyFileA(pszSource, pszTarget, TRUE) != FALSE;
}

bool PlatformCopyFile(const WideChar* pszSource, const WideChar* pszTarget) noexcept {
  return CopyFileW(pszSource, pszTarget, TRUE) != FALSE;
}

bool PlatformIsWindowVisible(PlatformWindow hWnd) noexcept {
  return IsWindowVisible(reinterpret_cast<HWND>(hWnd)) != FALSE;
}

// A window of another thread is restored by a posted request, so that a
// busy or hung owner never holds the caller up.
void PlatformActivateWindow(PlatformWindow hWnd) noexcept {
  HWND hwnd = reinterpret_cast<HWND>(hWnd);
  if (IsIconic(hwnd)) {
    if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId())
      ShowWindow(hwnd, SW_RESTORE);
    else
      ShowWindowAsync(hwnd, SW_RESTORE);
  }
  SetForegroundWindow(hwnd);
}

// The shell takes documents of at most MAX_PATH characters; some shells
// overrun a fixed buffer on longer ones and end the process. Such a path is
// refused here as a document the shell could not find. The shell shows no
// box of its own (SEE_MASK_FLAG_NO_UI, as ShellExecute sets itself).
template <typename TChar, typename TInfo, typename TExecute>
static unsigned ShellExecuteWith(TExecute* pfnExecute, PlatformWindow hWndOwner,
                                 const TChar* pszVerb, const TChar* pszFile, int nFileLength,
                                 PlatformProcess* phProcess) noexcept {
  *phProcess = nullptr;
  if (nFileLength >= MAX_PATH) return ERROR_FILE_NOT_FOUND;
  TInfo info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.hwnd = reinterpret_cast<HWND>(hWndOwner);
  info.lpVerb = pszVerb;
  info.lpFile = pszFile;
  info.nShow = SW_SHOWNORMAL;
  if (!pfnExecute(&info)) {
    const DWORD nError = GetLastError();
    return nError ? unsigned(nError) : unsigned(ERROR_FILE_NOT_FOUND);
  }
  *phProcess = reinterpret_cast<PlatformProcess>(info.hProcess);
  return 0;
}

unsigned PlatformShellExecute(PlatformWindow hWndOwner, const char* pszVerb, const char* pszFile,
                              PlatformProcess* phProcess) noexcept {
  const int nLength = MultiByteToWideChar(CP_ACP, 0, pszFile, -1, nullptr, 0) - 1;
  return ShellExecuteWith<char, SHELLEXECUTEINFOA>(ShellExecuteExA, hWndOwner, pszVerb, pszFile,
                                                   nLength, phProcess);
}

unsigned PlatformShellExecute(PlatformWindow hWndOwner, const WideChar* pszVerb,
                              const WideChar* pszFile, PlatformProcess* phProcess) noexcept {
  return ShellExecuteWith<WideChar, SHELLEXECUTEINFOW>(ShellExecuteExW, hWndOwner, pszVerb, pszFile,
                                                       StringLength(pszFile), phProcess);
}

bool PlatformProcessExited(PlatformProcess hProcess) noexcept {
  return WaitForSingleObject(reinterpret_cast<HANDLE>(hProcess), 0) != WAIT_TIMEOUT;
}

void PlatformCloseProcess(PlatformProcess hProcess) noexcept {
  CloseHandle(reinterpret_cast<HANDLE>(hProcess));
}

// A section backed by the paging file, in the session's namespace. An
// object of that name that is not such a section, or is smaller, fails.
PlatformRecord PlatformOpenRecord(const WideChar* pszName, size_t cb, bool bCreate,
                                  void** ppView) noexcept {
  *ppView = nullptr;
  const DWORD nAccess = FILE_MAP_READ | FILE_MAP_WRITE;
  HANDLE hSection = bCreate ? CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                 DWORD(cb), pszName)
                            : OpenFileMappingW(nAccess, FALSE, pszName);
  if (!hSection) return nullptr;
  *ppView = MapViewOfFile(hSection, nAccess, 0, 0, cb);
  if (!*ppView) {
    CloseHandle(hSection);
    return nullptr;
  }
  return reinterpret_cast<PlatformRecord>(hSection);
}

// A handle in the other process's table, which nothing there knows of: it
// goes when that process exits.
bool PlatformGiveRecord(PlatformRecord hRecord, PlatformProcess hProcess) noexcept {
  HANDLE hTheirs = nullptr;
  return DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(hRecord),
                         reinterpret_cast<HANDLE>(hProcess), &hTheirs, 0, FALSE,
                         DUPLICATE_SAME_ACCESS) != FALSE;
}

void PlatformCloseRecord(PlatformRecord hRecord, void* pView) noexcept {
  UnmapViewOfFile(pView);
  CloseHandle(reinterpret_cast<HANDLE>(hRecord));
}

// GetTickCount64 would keep the library from loading before Windows Vista.
uint32_t PlatformTickCount() noexcept { return GetTickCount(); }

void PlatformSetLastError(unsigned nError) noexcept { SetLastError(nError); }

// The box gets what an application's own message box would have: the
// window active on this thread as its owner (disabled while the box is up,
// though the box's modal loop still runs the host's timers and the
// messages sent to it, so the host may call in meanwhile), and the host
// program's name as its caption. The text is shown as Unicode, converted
// from the code page it is written in, so that it reads the same whatever
// the system's ANSI code page; were that code page missing, the text is
// taken as ANSI, as a multibyte box would have.
void PlatformMessageBox(const char* pszText, unsigned nCodePage) noexcept {
  WCHAR szText[512];
  if (MultiByteToWideChar(nCodePage, MB_ERR_INVALID_CHARS, pszText, -1, szText, 512) <= 0 &&
      MultiByteToWideChar(CP_ACP, 0, pszText, -1, szText, 512) <= 0)
    szText[0] = L'\0';

  WCHAR szCaption[MAX_PATH + 1] = L"";
  const DWORD nPath = GetModuleFileNameW(nullptr, szCaption, MAX_PATH);
  szCaption[nPath < MAX_PATH ? nPath : MAX_PATH] = L'\0';
  WCHAR* pszName = szCaption;
  for (WCHAR* p = szCaption; *p; ++p)
    if (*p == L'\\' || *p == L'/') pszName = p + 1;
  WCHAR* pszDot = nullptr;
  for (WCHAR* p = pszName; *p; ++p)
    if (*p == L'.') pszDot = p;
  if (pszDot) *pszDot = L'\0';
  MessageBoxW(GetActiveWindow(), szText, pszName, MB_OK | MB_ICONEXCLAMATION);
}
