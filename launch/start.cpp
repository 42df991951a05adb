#include <cstring>

#include "launch.h"

// "打开失败!" (open failed) in GBK, code page 936, shown as such on every
// system.
static const char c_szOpenFailed[] = "\xb4\xf2\xbf\xaa\xca\xa7\xb0\xdc!";
static const unsigned c_nOpenFailedCodePage = 936;
// ERROR_CANCELLED: the user declined the consent prompt of a program that
// needs elevation, and has just chosen; nothing failed that a box should
// report.
static const unsigned c_nDeclined = 1223;

// True when the name's last whole characters are ".hvq": the shell then
// opens a document of that type and nothing else.
template <typename TChar>
static bool EndsWithHvqExt(const CStringOf<TChar>& strName) {
  const size_t nExt = 4;
  const size_t nLength = size_t(strName.GetLength());
  if (nLength < nExt) return false;
  const TChar* const pch = strName;
  if (memcmp(pch + nLength - nExt, c_szHvqExt<TChar>.sz, nExt * sizeof(TChar)) != 0) return false;
  size_t i = 0;
  while (i < nLength - nExt) i += size_t(CharacterLength(pch + i, nLength - i));
  return i == nLength - nExt;
}

template <typename TChar>
unsigned ShellOpenFile(PlatformWindow hWndOwner, const TChar* pszPath, unsigned nFlags,
                       PlatformProcess* phProcess) {
  *phProcess = nullptr;
  if (!pszPath) return 0;
  const unsigned nError =
      PlatformShellExecute(hWndOwner, AsciiText<TChar, 5>("open"), pszPath, phProcess);
  if (nError && nError != c_nDeclined && !(nFlags & HVQ_NO_MESSAGE))
    PlatformMessageBox(c_szOpenFailed, c_nOpenFailedCodePage);
  return nError;
}

// FNV-1a over the key's kind, the file's index and the key's units, as 16
// hex digits after the library's prefix in the session's namespace.
// Records of the earlier layout, which held only a text, had another
// prefix.
void LaunchRecordName(const DocumentKey& doc,
                      WideChar (&szName)[c_nLaunchNameLength + 1]) noexcept {
  uint64_t nHash = 14695981039346656037u;
  const auto mix = [&nHash](const void* p, size_t cb) {
    for (size_t i = 0; i < cb; ++i)
      nHash = (nHash ^ static_cast<const uint8_t*>(p)[i]) * 1099511628211u;
  };
  mix(&doc.key.nKind, sizeof doc.key.nKind);
  mix(&doc.nIndex, sizeof doc.nIndex);
  mix(doc.key.szUnits, size_t(doc.key.nLength) * sizeof(WideChar));
  const AsciiText<WideChar, 21> szPrefix("Local\\hvqlaunch-doc-");
  memcpy(szName, szPrefix.sz, sizeof szPrefix.sz);
  for (int i = c_nLaunchNameLength - 1; i >= 20; --i, nHash >>= 4)
    szName[i] = WideChar("0123456789abcdef"[nHash & 15]);
  szName[c_nLaunchNameLength] = 0;
}

void DocumentKey::CloseFile() noexcept {
  if (hFile) PlatformCloseFile(hFile);
  hFile = nullptr;
}

namespace {

// The document as UTF-16 text: the narrow path through the ANSI code
// page. Its length, or 0 when it cannot be had.
int LaunchText(const CString& strDocument, WideChar* pwch) {
  return PlatformAnsiToWide(strDocument, strDocument.GetLength(), pwch, c_nMaxLaunchText);
}
int LaunchText(const CStringW& strDocument, WideChar* pwch) {
  const int nLength = strDocument.GetLength();
  if (nLength > c_nMaxLaunchText) return 0;
  memcpy(pwch, static_cast<const WideChar*>(strDocument), size_t(nLength) * sizeof(WideChar));
  return nLength;
}

}  // namespace

