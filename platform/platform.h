// What the launch code needs from its surroundings: windows, files, the
// shell, the user and memory. One implementation is linked per build: the
// Win32 one into the DLL, a simulated one into the native unit tests.
// Text is either multibyte, in the process's ANSI code page, or UTF-16
// (WideChar), each with its own overload; the wide ones never pass through
// a code page.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cstring.h"

typedef struct PlatformWindow_* PlatformWindow;    // a top-level window handle
typedef struct PlatformProcess_* PlatformProcess;  // a process the shell started
typedef struct PlatformRecord_* PlatformRecord;    // this process's hold of a shared record
typedef struct PlatformFile_* PlatformFile;        // a file opened for its identity

// Called once per top-level window; nonzero goes on, 0 stops.
typedef int (*PlatformEnumWindowsProc)(PlatformWindow hWnd, intptr_t lParam);

// Memory for string buffers; null when it runs out.
void* PlatformAlloc(size_t cb) noexcept;
void PlatformFree(void* p) noexcept;

// True when ch starts a double-byte character in the ANSI code page.
bool PlatformIsLeadByte(unsigned char ch) noexcept;

// nLength bytes of ANSI code page text as UTF-16 in pwch: the units
// written, or 0 when they do not fit in nRoom or cannot be converted.
int PlatformAnsiToWide(const char* pch, int nLength, WideChar* pwch, int nRoom) noexcept;

// The library's one lock, taken around each search so that calls from
// several threads never share one; the same thread may take it again.
void PlatformLock() noexcept;
void PlatformUnlock() noexcept;

// Every top-level window of the desktop, hidden ones and other processes'
// included, synchronously on the calling thread until proc returns 0.
void PlatformEnumWindows(PlatformEnumWindowsProc proc, intptr_t lParam) noexcept;

// What one search keeps from one window to the next: the title read last
// and the room the platform reads titles into. Both go with the search.
template <typename TChar>
struct PlatformTitle {
  CStringOf<TChar> strText;
  CStringW strRoom;
};

// Reads the window's whole title into title.strText, as the system keeps
// it: no message reaches the window, so its procedure never runs and its
// thread may be busy. Empty when the window has none or is gone. False
// when memory runs out.
bool PlatformGetWindowText(PlatformWindow hWnd, PlatformTitle<char>& title) noexcept;
bool PlatformGetWindowText(PlatformWindow hWnd, PlatformTitle<WideChar>& title) noexcept;

// While a search for files is under way, the calling thread fails at once
// on a drive that has no disk or has gone, instead of raising the system's
// box that asks the user and blocks the thread until answered. The mode
// returned is the thread's own, which PlatformRestoreErrorMode puts back;
// the process-wide mode, the host's, is never touched.
uint32_t PlatformQuietErrorMode() noexcept;
void PlatformRestoreErrorMode(uint32_t nPrevious) noexcept;

// True when a file or folder can be made at exactly this path: Windows
// takes paths of up to 32,767 characters, each name in them of up to 255,
// whether or not the host is long-path aware. The file calls below take
// any such path, long ones included.
bool PlatformCanHoldPath(const char* pszPath) noexcept;
bool PlatformCanHoldPath(const WideChar* pszPath) noexcept;

// True when a file or folder of exactly this name exists.
bool PlatformPathExists(const char* pszPath) noexcept;
bool PlatformPathExists(const WideChar* pszPath) noexcept;

// One level; fails when the parent is missing or the entry exists.
bool PlatformCreateDirectory(const char* pszPath) noexcept;
bool PlatformCreateDirectory(const WideChar* pszPath) noexcept;

// Byte-for-byte copy; never overwrites an existing target.
bool PlatformCopyFile(const char* pszSource, const char* pszTarget) noexcept;
bool PlatformCopyFile(const WideChar* pszSource, const WideChar* pszTarget) noexcept;

// A file or folder opened for its identity alone: through a handle that
// asks for its attributes, shares everything and recalls nothing from
// offline storage, so that no other program is ever kept from it. Null
// when it cannot be opened. Its index on its volume is at hand (0 when the
// file system has none); its whole identity, the volume's serial number and
// its ID there (the 128-bit one where the system has it, Windows 8 and
// later), may cost the file system a request to the volume. False when it
// has no ID.
struct PlatformFileId {
  uint64_t nVolume;
  uint8_t abId[16];
};
PlatformFile PlatformOpenIdentity(const char* pszPath) noexcept;
PlatformFile PlatformOpenIdentity(const WideChar* pszPath) noexcept;
uint64_t PlatformFileIndex(PlatformFile hFile) noexcept;
bool PlatformFileIdentity(PlatformFile hFile, PlatformFileId& id) noexcept;
void PlatformCloseFile(PlatformFile hFile) noexcept;
// The units in upper case, as the file system compares names.
void PlatformUpperCase(WideChar* pwch, int nLength) noexcept;

// True when the window is visible (minimized ones included); brings it to
// the foreground, restored first when minimized, without waiting for its
// thread.
bool PlatformIsWindowVisible(PlatformWindow hWnd) noexcept;
void PlatformActivateWindow(PlatformWindow hWnd) noexcept;

// The shell carries out pszVerb on pszFile with the type's registered
// program, in the normal show state, and shows nothing itself. 0 on
// success, with *phProcess the process it started (null when it handed the
// document to a program already running); otherwise the system's error
// code (ERROR_FILE_NOT_FOUND, ERROR_NO_ASSOCIATION, ERROR_CANCELLED when
// the user declined the consent prompt of a program that needs elevation,
// ...). The request is complete when it returns, a document handed over
// by DDE included, whatever becomes of the calling thread afterwards.
unsigned PlatformShellExecute(PlatformWindow hWndOwner, const char* pszVerb, const char* pszFile,
                              PlatformProcess* phProcess) noexcept;
unsigned PlatformShellExecute(PlatformWindow hWndOwner, const WideChar* pszVerb,
                              const WideChar* pszFile, PlatformProcess* phProcess) noexcept;
// True once the process has ended; closing lets go of it.
bool PlatformProcessExited(PlatformProcess hProcess) noexcept;
void PlatformCloseProcess(PlatformProcess hProcess) noexcept;

// A record of cb bytes that every process of the desktop session opens by
// one name, in memory only: it exists while some process holds it, and is
// made zeroed by the first to open it (only when bCreate). Null when it
// cannot be opened or made; otherwise *ppView is this process's view of
// it, until closed. Giving a process a hold of its own (false when it
// cannot) keeps the record until that process exits.
PlatformRecord PlatformOpenRecord(const WideChar* pszName, size_t cb, bool bCreate,
                                  void** ppView) noexcept;
bool PlatformGiveRecord(PlatformRecord hRecord, PlatformProcess hProcess) noexcept;
void PlatformCloseRecord(PlatformRecord hRecord, void* pView) noexcept;

// Milliseconds since some fixed moment, wrapping around every 49.7 days:
// compare two by their difference.
uint32_t PlatformTickCount() noexcept;
// The calling thread's last-error code, which the host reads after a call.
void PlatformSetLastError(unsigned nError) noexcept;

// A modal box with one OK button; returns when the user has closed it.
// The text is multibyte in the code page nCodePage.
void PlatformMessageBox(const char* pszText, unsigned nCodePage) noexcept;
