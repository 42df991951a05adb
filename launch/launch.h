// The library's own logic: module-level state, shared literals and the
// operations behind the exports, each written once over the character
// type: char for multibyte text in the ANSI code page, WideChar for
// UTF-16, which never passes through a code page. Strings are owned by
// value; when memory runs out an operation releases what it owns and
// returns.
#pragma once

#include <cstdint>

#include "../platform/cstring.h"
#include "../platform/platform.h"
#include "hvqlaunch.h"

// The document name being looked for, extension included; keeps the last
// name searched (g_strPrjNameW by the wide entry points). Read and written
// under the platform's lock.
extern CString g_strPrjName;
extern CStringW g_strPrjNameW;
// 1 when the last search found a window showing the project, else 0.
extern int32_t g_nPrjOpened;
// Root folder of the project template; fixed for the library's lifetime.
extern CString g_strTemplateRoot;
extern CStringW g_strTemplateRootW;

inline CString& PrjName(char) { return g_strPrjName; }
inline CStringW& PrjName(WideChar) { return g_strPrjNameW; }
inline const CString& TemplateRoot(char) { return g_strTemplateRoot; }
inline const CStringW& TemplateRoot(WideChar) { return g_strTemplateRootW; }

template <typename TChar>
constexpr AsciiText<TChar, 5> c_szHvqExt{".hvq"};
template <typename TChar>
constexpr AsciiText<TChar, 2> c_szSep{"\\"};

// Holds the platform's lock for as long as it lives.
class LockGuard {
 public:
  LockGuard() noexcept { PlatformLock(); }
  ~LockGuard() { PlatformUnlock(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;
};

// This library's launches of documents that may still be starting: the
// document's path exactly as it was opened, the process the shell started
// for it (null when none, or while the shell is still being asked) and
// when the shell was asked. A few per character type; their processes are
// let go when a record ends and when the library unloads. Read and written
// under the platform's lock.
template <typename TChar>
struct LaunchRecord {
  CStringOf<TChar> strDocument;
  PlatformProcess hProcess = nullptr;
  uint32_t nTick = 0;
  unsigned nSerial = 0;  // 0: a free slot; else the launch's place in order
};
template <typename TChar>
struct LaunchRecords {
  static const int c_nMax = 8;
  LaunchRecord<TChar> a[c_nMax];
  unsigned nLastSerial = 0;
  ~LaunchRecords();
};
extern LaunchRecords<char> g_launches;
extern LaunchRecords<WideChar> g_launchesW;
inline LaunchRecords<char>& Launches(char) { return g_launches; }
inline LaunchRecords<WideChar>& Launches(WideChar) { return g_launchesW; }
// A launch counts as still starting for this long at most.
const uint32_t c_nLaunchStartingMs = 20000;

// Open-project detection: 1 or 0. When memory runs out the answer is 0
// and *pbOutOfMemory, if given, is set. Given phWndShown, the search goes
// on past hidden windows that show the project to the first visible one,
// and sets it (null when all are hidden).
template <typename TChar>
int CheckPrjOpened(const TChar* pszName, bool* pbOutOfMemory = nullptr,
                   PlatformWindow* phWndShown = nullptr);
// The per-window test; lParam is the search it belongs to.
template <typename TChar>
int EnumPrjWindowProc(PlatformWindow hWnd, intptr_t lParam);

// Seeds folder\3d from the template when folder\3d does not exist yet.
// False only when memory ran out, before anything was written.
template <typename TChar>
bool PreparePrjFolder(CStringOf<TChar> strFolder, CStringOf<TChar> strName);

// Prepares the project and opens its document unless it is already open
// or this library's launch of it is still starting. nFlags: HVQ_NO_MESSAGE,
// HVQ_ACTIVATE. Returns an HVQ_ result; after HVQ_E_OPEN_FAILED the
// thread's last error says why.
template <typename TChar>
int StartVRAN3D(CStringOf<TChar> strFolder, CStringOf<TChar> strName, unsigned nFlags = 0);
// Opens one file through the shell; tells the user when that fails, unless
// nFlags holds HVQ_NO_MESSAGE. 0, or the system's error code.
template <typename TChar>
unsigned ShellOpenFile(PlatformWindow hWndOwner, const TChar* pszPath, unsigned nFlags,
                       PlatformProcess* phProcess);

// The original hosts' entry points, exported under decorated names.
extern "C" int __cdecl HvqCheckPrjOpened(const char* pszName) noexcept;
#ifndef _WIN64
extern "C" void __cdecl HvqStartVRAN3D(HvqStringArg folder, HvqStringArg name) noexcept;
#endif
extern "C" int __cdecl HvqCheckPrjOpenedWide(const HvqWChar* pszName) noexcept;
