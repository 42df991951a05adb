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

// Open-project detection: 1 or 0. When memory runs out the answer is 0
// and *pbOutOfMemory, if given, is set.
template <typename TChar>
int CheckPrjOpened(const TChar* pszName, bool* pbOutOfMemory = nullptr);
// The per-window test; lParam is the search it belongs to.
template <typename TChar>
int EnumPrjWindowProc(PlatformWindow hWnd, intptr_t lParam);

// Seeds folder\3d from the template when folder\3d does not exist yet.
template <typename TChar>
void PreparePrjFolder(CStringOf<TChar> strFolder, CStringOf<TChar> strName);

// Prepares the project and opens its document unless it is already open.
template <typename TChar>
void StartVRAN3D(CStringOf<TChar> strFolder, CStringOf<TChar> strName);
// Opens one file through the shell; tells the user when that fails.
template <typename TChar>
void ShellOpenFile(PlatformWindow hWndOwner, const TChar* pszPath);

// The original hosts' entry points, exported under decorated names.
extern "C" int __cdecl HvqCheckPrjOpened(const char* pszName) noexcept;
#ifndef _WIN64
extern "C" void __cdecl HvqStartVRAN3D(HvqStringArg folder, HvqStringArg name) noexcept;
#endif
extern "C" int __cdecl HvqCheckPrjOpenedWide(const HvqWChar* pszName) noexcept;
