// A host rebuilt with a newer compiler: its CString is ATL::CStringT over a
// string manager that counts what it frees, passed by value to each of the
// twelve StartVRAN3D forms (the callee destroys its arguments); the C
// entry points beside them; a launch that another process sees starting.
// Built freestanding for the MSVC C++ ABI of every architecture.
#include "freestanding.h"

#include "standins/atlstr.h"

extern "C" {
__declspec(dllimport) void* __stdcall CreateFileW(const wchar_t* path, unsigned long access,
                                                  unsigned long share, void* security,
                                                  unsigned long disposition, unsigned long flags,
                                                  void* templateFile);
__declspec(dllimport) int __stdcall CloseHandle(void* handle);
__declspec(dllimport) void __stdcall Sleep(unsigned long ms);
__declspec(dllimport) unsigned long __stdcall GetModuleFileNameW(void* module, wchar_t* path,
                                                                 unsigned long size);
__declspec(dllimport) wchar_t* __stdcall GetCommandLineW();
__declspec(dllimport) void* __stdcall GetModuleHandleW(const wchar_t* name);
__declspec(dllimport) void* __stdcall GetProcAddress(void* module, const char* name);
__declspec(dllimport) void* __stdcall CreateWindowExW(unsigned long, const wchar_t*, const wchar_t*,
                                                      unsigned long, int, int, int, int, void*,
                                                      void*, void*, void*);
__declspec(dllimport) long __stdcall RegSetKeyValueW(void* key, const wchar_t* subkey,
                                                     const wchar_t* value, unsigned long type,
                                                     const void* data, unsigned long size);
}

namespace {

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
CountingMgr* g_mgr;  // made in HostMain: nothing runs constructors of globals here

}  // namespace

template <typename T, class ChTraits>
class StrTraitMFC_DLL {};
template <typename T, class ChTraits>
class StrTraitMFC {};

// Through the header, as a Unicode host with ATL declares it.
#define HVQ_HOST_HAS_CSTRING
#include "hvqlaunch.h"

// The other eleven, as the other hosts declare them.
#define HVQ_DECLARE(Traits, ChTraits, T)                                           \
  __declspec(dllimport) void StartVRAN3D(ATL::CStringT<T, Traits<T, ChTraits<T>>>, \
                                         ATL::CStringT<T, Traits<T, ChTraits<T>>>);
#define HVQ_DECLARE_ALL(Traits, ChTraits) \
  HVQ_DECLARE(Traits, ChTraits, char)     \
  HVQ_DECLARE(Traits, ChTraits, wchar_t)  \
  HVQ_DECLARE(Traits, ChTraits, unsigned short)
HVQ_DECLARE_ALL(StrTraitMFC_DLL, ATL::ChTraitsCRT)
HVQ_DECLARE_ALL(StrTraitMFC, ATL::ChTraitsCRT)
HVQ_DECLARE_ALL(ATL::StrTraitATL, ATL::ChTraitsCRT)
HVQ_DECLARE_ALL(ATL::StrTraitATL, ATL::ChTraitsOS)

namespace {

template <typename T>
const T* Text(const char* ascii) {
  static T buffer[4][64];
  static int next = 0;
  T* out = buffer[next++ % 4];
  for (int i = 0; (out[i] = T(ascii[i])) != 0; ++i) {
  }
  return out;
}

// References the host keeps come back to where they were, the last ones
// are freed once each through the host's manager, and the shared empty
// string is never touched. The project is shown open: no shell.
template <typename T, template <typename, class> class Traits, template <typename> class ChTraits>
void Form() {
  typedef ATL::CStringT<T, Traits<T, ChTraits<T>>> String;
  const int frees = g_mgr->frees;
  {
    String folder(Text<T>("d:\\newer")), name(Text<T>("newdeck"));
    StartVRAN3D(folder, name);
    StartVRAN3D(folder, name);
    CHECK(folder.Refs() == 1 && name.Refs() == 1 && g_mgr->frees == frees);
  }
  StartVRAN3D(String(Text<T>("d:\\newer")), String(Text<T>("newdeck")));
  CHECK(g_mgr->frees == frees + 4);
  const long nilRefs = g_mgr->nil.header.nRefs;
  StartVRAN3D(String(Text<T>("d:\\newer")), String());
  CHECK(g_mgr->frees == frees + 5 && g_mgr->nil.header.nRefs == nilRefs);
}

template <template <typename, class> class Traits, template <typename> class ChTraits>
void Forms() {
  Form<char, Traits, ChTraits>();
  Form<wchar_t, Traits, ChTraits>();
  Form<unsigned short, Traits, ChTraits>();
}

}  // namespace

