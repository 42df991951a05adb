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
// Every ANSI code page writes ASCII as itself, so a title of ASCII alone,
// as most are, is narrowed unit by unit; any other goes through one
// conversion, into room enough for any code page: at most three bytes a
// unit (UTF-8 as the ANSI code page). The room stays for the next title.
bool PlatformGetWindowText(PlatformWindow hWnd, PlatformTitle<char>& title) noexcept {
  if (!ReadTitle(reinterpret_cast<HWND>(hWnd), title.strRoom)) return false;
  const WCHAR* pwch = title.strRoom;
  const int nRead = title.strRoom.GetLength();
  if (nRead > 0x0FFFFFFF) return false;
  char* pch = title.strText.GetBuffer(nRead * 3);
  if (!pch) return false;
  int i = 0;  // four units a word while they are ASCII, then one at a time
  for (uint64_t w; i + 4 <= nRead; i += 4) {
    memcpy(&w, pwch + i, sizeof w);
    if (w & 0xFF80FF80FF80FF80u) break;
    const uint32_t n = uint32_t((w & 0xFF) | (w >> 8 & 0xFF00) | (w >> 16 & 0xFF0000) |
                                (w >> 24 & 0xFF000000));  // little-endian
    memcpy(pch + i, &n, sizeof n);
  }
  while (i < nRead && pwch[i] < 0x80) {
    pch[i] = char(pwch[i]);
    ++i;
  }
  const int nDone =
      i == nRead ? nRead
                 : WideCharToMultiByte(CP_ACP, 0, pwch, nRead, pch, nRead * 3, nullptr, nullptr);
  title.strText.ReleaseBuffer(nDone > 0 ? nDone : 0);
  return true;
}

// The caption as the system keeps it, read straight into the text.
bool PlatformGetWindowText(PlatformWindow hWnd, PlatformTitle<WideChar>& title) noexcept {
  return ReadTitle(reinterpret_cast<HWND>(hWnd), title.strText);
}

// The thread's error mode, where the system has one (Windows 7 and
// later): looked up when needed, so that the library still loads before.
typedef BOOL(WINAPI* SetThreadErrorModeProc)(DWORD, DWORD*);
static const uint32_t c_nNoThreadMode = 0xFFFFFFFF;

static SetThreadErrorModeProc ThreadErrorMode() noexcept {
  return reinterpret_cast<SetThreadErrorModeProc>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadErrorMode")));
}

uint32_t PlatformQuietErrorMode() noexcept {
  const SetThreadErrorModeProc pfnSet = ThreadErrorMode();
  DWORD nPrevious = 0;
  if (!pfnSet || !pfnSet(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &nPrevious))
    return c_nNoThreadMode;
  return nPrevious;
}

void PlatformRestoreErrorMode(uint32_t nPrevious) noexcept {
  const SetThreadErrorModeProc pfnSet = ThreadErrorMode();
  if (pfnSet && nPrevious != c_nNoThreadMode) pfnSet(nPrevious, nullptr);
}

namespace {

// Without a long-path-aware host, the plain file calls refuse a folder
// past MAX_PATH - 12 characters (room for an 8.3 name inside it) and any
// other path past MAX_PATH - 1, counted on the full path they read.
const int c_nFolderLimit = MAX_PATH - 13;
const int c_nFileLimit = MAX_PATH - 1;
const int c_nExtendedLimit = 32767;
const int c_nNameLimit = 255;

// A path as the file calls take it. One past the plain limit is given in
// the extended-length form ("\\?\C:\..." or "\\?\UNC\server\share\..."),
// which the system takes as it stands: so it is made from the full path
// that the plain calls would have read (relative parts resolved, forward
// slashes turned, trailing dots and spaces dropped), and names the same
// entry. A path already in that form, or a device's, is left as it is.
class FilePath {
 public:
  FilePath(const char* pszPath, int nLimit) noexcept {
    const int nWide = MultiByteToWideChar(CP_ACP, 0, pszPath, -1, nullptr, 0);
    WCHAR* pwch = nWide > 0 ? static_cast<WCHAR*>(PlatformAlloc(size_t(nWide) * 2)) : nullptr;
    if (pwch && MultiByteToWideChar(CP_ACP, 0, pszPath, -1, pwch, nWide) == nWide)
      Make(pwch, nLimit);
    PlatformFree(pwch);
  }
  FilePath(const WCHAR* pszPath, int nLimit) noexcept { Make(pszPath, nLimit); }
  ~FilePath() { PlatformFree(m_pBuffer); }
  FilePath(const FilePath&) = delete;
  FilePath& operator=(const FilePath&) = delete;

