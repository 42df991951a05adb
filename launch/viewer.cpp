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
void ShellOpenFile(PlatformWindow hWndOwner, const TChar* pszPath) {
  if (!pszPath) return;
  const intptr_t nResult = PlatformShellExecute(hWndOwner, AsciiText<TChar, 5>("open"), pszPath);
  if (int32_t(nResult) <= 32) PlatformMessageBox(c_szOpenFailed, c_nOpenFailedCodePage);
}

// The document opened is folder\name.hvq in the working folder itself, not
// the template copy under folder\3d.
// When memory runs out nothing is launched: a search that could not finish
// may have missed the window that shows the project.
template <typename TChar>
void StartVRAN3D(CStringOf<TChar> strFolder, CStringOf<TChar> strName) {
  if (strFolder.IsOutOfMemory() || strName.IsOutOfMemory()) return;
  PreparePrjFolder(strFolder, strName);
  bool bOutOfMemory = false;
  if (CheckPrjOpened<TChar>(strName, &bOutOfMemory) != 0 || bOutOfMemory) return;

  CStringOf<TChar> strDocument = strFolder + c_szSep<TChar> + strName;
  if (!EndsWithHvqExt(strName)) strDocument += c_szHvqExt<TChar>;
  if (strDocument.IsOutOfMemory()) return;
  ShellOpenFile<TChar>(nullptr, strDocument);
}

template void StartVRAN3D(CString, CString);
template void StartVRAN3D(CStringW, CStringW);
