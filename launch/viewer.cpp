#include <cstring>

#include "launch.h"

// "打开失败!" (open failed) in GBK, code page 936, shown as such on every
// system.
static const char c_szOpenFailed[] = "\xb4\xf2\xbf\xaa\xca\xa7\xb0\xdc!";
static const unsigned c_nOpenFailedCodePage = 936;

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
  if (nError && !(nFlags & HVQ_NO_MESSAGE))
    PlatformMessageBox(c_szOpenFailed, c_nOpenFailedCodePage);
  return nError;
}

namespace {

// The launch records, each call under the platform's lock.
template <typename TChar>
bool SameText(const CStringOf<TChar>& a, const CStringOf<TChar>& b) {
  return a.GetLength() == b.GetLength() && memcmp(a, b, size_t(a.GetLength()) * sizeof(TChar)) == 0;
}

template <typename TChar>
void EndLaunch(LaunchRecord<TChar>& record) {
  if (record.hProcess) PlatformCloseProcess(record.hProcess);
  record = LaunchRecord<TChar>();
}

// A launch is starting until its process exits or its time is up; one with
// no process (the shell still being asked, or the document handed to a
// program already running) until its time is up.
template <typename TChar>
bool IsStarting(const LaunchRecord<TChar>& record, uint32_t nNow) {
  return uint32_t(nNow - record.nTick) < c_nLaunchStartingMs &&
         !(record.hProcess && PlatformProcessExited(record.hProcess));
}

template <typename TChar>
void EndLaunchesOf(const CStringOf<TChar>& strDocument) {
  for (LaunchRecord<TChar>& record : Launches(TChar()).a)
    if (record.nSerial && SameText(record.strDocument, strDocument)) EndLaunch(record);
}

// False when a launch of the document is still starting. Otherwise records
// the one about to ask the shell, in a free slot or the oldest one's, and
// gives its serial. Launches that are over are let go on the way.
template <typename TChar>
bool BeginLaunch(const CStringOf<TChar>& strDocument, unsigned* pnSerial) {
  LaunchRecords<TChar>& launches = Launches(TChar());
  const uint32_t nNow = PlatformTickCount();
  LaunchRecord<TChar>* pSlot = &launches.a[0];
  for (LaunchRecord<TChar>& record : launches.a) {
    if (record.nSerial && !IsStarting(record, nNow)) EndLaunch(record);
    if (record.nSerial && SameText(record.strDocument, strDocument)) return false;
    if (pSlot->nSerial && (!record.nSerial || record.nSerial < pSlot->nSerial)) pSlot = &record;
  }
  EndLaunch(*pSlot);
  if (++launches.nLastSerial == 0) ++launches.nLastSerial;
  pSlot->strDocument = strDocument;
  pSlot->nTick = nNow;
  pSlot->nSerial = *pnSerial = launches.nLastSerial;
  return true;
}

// What the shell answered for launch nSerial: a failure leaves no record.
template <typename TChar>
void FinishLaunch(unsigned nSerial, unsigned nError, PlatformProcess hProcess) {
  for (LaunchRecord<TChar>& record : Launches(TChar()).a) {
    if (record.nSerial != nSerial) continue;
    if (nError) {
      EndLaunch(record);
    } else {
      record.hProcess = hProcess;
      record.nTick = PlatformTickCount();
    }
    return;
  }
  if (hProcess) PlatformCloseProcess(hProcess);  // its record made way for a newer one
}

}  // namespace

// The document opened is folder\name.hvq in the working folder itself, not
// the template copy under folder\3d. A document this library has had the
// shell open counts as open while its launch is starting, so that a second
// call before the program shows its window starts no second copy; no lock
// is held while the shell runs or the box is up. Every path is built
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
  if (nOpened) {
    {
      LockGuard lock;
      EndLaunchesOf(strDocument);
    }
    if (hWndShown) PlatformActivateWindow(hWndShown);
    return HVQ_ALREADY_OPEN;
  }

  unsigned nSerial = 0;
  {
    LockGuard lock;
    if (!BeginLaunch(strDocument, &nSerial)) return HVQ_OPENING;
  }
  PlatformProcess hProcess = nullptr;
  const unsigned nError = ShellOpenFile<TChar>(nullptr, strDocument, nFlags, &hProcess);
  {
    LockGuard lock;
    FinishLaunch<TChar>(nSerial, nError, hProcess);
  }
  if (!nError) return HVQ_OPENED;
  PlatformSetLastError(nError);  // after the box, which may have changed it
  return HVQ_E_OPEN_FAILED;
}

template int StartVRAN3D(CString, CString, unsigned);
template int StartVRAN3D(CStringW, CStringW, unsigned);
