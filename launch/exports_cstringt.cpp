// The newer hosts' entry points: StartVRAN3D taking the CString of every
// compiler since the original one (a class template over the character
// type and its traits), narrow or wide. Whatever the traits, the object is
// one pointer to the characters, with this header in front of them.
#include "hvqlaunch.h"
#include "launch.h"

namespace {

struct StringMgr;

struct StringData {
  StringMgr* pStringMgr;
  int nDataLength;   // characters, without the terminator
  int nAllocLength;  // characters
  long nRefs;        // the manager's empty string starts at 2 and is never freed
};

// The host's string manager: a virtual table of Allocate, Free,
// Reallocate, GetNilString and Clone, called as members (this in ecx on
// x86).
#if defined(_WIN32) && !defined(_WIN64)
#define HVQ_THISCALL __thiscall
#else
#define HVQ_THISCALL
#endif
typedef void(HVQ_THISCALL* FreeProc)(StringMgr* pThis, StringData* pData);
struct StringMgr {
  void* const* vtable;
};

// One argument as it arrives: on x86 the object itself, one stack slot; on
// x64 a pointer to the caller's temporary. Either way the call destroys it.
template <typename TChar>
struct StringArg {
  TChar* pszData;
};
#ifdef _WIN64
template <typename TChar>
using StringParam = const StringArg<TChar>*;
#else
template <typename TChar>
using StringParam = StringArg<TChar>;
#endif
template <typename TChar>
TChar* Chars(StringArg<TChar> arg) {
  return arg.pszData;
}
template <typename TChar>
TChar* Chars(const StringArg<TChar>* arg) {
  return arg->pszData;
}

// Drops the call's reference; the last one goes back to the host's own
// manager. Nothing touches the string afterwards.
void Release(void* pszData) noexcept {
  StringData* pData = static_cast<StringData*>(pszData) - 1;
  if (__atomic_sub_fetch(&pData->nRefs, 1, __ATOMIC_ACQ_REL) <= 0)
    reinterpret_cast<FreeProc>(pData->pStringMgr->vtable[1])(pData->pStringMgr, pData);
}

template <typename TChar, typename THostChar>
void Start(StringParam<THostChar> folder, StringParam<THostChar> name) noexcept {
  StartVRAN3D(CStringOf<TChar>(reinterpret_cast<const TChar*>(Chars(folder))),
              CStringOf<TChar>(reinterpret_cast<const TChar*>(Chars(name))));
  Release(Chars(folder));
  Release(Chars(name));
}

}  // namespace

// Narrow strings take the multibyte launch; wchar_t and unsigned short
// ones the wide launch.
extern "C" void HVQ_CDECL HvqStartVRAN3DStringTA(StringParam<char> folder,
                                                 StringParam<char> name) noexcept {
  Start<char, char>(folder, name);
}

extern "C" void HVQ_CDECL HvqStartVRAN3DStringTW(StringParam<HvqWChar> folder,
                                                 StringParam<HvqWChar> name) noexcept {
  Start<WideChar, HvqWChar>(folder, name);
}
