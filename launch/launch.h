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

// Sets the calling thread's error mode for the library's file work for as
// long as it lives, and puts the thread's own back.
class QuietErrorMode {
 public:
  QuietErrorMode() noexcept : m_nPrevious(PlatformQuietErrorMode()) {}
  ~QuietErrorMode() { PlatformRestoreErrorMode(m_nPrevious); }
  QuietErrorMode(const QuietErrorMode&) = delete;
  QuietErrorMode& operator=(const QuietErrorMode&) = delete;

 private:
  const uint32_t m_nPrevious;
};

// A launch still starting counts as open for every process of the desktop
// session, until a window shows the project, the program the shell started
// exits, or c_nLaunchStartingMs pass. Its record is shared memory named
// from a hash of the document's key (LaunchRecordName), claimed by one
// compare-and-swap of its state, so that of processes asking at one
// instant exactly one asks the shell. The program started holds the record
// and takes it along when it exits; a launch that started no process is
// held by this process instead (HeldLaunches). A record holds the key it
// was made for: another key's record never blocks a launch, nor does one
// that cannot be had. The layout is the same for both architectures.
//
// The key names the document, not its spelling: where the document can be
// opened and has an ID, its volume's serial number, that ID and its final
// name in upper case, so that every spelling of one file (case, separators,
// "." and "..", relative and short folder names, other drive letters onto
// the volume) is one record; else the exact text of its path. A file key
// never matches a text key. The record is named from the key's kind, the
// file's index (PlatformFileIndex, 0 for a text key) and its text: the
// volume's serial number, which may cost the file system a request, is read
// only where a record is found or claimed (CompleteLaunchKey).
const uint32_t c_nLaunchStartingMs = 20000;
const int c_nMaxLaunchText = 260;  // MAX_PATH: the shell opens no longer document
struct LaunchKey {
  enum : uint32_t { text = 1, file = 2 };
  uint32_t nKind;
  uint32_t nLength;                    // units of szUnits
  PlatformFileId id;                   // a file key's; zero for a text key
  WideChar szUnits[c_nMaxLaunchText];  // the path, or the file's final name
};
struct SharedLaunch {
  uint32_t nState;  // 0: free; else the launch's tick, low bit set
  LaunchKey key;
};
// A document's key as a launch makes it. The file stays open, for its
// attributes alone, until the key is complete or let go.
struct DocumentKey {
  LaunchKey key;
  uint64_t nIndex = 0;  // the file's index on its volume, which names the record
  PlatformFile hFile = nullptr;
  DocumentKey() = default;
  DocumentKey(const DocumentKey&) = delete;
  DocumentKey& operator=(const DocumentKey&) = delete;
  ~DocumentKey() { CloseFile(); }
  void CloseFile() noexcept;
};
const int c_nLaunchNameLength = 36;  // "Local\hvqlaunch-doc-" and 16 hex digits
void LaunchRecordName(const DocumentKey& doc, WideChar (&szName)[c_nLaunchNameLength + 1]) noexcept;
// The key of a document's path; false when there is none to be had.
template <typename TChar>
bool MakeLaunchKey(const CStringOf<TChar>& strDocument, DocumentKey& doc) noexcept;
// Reads what the key still lacks and lets the file go; false when that
// cannot be had (the key then matches no record).
bool CompleteLaunchKey(DocumentKey& doc) noexcept;

// The records this process holds for launches that started no process
// (the document was handed to a program already running), each for
// c_nLaunchStartingMs at most; let go then, and when the library unloads.
// Read and written under the platform's lock.
struct HeldLaunches {
  static const int c_nMax = 8;
  struct {
    PlatformRecord hRecord;
    void* pView;
    uint32_t nTick;
  } a[c_nMax];
  ~HeldLaunches();
};
extern HeldLaunches g_heldLaunches;

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
// or a launch of it is still starting. nFlags: HVQ_NO_MESSAGE,
// HVQ_ACTIVATE. Returns an HVQ_ result; after HVQ_E_OPEN_FAILED the
// thread's last error says why.
template <typename TChar>
int StartVRAN3D(CStringOf<TChar> strFolder, CStringOf<TChar> strName, unsigned nFlags = 0);
// Opens one file through the shell; tells the user when that fails, unless
// nFlags holds HVQ_NO_MESSAGE or the user declined to let the program
// start. 0, or the system's error code.
template <typename TChar>
unsigned ShellOpenFile(PlatformWindow hWndOwner, const TChar* pszPath, unsigned nFlags,
                       PlatformProcess* phProcess);

// The original hosts' entry points, exported under decorated names.
extern "C" int HVQ_CDECL HvqCheckPrjOpened(const char* pszName) noexcept;
#ifndef _WIN64
extern "C" void HVQ_CDECL HvqStartVRAN3D(HvqStringArg folder, HvqStringArg name) noexcept;
#endif
extern "C" int HVQ_CDECL HvqCheckPrjOpenedWide(const HvqWChar* pszName) noexcept;
