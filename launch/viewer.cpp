#include <cstring>

#include "launch.h"

// "打开失败!" (open failed) in GBK, code page 936, shown as such on every
// system.
static const char c_szOpenFailed[] = "\xb4\xf2\xbf\xaa\xca\xa7\xb0\xdc!";
static const unsigned c_nOpenFailedCodePage = 936;

// True when the name's last whole character ends in ".hvq": the shell then
// opens a document of that type and nothing else.
static bool EndsWithHvqExt(const CString& strName) {
  const int nExt = int(sizeof(c_szHvqExt) - 1);
  const int nLength = strName.GetLength();
  if (nLength < nExt) return false;
  const char* const pch = strName;
  if (memcmp(pch + nLength - nExt, c_szHvqExt, size_t(nExt)) != 0) return false;
  int i = 0;
  while (i < nLength - nExt) i += PlatformIsLeadByte(static_cast<unsigned char>(pch[i])) ? 2 : 1;
  return i == nLength - nExt;
}

void ShellOpenFile(PlatformWindow hWndOwner, const char* pszPath) {
  if (!pszPath) return;
  const intptr_t nResult = PlatformShellExecute(hWndOwner, "open", pszPath);
  if (int32_t(nResult) <= 32) PlatformMessageBox(c_szOpenFailed, c_nOpenFailedCodePage);
}

// The document opened is folder\name.hvq in the working folder itself, not
// the template copy under folder\3d.
// When memory runs out nothing is launched: a search that could not finish
// may have missed the window that shows the project.
void StartVRAN3D(CString strFolder, CString strName) {
  if (strFolder.IsOutOfMemory() || strName.IsOutOfMemory()) return;
  PreparePrjFolder(strFolder, strName);
  bool bOutOfMemory = false;
  if (CheckPrjOpened(strName, &bOutOfMemory) != 0 || bOutOfMemory) return;

  CString strDocument = strFolder + c_szSep + strName;
  if (!EndsWithHvqExt(strName)) strDocument += c_szHvqExt;
  if (strDocument.IsOutOfMemory()) return;
  ShellOpenFile(nullptr, strDocument);
}
