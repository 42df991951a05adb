#include <initializer_list>

#include "launch.h"

// A name the copy can be given inside folder\3d: no separator, no drive or
// stream mark. Characters are walked whole, since a trail byte of the code
// page may have the value of a backslash. "." and ".." are plain here: the
// copy's name always gets the extension appended.
template <typename TChar>
static bool IsPlainFileName(const CStringOf<TChar>& strName) {
  const TChar* const pch = strName;
  const size_t nLength = size_t(strName.GetLength());
  for (size_t i = 0; i < nLength; i += size_t(CharacterLength(pch + i, nLength - i))) {
    if (pch[i] == '\\' || pch[i] == '/' || pch[i] == ':') return false;
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
// prepared; nor does a path the system cannot hold (a name past 255
// characters, a path past 32,767): then nothing is made at all. A drive
// with no disk in it fails quietly rather than asking the user.
template <typename TChar>
bool PreparePrjFolder(CStringOf<TChar> strFolder, CStringOf<TChar> strName) {
  typedef CStringOf<TChar> String;
  if (strFolder.IsEmpty() || !IsPlainFileName(strName)) return true;
  const String strDir = strFolder + c_szSep<TChar> + AsciiText<TChar, 3>("3d");
  const String strCopy = strDir + c_szSep<TChar> + strName + c_szHvqExt<TChar>;
  const String strTemplate = TemplateRoot(TChar()) + AsciiText<TChar, 13>("\\3d\\2006.hvq");
  const String strImages = strDir + c_szSep<TChar> + AsciiText<TChar, 7>("images");
  const String strTreePics = strDir + c_szSep<TChar> + AsciiText<TChar, 9>("treepics");
  if (strCopy.IsOutOfMemory() || strTemplate.IsOutOfMemory() || strImages.IsOutOfMemory() ||
      strTreePics.IsOutOfMemory())
    return false;
  const QuietErrorMode quiet;
  if (PlatformPathExists(strDir)) return true;
  for (const String* pstr : {&strDir, &strCopy, &strImages, &strTreePics})
    if (!PlatformCanHoldPath(*pstr)) return true;

  if (!PlatformCreateDirectory(strDir) && PlatformPathExists(strDir)) return true;
  PlatformCopyFile(strTemplate, strCopy);
  if (!PlatformPathExists(strImages)) PlatformCreateDirectory(strImages);
  if (!PlatformPathExists(strTreePics)) PlatformCreateDirectory(strTreePics);
  return true;
}

template bool PreparePrjFolder(CString, CString);
template bool PreparePrjFolder(CStringW, CStringW);