  // The extended-length form, when the plain calls would refuse the path;
  // else null, and the path is given as it is.
  const WCHAR* Extended() const noexcept { return m_bPastLimit ? m_pszPath : nullptr; }
  // The form the wide calls take: the extended one, or the full path.
  const WCHAR* Wide() const noexcept { return m_pszPath; }
  // False when no form of the path can be made or held.
  bool CanBeHeld() const noexcept {
    if (!m_pszPath || m_nLength > c_nExtendedLimit) return false;
    int nName = 0;
    for (const WCHAR* p = m_pszPath; *p; ++p)
      if ((nName = *p == L'\\' ? 0 : nName + 1) > c_nNameLimit) return false;
    return true;
  }

 private:
  void Make(const WCHAR* pszPath, int nLimit) noexcept {
    const DWORD nRoom = GetFullPathNameW(pszPath, 0, nullptr, nullptr);
    if (nRoom == 0 || nRoom > DWORD(c_nExtendedLimit) + 1) return;
    const int c_nPrefix = 6;  // "\\?\UNC" less the full path's first "\"
    m_pBuffer = static_cast<WCHAR*>(PlatformAlloc((c_nPrefix + size_t(nRoom)) * 2));
    if (!m_pBuffer) return;
    WCHAR* const pFull = m_pBuffer + c_nPrefix;
    const DWORD nFull = GetFullPathNameW(pszPath, nRoom, pFull, nullptr);
    if (nFull == 0 || nFull >= nRoom) return;
    const bool bUnc = pFull[0] == L'\\' && pFull[1] == L'\\';
    m_bPastLimit = int(nFull) > nLimit &&
                   !(bUnc && (pFull[2] == L'?' || pFull[2] == L'.') && pFull[3] == L'\\');
    if (!m_bPastLimit) {
      m_pszPath = pFull;
    } else if (bUnc) {
      memcpy(m_pBuffer, L"\\\\?\\UNC", 7 * sizeof(WCHAR));
      m_pszPath = m_pBuffer;
    } else {
      memcpy(pFull - 4, L"\\\\?\\", 4 * sizeof(WCHAR));
      m_pszPath = pFull - 4;
    }
    m_nLength = StringLength(m_pszPath);
  }

  WCHAR* m_pBuffer = nullptr;
  const WCHAR* m_pszPath = nullptr;
  int m_nLength = 0;
  bool m_bPastLimit = false;
};

DWORD GetAttributes(const char* pszPath) { return GetFileAttributesA(pszPath); }
DWORD GetAttributes(const WCHAR* pszPath) { return GetFileAttributesW(pszPath); }
BOOL MakeDirectory(const char* pszPath) { return CreateDirectoryA(pszPath, nullptr); }
BOOL MakeDirectory(const WCHAR* pszPath) { return CreateDirectoryW(pszPath, nullptr); }
BOOL Copy(const char* pszSource, const char* pszTarget) {
  return CopyFileA(pszSource, pszTarget, TRUE);
}
BOOL Copy(const WCHAR* pszSource, const WCHAR* pszTarget) {
  return CopyFileW(pszSource, pszTarget, TRUE);
}

// The exact path, file or folder: no wildcard in it is ever expanded.
template <typename TChar>
bool PathExists(const TChar* pszPath) {
  const FilePath path(pszPath, c_nFileLimit);
  return (path.Extended() ? GetAttributes(path.Extended()) : GetAttributes(pszPath)) !=
         INVALID_FILE_ATTRIBUTES;
}

template <typename TChar>
bool CreateFolder(const TChar* pszPath) {
  const FilePath path(pszPath, c_nFolderLimit);
  return (path.Extended() ? MakeDirectory(path.Extended()) : MakeDirectory(pszPath)) != FALSE;
}

// The plain call when it takes both paths, else the wide one.
template <typename TChar>
bool CopyNew(const TChar* pszSource, const TChar* pszTarget) {
  const FilePath source(pszSource, c_nFileLimit), target(pszTarget, c_nFileLimit);
  if (!source.Extended() && !target.Extended()) return Copy(pszSource, pszTarget) != FALSE;
  return source.Wide() && target.Wide() && Copy(source.Wide(), target.Wide()) != FALSE;
}

}  // namespace

bool PlatformCanHoldPath(const char* pszPath) noexcept {
  return FilePath(pszPath, c_nFolderLimit).CanBeHeld();
}

bool PlatformCanHoldPath(const WideChar* pszPath) noexcept {
  return FilePath(pszPath, c_nFolderLimit).CanBeHeld();
}

bool PlatformPathExists(const char* pszPath) noexcept { return PathExists(pszPath); }

bool PlatformPathExists(const WideChar* pszPath) noexcept { return PathExists(pszPath); }

bool PlatformCreateDirectory(const char* pszPath) noexcept { return CreateFolder(pszPath); }

