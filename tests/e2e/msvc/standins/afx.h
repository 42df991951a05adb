// A stand-in for the framework's afx.h, for building the samples and test
// hosts here: the original CString, as much of it as they use, over the
// process heap. Its blocks are freed by the host when the last copy goes.
#pragma once

#include "win32.h"

namespace {

struct StringData {
  long nRefs;  // -1: the shared empty string, never counted
  int nDataLength;
  int nAllocLength;
  char* data() { return reinterpret_cast<char*>(this + 1); }
};

struct {
  StringData header;
  char nul;
} g_nil = {{-1, 0, 0}, 0};

}  // namespace

class CString {
 public:
  CString() : m_pchData(g_nil.header.data()) {}
  CString(const char* psz) {
    const int n = Length(psz);
    StringData* d = static_cast<StringData*>(
        HeapAlloc(GetProcessHeap(), 0, sizeof(StringData) + unsigned(n) + 1));
    d->nRefs = 1;
    d->nDataLength = d->nAllocLength = n;
    for (int i = 0; i <= n; ++i) d->data()[i] = psz[i];
    m_pchData = d->data();
  }
  CString(const CString& src) : m_pchData(src.m_pchData) {
    if (Data()->nRefs != -1) InterlockedIncrement(&Data()->nRefs);
  }
  ~CString() {
    StringData* d = Data();
    if (d->nRefs != -1 && InterlockedDecrement(&d->nRefs) <= 0) HeapFree(GetProcessHeap(), 0, d);
  }
  operator const char*() const { return m_pchData; }
  long Refs() const { return Data()->nRefs; }

 private:
  StringData* Data() const { return reinterpret_cast<StringData*>(m_pchData) - 1; }
  char* m_pchData;
};
