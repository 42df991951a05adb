// The twelve StartVRAN3D forms of hosts rebuilt with a newer compiler:
// ATL::CStringT over a string manager that counts what it frees, passed by
// value (the callee destroys its arguments). Compiled for the MSVC C++ ABI
// of the architecture, which these exports have, and called through
// pointers found by their decorated names, which the compiler gives here
// (__FUNCDNAME__), and by their ordinals.
#include "atlstr.h"
#include "hvqlaunch.h"

extern "C" __declspec(dllimport) void* __stdcall GetProcAddress(void* module, const char* name);

typedef void(__cdecl* HvqSelftestCheck)(int ok, const char* what, int line);

namespace {

HvqSelftestCheck g_check;
#undef CHECK
#define CHECK(cond) g_check((cond) ? 1 : 0, #cond, __LINE__)

// Counts what it frees; its empty string starts at 2 and is never freed.
struct CountingMgr : ATL::HeapStringMgr {
  int frees = 0;
  struct {
    ATL::CStringData header;
    wchar_t nul;
  } nil = {{this, 0, 0, 2}, 0};
  void Free(ATL::CStringData* pData) override {
    CHECK(pData != &nil.header);
    ++frees;
    HeapStringMgr::Free(pData);
  }
  ATL::CStringData* GetNilString() override {
    ++nil.header.nRefs;
    return &nil.header;
  }
};
CountingMgr* g_mgr;
const char* g_name;  // the decorated name of the form last asked for

}  // namespace

template <typename T, class ChTraits>
class StrTraitMFC_DLL {};
template <typename T, class ChTraits>
class StrTraitMFC {};

// One definition per form with the export's own signature, which says its
// decorated name.
#define HVQ_FORM(Traits, ChTraits, T)                          \
  void StartVRAN3D(ATL::CStringT<T, Traits<T, ChTraits<T>>>,   \
                   ATL::CStringT<T, Traits<T, ChTraits<T>>>) { \
    g_name = __FUNCDNAME__;                                    \
  }
#define HVQ_FORMS(Traits, ChTraits) \
  HVQ_FORM(Traits, ChTraits, char)  \
  HVQ_FORM(Traits, ChTraits, wchar_t) HVQ_FORM(Traits, ChTraits, unsigned short)
HVQ_FORMS(StrTraitMFC_DLL, ATL::ChTraitsCRT)
HVQ_FORMS(StrTraitMFC, ATL::ChTraitsCRT)
HVQ_FORMS(ATL::StrTraitATL, ATL::ChTraitsCRT)
HVQ_FORMS(ATL::StrTraitATL, ATL::ChTraitsOS)

namespace {

void* g_dll;
const char* g_folderA;
const wchar_t* g_folderW;

template <typename T>
const T* Folder();
template <>
const char* Folder<char>() {
  return g_folderA;
}
template <>
const wchar_t* Folder<wchar_t>() {
  return g_folderW;
}
template <>
const unsigned short* Folder<unsigned short>() {
  return reinterpret_cast<const unsigned short*>(g_folderW);
}

template <typename T>
const T* Name() {
  static const T name[] = {'n', 'e', 'w', 'd', 'e', 'c', 'k', 0};
  return name;
}

// Found by name and ordinal alike; references the host keeps come back to
// where they were, the last ones are freed once each through the host's
// manager, and the shared empty string is never touched. The project is
// shown open: no shell.
template <typename T, template <typename, class> class Traits, template <typename> class ChTraits>
void Form(IntPtr ordinal) {
  typedef ATL::CStringT<T, Traits<T, ChTraits<T>>> String;
  typedef void(__cdecl * Proc)(String, String);
  g_name = nullptr;
  StartVRAN3D(String(), String());
  const Proc start = reinterpret_cast<Proc>(GetProcAddress(g_dll, g_name));
  CHECK(start && reinterpret_cast<void*>(start) ==
                     GetProcAddress(g_dll, reinterpret_cast<const char*>(ordinal)));
  if (!start) return;
  const int frees = g_mgr->frees;
  {
    String folder(Folder<T>()), name(Name<T>());
    start(folder, name);
    start(folder, name);
    CHECK(folder.Refs() == 1 && name.Refs() == 1 && g_mgr->frees == frees);
  }
  start(String(Folder<T>()), String(Name<T>()));
  CHECK(g_mgr->frees == frees + 4);
  const long nilRefs = g_mgr->nil.header.nRefs;
  start(String(Folder<T>()), String());
  CHECK(g_mgr->frees == frees + 5 && g_mgr->nil.header.nRefs == nilRefs);
}

template <template <typename, class> class Traits, template <typename> class ChTraits>
void Forms(IntPtr first) {
  Form<char, Traits, ChTraits>(first);
  Form<wchar_t, Traits, ChTraits>(first + 1);
  Form<unsigned short, Traits, ChTraits>(first + 2);
}

}  // namespace

// Every form on FOLDER (narrow and wide, shown open as "newdeck"), then a
// launch of DOC in FOLDER2 by a Unicode ATL host's CString: whether its
// two strings went back to the host's manager.
extern "C" void __cdecl HvqSelftestCStringT(void* dll, const char* folderA, const wchar_t* folderW,
                                            const wchar_t* folder2, const wchar_t* doc,
                                            HvqSelftestCheck check) {
  CountingMgr mgr;
  g_mgr = &mgr;
  ATL::g_pStringMgr = &mgr;
  g_check = check;
  g_dll = dll;
  g_folderA = folderA;
  g_folderW = folderW;
  Forms<StrTraitMFC_DLL, ATL::ChTraitsCRT>(9);
  Forms<StrTraitMFC, ATL::ChTraitsCRT>(12);
  Forms<ATL::StrTraitATL, ATL::ChTraitsCRT>(15);
  Forms<ATL::StrTraitATL, ATL::ChTraitsOS>(18);
  g_name = nullptr;
  StartVRAN3D(CString(), CString());
  typedef void(__cdecl * Proc)(CString, CString);
  if (const Proc start = reinterpret_cast<Proc>(GetProcAddress(dll, g_name))) {
    const int frees = mgr.frees;
    start(CString(folder2), CString(doc));
    CHECK(mgr.frees == frees + 2);
  }
  ATL::g_pStringMgr = &ATL::g_heapStringMgr;
}
