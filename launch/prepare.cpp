#include "launch.h"

// The presence of folder\3d is the only mark of a prepared project: once it
// exists nothing in it is created, copied or restored again.
void PreparePrjFolder(CString strFolder, CString strName) {
  const CString strDir = strFolder + c_szSep + "3d";
  const CString strCopy = strDir + c_szSep + strName + c_szHvqExt;
  if (PlatformPathExists(strDir)) return;

  PlatformCreateDirectory(strDir);
  const CString strTemplate = g_strTemplateRoot + "\\3d\\2006.hvq";
  PlatformCopyFile(strTemplate, strCopy);

  const CString strImages = strDir + c_szSep + "images";
  if (!PlatformPathExists(strImages)) PlatformCreateDirectory(strImages);
  const CString strTreePics = strDir + c_szSep + "treepics";
  if (!PlatformPathExists(strTreePics)) PlatformCreateDirectory(strTreePics);
}
