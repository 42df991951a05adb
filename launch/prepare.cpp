#include "launch.h"

// A name the copy can be given inside folder\3d: no separator, no drive or
// stream mark. Characters are walked whole, since a trail byte of the code
// page may have the value of a backslash. "." and ".." are plain here: the
// copy's name always gets the extension appended.
static bool IsPlainFileName(const CString& strName) {
  const char* const pch = strName;
  for (int i = 0; i < strName.GetLength(); ++i) {
    const unsigned char ch = static_cast<unsigned char>(pch[i]);
    if (ch == '\\' || ch == '/' || ch == ':') return false;
    if (ch >= 0x80 && PlatformIsLeadByte(ch) && i + 1 < strName.GetLength()) ++i;
  }
  return true;
}

// The presence of folder\3d is the only mark of a prepared project: once it
// exists nothing in it is created, copied or restored again. Nothing is
// written outside the project: not for a name that would climb out of
// folder\3d, not for an empty working folder (its paths would start at the
// root of the current drive), and not once something else has put an entry
// at folder\3d after it was found missing. Every path is built before the
// first write, so that running out of memory never leaves a project half
// prepared.
void PreparePrjFolder(CString strFolder, CString strName) {
  if (strFolder.IsEmpty() || !IsPlainFileName(strName)) return;
  const CString strDir = strFolder + c_szSep + "3d";
  const CString strCopy = strDir + c_szSep + strName + c_szHvqExt;
  const CString strTemplate = g_strTemplateRoot + "\\3d\\2006.hvq";
  const CString strImages = strDir + c_szSep + "images";
  const CString strTreePics = strDir + c_szSep + "treepics";
  if (strCopy.IsOutOfMemory() || strTemplate.IsOutOfMemory() || strImages.IsOutOfMemory() ||
      strTreePics.IsOutOfMemory())
    return;
  if (PlatformPathExists(strDir)) return;

  if (!PlatformCreateDirectory(strDir) && PlatformPathExists(strDir)) return;
  PlatformCopyFile(strTemplate, strCopy);
  if (!PlatformPathExists(strImages)) PlatformCreateDirectory(strImages);
  if (!PlatformPathExists(strTreePics)) PlatformCreateDirectory(strTreePics);
}