// Registered for ".hvq" below, this program is also the viewer: given a
// document, it shows a window titled with it for a while. First, as
// another process while the launch that started it is still starting, it
// launches the same document itself, which must open nothing: it notes
// what it was told, and that it is the first viewer (or the second).
void View(wchar_t* args) {
  while (*args == L' ' || *args == L'"') ++args;
  wchar_t title[300], *name = args, *end = title;
  for (const wchar_t* p = L"HVQ Viewer - "; *p;) *end++ = *p++;
  wchar_t* p = args;
  for (; *p && *p != L'"'; *end++ = *p++) name = *p == L'\\' ? p : name;
  *p = *end = *name = 0;
  if (!CreateDirectoryW(L"d:\\viewer", 0)) CreateDirectoryW(L"d:\\viewer2", 0);
  if (HvqStartVRAN3DExW(args, name + 1, HVQ_NO_MESSAGE) == HVQ_OPENING)
    CreateDirectoryW(L"d:\\viewer-was-told-opening", 0);
  CreateWindowExW(0, L"STATIC", title, 0, 0, 0, 10, 10, 0, 0, 0, 0);
  Sleep(10000);
  ExitProcess(0);
}

extern "C" void HostMain() {
  wchar_t* args = GetCommandLineW() + 1;  // past the program's opening quote
  while (*args && *args++ != L'"') {
  }
  if (*args) View(args);
  CountingMgr mgr;
  g_mgr = &mgr;
  ATL::g_pStringMgr = &mgr;
  CreateDirectoryA("d:\\newer", 0);
  void* open = ShowOpen("Viewer - d:\\newer\\newdeck.hvq");
  Forms<StrTraitMFC_DLL, ATL::ChTraitsCRT>();
  Forms<StrTraitMFC, ATL::ChTraitsCRT>();
  Forms<ATL::StrTraitATL, ATL::ChTraitsCRT>();
  Forms<ATL::StrTraitATL, ATL::ChTraitsOS>();
  CHECK(IsFolder("d:\\newer\\3d\\treepics"));
  CHECK(HvqCheckPrjOpenedA("newdeck") == 1);  // its own window
  for (IntPtr i = 1; i <= 22; ++i)            // every export, 2 on x86 only
    CHECK(GetProcAddress(GetModuleHandleW(L"hvqlaunch.dll"), (const char*)i) ||
          (i == 2 && sizeof i == 8));
  CHECK(HvqStartVRAN3DExA("d:\\newer", "newdeck", 0) == HVQ_ALREADY_OPEN);
  DestroyWindow(open);

  // Names outside the code page, prepared and opened exactly by this
  // program as the viewer (View), which titles its window with the full
  // path it was given.
  wchar_t viewer[300];
  viewer[0] = L'"';
  const unsigned long n = GetModuleFileNameW(0, viewer + 1, 260);
  const wchar_t* tail = L"\" \"%1\"";
  for (int i = 0; (viewer[n + 1 + i] = tail[i]) != 0; ++i) {
  }
  void* const hklm = reinterpret_cast<void*>(IntPtr(long(0x80000002)));  // sign-extended
  RegSetKeyValueW(hklm, L"Software\\Classes\\.hvq", 0, 1, L"HvqNewer.Document", 36);
  RegSetKeyValueW(hklm, L"Software\\Classes\\HvqNewer.Document\\shell\\open\\command", 0, 1, viewer,
                  unsigned(Length(viewer) + 1) * 2);
  CreateDirectoryW(L"d:\\работа", 0);
  CloseHandle(CreateFileW(L"d:\\работа\\模型.hvq", 0x40000000, 0, 0, 2, 0, 0));
  const int frees = g_mgr->frees;
  StartVRAN3D(CString(L"d:\\работа"), CString(L"模型"));
  CHECK(g_mgr->frees == frees + 2);
  CHECK(GetFileAttributesW(L"d:\\работа\\3d\\images") != 0xFFFFFFFFul);
  int shown = 0;
  for (int i = 0; i < 300 && !(shown = CheckPrjOpened(L"d:\\работа\\模型")); ++i) Sleep(100);
  CHECK(shown == 1);  // another process's window
  CHECK(HvqStartVRAN3DExW(L"d:\\работа", L"模型", 0) == HVQ_ALREADY_OPEN);
  CHECK(IsFolder("d:\\viewer-was-told-opening") && IsFolder("d:\\viewer") &&
        !IsFolder("d:\\viewer2"));
  Finish();
}
