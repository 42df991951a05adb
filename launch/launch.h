// The library's own logic: module-level state, shared literals and the
// operations behind the two exports. Strings are owned by value; when
// memory runs out an operation releases what it owns and returns.
#pragma once

#include <cstdint>

#include "../platform/cstring.h"
#include "../platform/platform.h"
#include "hvqlaunch.h"

// The document name being looked for, extension included; keeps the last
// name searched. Read and written under the platform's lock.
extern CString g_strPrjName;
// 1 when the last search found a window showing the project, else 0.
extern int32_t g_nPrjOpened;
// Root folder of the project template; fixed for the library's lifetime.
extern CString g_strTemplateRoot;

extern const char c_szHvqExt[5];  // ".hvq"
extern const char c_szSep[2];     // "\\"

// Open-project detection: 1 or 0. When memory runs out the answer is 0
// and *pbOutOfMemory, if given, is set.
int CheckPrjOpened(const char* pszName, bool* pbOutOfMemory = nullptr);
// The per-window test; lParam is the search it belongs to.
int EnumPrjWindowProc(PlatformWindow hWnd, intptr_t lParam);

// Seeds folder\3d from the template when folder\3d does not exist yet.
void PreparePrjFolder(CString strFolder, CString strName);

// Prepares the project and opens its document unless it is already open.
void StartVRAN3D(CString strFolder, CString strName);
// Opens one file through the shell; tells the user when that fails.
void ShellOpenFile(PlatformWindow hWndOwner, const char* pszPath);

// The exported boundary (hvqlaunch.def names them for hosts).
extern "C" int __cdecl HvqCheckPrjOpened(const char* pszName) noexcept;
extern "C" void __cdecl HvqStartVRAN3D(HvqStringArg folder, HvqStringArg name) noexcept;