bool PlatformCreateDirectory(const WideChar* pszPath) noexcept { return CreateFolder(pszPath); }

bool PlatformCopyFile(const char* pszSource, const char* pszTarget) noexcept {
  return CopyNew(pszSource, pszTarget);
}

bool PlatformCopyFile(const WideChar* pszSource, const WideChar* pszTarget) noexcept {
  return CopyNew(pszSource, pszTarget);
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
// box of its own (SEE_MASK_FLAG_NO_UI, as ShellExecute sets itself), and
// finishes the request before it returns (SEE_MASK_NOASYNC): the calling
// thread may have no message loop, or end, or its process exit, right
// after, and a program that takes its documents by DDE would then never
// get this one.
template <typename TChar, typename TInfo, typename TExecute>
static unsigned ShellExecuteWith(TExecute* pfnExecute, PlatformWindow hWndOwner,
                                 const TChar* pszVerb, const TChar* pszFile, int nFileLength,
                                 PlatformProcess* phProcess) noexcept {
  *phProcess = nullptr;
  if (nFileLength >= MAX_PATH) return ERROR_FILE_NOT_FOUND;
  TInfo info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
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

// FILE_ID_INFO comes with Windows 8: GetFileInformationByHandleEx is
// looked up when needed, so that the library still loads before; there,
// and where a file system has no such ID, the 64-bit one is taken. The
// index alone is the file system's FileInternalInformation, which needs no
// request to the volume.
typedef BOOL(WINAPI* GetFileInformationByHandleExProc)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID,
                                                       DWORD);
typedef LONG(WINAPI* NtQueryInformationFileProc)(HANDLE, void*, void*, ULONG, ULONG);
static const ULONG c_nFileInternalInformation = 6;

static const DWORD c_nShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
static const DWORD c_nIdentityFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_NO_RECALL;

static PlatformFile IdentityHandle(HANDLE hFile) noexcept {
  return hFile == INVALID_HANDLE_VALUE ? nullptr : reinterpret_cast<PlatformFile>(hFile);
}

PlatformFile PlatformOpenIdentity(const char* pszPath) noexcept {
  return IdentityHandle(CreateFileA(pszPath, FILE_READ_ATTRIBUTES, c_nShareAll, nullptr,
                                    OPEN_EXISTING, c_nIdentityFlags, nullptr));
}

PlatformFile PlatformOpenIdentity(const WideChar* pszPath) noexcept {
  return IdentityHandle(CreateFileW(reinterpret_cast<const WCHAR*>(pszPath), FILE_READ_ATTRIBUTES,
                                    c_nShareAll, nullptr, OPEN_EXISTING, c_nIdentityFlags,
                                    nullptr));
}

uint64_t PlatformFileIndex(PlatformFile hFile) noexcept {
  const auto pfnQuery = reinterpret_cast<NtQueryInformationFileProc>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationFile")));
  ULONG_PTR ioStatus[2];
  uint64_t nIndex = 0;
  if (!pfnQuery || pfnQuery(reinterpret_cast<HANDLE>(hFile), ioStatus, &nIndex, sizeof nIndex,
                            c_nFileInternalInformation) < 0)
    return 0;
  return nIndex;
}

bool PlatformFileIdentity(PlatformFile hFile, PlatformFileId& id) noexcept {
  const HANDLE h = reinterpret_cast<HANDLE>(hFile);
  const auto pfnEx = reinterpret_cast<GetFileInformationByHandleExProc>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFileInformationByHandleEx")));
  FILE_ID_INFO info;
  BY_HANDLE_FILE_INFORMATION basic;
  bool bDone = pfnEx && pfnEx(h, FileIdInfo, &info, sizeof info);
  if (bDone) {
    id.nVolume = info.VolumeSerialNumber;
    memcpy(id.abId, info.FileId.Identifier, sizeof id.abId);
  } else if ((bDone = GetFileInformationByHandle(h, &basic) != FALSE)) {
    id.nVolume = basic.dwVolumeSerialNumber;
    const uint64_t nIndex = uint64_t(basic.nFileIndexHigh) << 32 | basic.nFileIndexLow;
    memset(id.abId, 0, sizeof id.abId);
    memcpy(id.abId, &nIndex, sizeof nIndex);
  }
  const uint8_t abNone[sizeof id.abId] = {};
  return bDone && memcmp(id.abId, abNone, sizeof abNone) != 0;
}

void PlatformCloseFile(PlatformFile hFile) noexcept {
  CloseHandle(reinterpret_cast<HANDLE>(hFile));
}

void PlatformUpperCase(WideChar* pwch, int nLength) noexcept {
  if (nLength > 0) CharUpperBuffW(reinterpret_cast<WCHAR*>(pwch), DWORD(nLength));
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