// The document is opened outside the library's lock, under its quiet error
// mode, for its attributes alone, as the shell's own request for it would
// be: a drive without a disk fails at once, and no viewer is kept from it.
// Its index names the record; the rest of its identity waits until a
// record is found or claimed, so that a launch that finds the project open
// asks the volume nothing.
template <typename TChar>
bool MakeLaunchKey(const CStringOf<TChar>& strDocument, DocumentKey& doc) noexcept {
  LaunchKey& key = doc.key;
  key = LaunchKey{};
  const int nText = LaunchText(strDocument, key.szUnits);
  if (nText <= 0) return false;
  key.nKind = LaunchKey::text;
  key.nLength = uint32_t(nText);
  {
    const QuietErrorMode quiet;
    doc.hFile = PlatformOpenIdentity(static_cast<const TChar*>(strDocument));
    if (doc.hFile) doc.nIndex = PlatformFileIndex(doc.hFile);
    // No index at hand: the whole identity now, its ID naming the record.
    if (doc.hFile && !doc.nIndex && PlatformFileIdentity(doc.hFile, key.id))
      memcpy(&doc.nIndex, key.id.abId, sizeof doc.nIndex);
  }
  if (!doc.nIndex) {  // no identity: the text
    doc.CloseFile();
    key.id = PlatformFileId{};
    return true;
  }
  int nName = nText;  // the final name begins after the last separator
  while (nName > 0 && key.szUnits[nName - 1] != '\\' && key.szUnits[nName - 1] != '/') --nName;
  memmove(key.szUnits, key.szUnits + nName, size_t(nText - nName) * sizeof(WideChar));
  key.nKind = LaunchKey::file;
  key.nLength = uint32_t(nText - nName);
  PlatformUpperCase(key.szUnits, int(key.nLength));
  return true;
}

// A text key is whole from the start, a file key once its ID is read: an
// ID is never 0.
static bool IsComplete(const LaunchKey& key) {
  const uint8_t abNone[sizeof key.id.abId] = {};
  return key.nKind == LaunchKey::text || memcmp(key.id.abId, abNone, sizeof abNone) != 0;
}

bool CompleteLaunchKey(DocumentKey& doc) noexcept {
  if (!IsComplete(doc.key) && doc.hFile) {
    const QuietErrorMode quiet;
    if (!PlatformFileIdentity(doc.hFile, doc.key.id)) doc.key.id = PlatformFileId{};
  }
  doc.CloseFile();
  return IsComplete(doc.key);
}

template bool MakeLaunchKey(const CString&, DocumentKey&) noexcept;
template bool MakeLaunchKey(const CStringW&, DocumentKey&) noexcept;

namespace {

// One document's launch record, as this process sees it.
struct LaunchRecord {
  PlatformRecord hRecord = nullptr;
  SharedLaunch* p = nullptr;
  uint32_t nState = 0;  // what this launch claimed it with

  // Opens the record of the key; false when it cannot be had.
  bool Open(const DocumentKey& doc, bool bCreate) {
    WideChar szName[c_nLaunchNameLength + 1];
    LaunchRecordName(doc, szName);
    void* pView = nullptr;
    hRecord = PlatformOpenRecord(szName, sizeof(SharedLaunch), bCreate, &pView);
    p = static_cast<SharedLaunch*>(pView);
    return hRecord != nullptr;
  }
  void Close() {
    if (hRecord) PlatformCloseRecord(hRecord, p);
    hRecord = nullptr;
  }
  uint32_t State() const { return __atomic_load_n(&p->nState, __ATOMIC_ACQUIRE); }
  bool Swap(uint32_t nOld, uint32_t nNew) {
    return __atomic_compare_exchange_n(&p->nState, &nOld, nNew, false, __ATOMIC_ACQ_REL,
                                       __ATOMIC_ACQUIRE);
  }
  // Read only while the state is live: the claimer wrote it before. A key
  // that cannot be completed matches nothing.
  bool Holds(DocumentKey& doc) const {
    if (!CompleteLaunchKey(doc)) return false;
    const LaunchKey& key = doc.key;
    return p->key.nKind == key.nKind && p->key.nLength == key.nLength &&
           memcmp(&p->key.id, &key.id, sizeof key.id) == 0 &&
           memcmp(p->key.szUnits, key.szUnits, size_t(key.nLength) * sizeof(WideChar)) == 0;
  }
};

bool IsLive(uint32_t nState, uint32_t nNow) {
  return nState && uint32_t(nNow - (nState & ~1u)) < c_nLaunchStartingMs;
}

// False when a launch of the document is still starting, from any
// process. Otherwise claims its record for this launch, when it can: the
// claimer writes the key, then swaps the state, so that of several
// claimers one wins and the others find its launch starting. A few tries
// at most.
bool BeginLaunch(DocumentKey& doc, LaunchRecord& launch) {
  if (!launch.Open(doc, true)) return true;
  for (int nTry = 0; nTry < 4; ++nTry) {
    const uint32_t nState = launch.State();
    const uint32_t nNow = PlatformTickCount();
    if (IsLive(nState, nNow)) {
      const bool bStarting = launch.Holds(doc);
      launch.Close();
      return !bStarting;
    }
    if (!CompleteLaunchKey(doc)) break;
    launch.p->key = doc.key;
    launch.nState = nNow | 1;
    if (launch.Swap(nState, launch.nState)) return true;
  }
  launch.Close();
  return true;
}

// Holds a record for a launch that started no process, in a free slot or
// in place of one past its time (or of the oldest).
void HoldLaunch(const LaunchRecord& launch) {
  LockGuard lock;
  const uint32_t nNow = PlatformTickCount();
  auto* pSlot = &g_heldLaunches.a[0];
  for (auto& held : g_heldLaunches.a) {
    if (held.hRecord && uint32_t(nNow - held.nTick) >= c_nLaunchStartingMs) {
      PlatformCloseRecord(held.hRecord, held.pView);
      held.hRecord = nullptr;
    }
    if (!pSlot->hRecord) continue;  // a free one was found
    if (!held.hRecord || uint32_t(nNow - held.nTick) > uint32_t(nNow - pSlot->nTick)) pSlot = &held;
  }
  if (pSlot->hRecord) PlatformCloseRecord(pSlot->hRecord, pSlot->pView);
  *pSlot = {launch.hRecord, launch.p, nNow};
}

// What the shell answered: a failure leaves no record; a success starts
// the launch's 20 s and gives the record to the program started, or leaves
// it with this process when there is none (or it cannot be given).
void FinishLaunch(LaunchRecord& launch, unsigned nError, PlatformProcess hProcess) {
  if (launch.hRecord) {
    const uint32_t nState = nError ? 0 : PlatformTickCount() | 1;
    bool bHold = launch.Swap(launch.nState, nState) && nState;
    if (bHold && hProcess)
      bHold = !PlatformGiveRecord(launch.hRecord, hProcess) &&
              !(PlatformProcessExited(hProcess) && launch.Swap(nState, 0));
    if (bHold)
      HoldLaunch(launch);
    else
      launch.Close();
  }
  if (hProcess) PlatformCloseProcess(hProcess);
}

// A window shows the project: its launch is over for every process.
void EndLaunchOf(DocumentKey& doc) {
  LaunchRecord record;
  if (!record.Open(doc, false)) return;
  const uint32_t nState = record.State();
  if (IsLive(nState, PlatformTickCount()) && record.Holds(doc)) record.Swap(nState, 0);
  record.Close();
}

}  // namespace

