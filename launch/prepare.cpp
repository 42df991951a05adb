#include "launch.h"

// The presence of folder\3d is the only mark of a prepared project: once it
// exists nothing in it is created, copied or restored again. Every path is
// built before the first write, so that running out of memory never
// leaves a project half prepared.
void PreparePrjFolder(CString strFolder, CString strName) {
  const CString strDir = strFolder + c_szSep + "3d";
  const CString strCopy = strDir + c_szSep + strName + c_szHvqExt;
  const CString strTemplate = g_strTemplateRoot + "\\3d\\2006.hvq";
  const CString strImages = strDir + c_szSep + "images";
  const CString strTreePics = strDir + c_szSep + "treepics";
  if (strCopy.IsOutOfMemory() || strTemplate.IsOutOfMemory() || strImages.IsOutOfMemory() ||
      strTreePics.IsOutOfMemory())
    return;
  if (PlatformPathExists(strDir)) return;

  PlatformCreateDirectory(strDir);
  PlatformCopyFile(strTemplate, strCopy);
  if (!PlatformPathExists(strImages)) PlatformCreateDirectory(strImages);
  if (!PlatformPathExists(strTreePics)) PlatformCreateDirectory(strTreePics);
}
