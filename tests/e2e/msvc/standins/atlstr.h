// A stand-in for atlstr.h, for building the samples and test hosts here:
// ATL::CStringT, as much of it as they use, over a string manager
// (ATL::g_pStringMgr, the process heap unless a host sets its own), and
// CString as a Unicode ATL host has it.
#pragma once

#include "win32.h"

extern "C" int _purecall() { return 0; }

namespace ATL {

struct CStringData;
struct IAtlStringMgr {
  virtual CStringData* Allocate(int nChars, int nCharSize) = 0;
  virtual void Free(CStringData* pData) = 0;
  virtual CStringData* Reallocate(CStringData* pData, int nChars, int nCharSize) = 0;
  virtual CStringData* GetNilString() = 0;
  virtual IAtlStringMgr* Clone() = 0;
};
struct CStringData {
  IAtlStringMgr* pStringMgr;
  int nDataLength;
  int nAllocLength;
  long nRefs;
};

// Constant-initialised: nothing runs constructors here. One program, one
// translation unit: these are defined here.
struct HeapStringMgr : IAtlStringMgr {
  CStringData* Allocate(int nChars, int nCharSize) override {
    auto* d = static_cast<CStringData*>(
        HeapAlloc(GetProcessHeap(), 8, sizeof(CStringData) + Size(nChars + 1) * Size(nCharSize)));
    *d = {this, nChars, nChars, 1};
    return d;
  }
  void Free(CStringData* pData) override { HeapFree(GetProcessHeap(), 0, pData); }
  CStringData* Reallocate(CStringData*, int, int) override { return nullptr; }
  CStringData* GetNilString() override;
  IAtlStringMgr* Clone() override { return this; }
};
HeapStringMgr g_heapStringMgr;
// The empty string: its count starts at 2 and grows by one for each empty
// string handed out, so that no release frees it.
struct {
  CStringData header;
  wchar_t nul;
} g_nilString = {{&g_heapStringMgr, 0, 0, 2}, 0};
inline CStringData* HeapStringMgr::GetNilString() {
  InterlockedIncrement(&g_nilString.header.nRefs);
  return &g_nilString.header;
}
IAtlStringMgr* g_pStringMgr = &g_heapStringMgr;

template <typename T>
class ChTraitsCRT {};
template <typename T>
class ChTraitsOS {};
template <typename T, class ChTraits>
class StrTraitATL {};

template <typename T, class StrTraits>
class CStringT {
 public:
  CStringT() : m_pszData(Chars(g_pStringMgr->GetNilString())) {}
  CStringT(const T* text) {
    CStringData* d = g_pStringMgr->Allocate(Length(text), sizeof(T));
    for (int i = 0; i <= d->nDataLength; ++i) Chars(d)[i] = text[i];
    m_pszData = Chars(d);
  }
  CStringT(const CStringT& src) : m_pszData(src.m_pszData) { InterlockedIncrement(&Data()->nRefs); }
  ~CStringT() {
    if (InterlockedDecrement(&Data()->nRefs) <= 0) Data()->pStringMgr->Free(Data());
  }
  operator const T*() const { return m_pszData; }
  long Refs() const { return Data()->nRefs; }

 private:
  static T* Chars(CStringData* d) { return reinterpret_cast<T*>(d + 1); }
  CStringData* Data() const { return reinterpret_cast<CStringData*>(m_pszData) - 1; }
  T* m_pszData;
};

}  // namespace ATL

typedef ATL::CStringT<wchar_t, ATL::StrTraitATL<wchar_t, ATL::ChTraitsCRT<wchar_t>>> CString;