// The document opened is folder\name.hvq in the working folder itself, not
// the template copy under folder\3d. A document whose launch is starting,
// from this process or another, counts as open, so that a second call
// before the program shows its window starts no second copy; no lock is
// held while the shell runs or the box is up. Every path is built
// before the first write: when memory runs out, nothing is opened and
// nothing is half prepared; a search that could not finish may have missed
// the window that shows the project, so nothing is opened then either.
template <typename TChar>
int StartVRAN3D(CStringOf<TChar> strFolder, CStringOf<TChar> strName, unsigned nFlags) {
  if (strFolder.IsOutOfMemory() || strName.IsOutOfMemory()) return HVQ_E_OUT_OF_MEMORY;
  CStringOf<TChar> strDocument = strFolder + c_szSep<TChar> + strName;
  if (!EndsWithHvqExt(strName)) strDocument += c_szHvqExt<TChar>;
  if (strDocument.IsOutOfMemory() || !PreparePrjFolder(strFolder, strName))
    return HVQ_E_OUT_OF_MEMORY;

  bool bOutOfMemory = false;
  PlatformWindow hWndShown = nullptr;
  const int nOpened =
      CheckPrjOpened<TChar>(strName, &bOutOfMemory, (nFlags & HVQ_ACTIVATE) ? &hWndShown : nullptr);
  if (bOutOfMemory) return HVQ_E_OUT_OF_MEMORY;
  DocumentKey key;
  const bool bKey = MakeLaunchKey(strDocument, key);
  if (nOpened) {
    if (bKey) EndLaunchOf(key);
    if (hWndShown) PlatformActivateWindow(hWndShown);
    return HVQ_ALREADY_OPEN;
  }

  LaunchRecord launch;
  if (bKey && !BeginLaunch(key, launch)) return HVQ_OPENING;
  key.CloseFile();  // the shell opens the document itself
  PlatformProcess hProcess = nullptr;
  const unsigned nError = ShellOpenFile<TChar>(nullptr, strDocument, nFlags, &hProcess);
  FinishLaunch(launch, nError, hProcess);
  if (!nError) return HVQ_OPENED;
  PlatformSetLastError(nError);  // after the box, which may have changed it
  return HVQ_E_OPEN_FAILED;
}

template int StartVRAN3D(CString, CString, unsigned);
template int StartVRAN3D(CStringW, CStringW, unsigned);
