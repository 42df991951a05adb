#include "cstring.h"

#include <climits>
#include <cstring>

#include "platform.h"

CStringLiteral<1> CString::s_empty = MakeCStringLiteral("");
CStringLiteral<1> CString::s_outOfMemory = MakeCStringLiteral("");

CStringData* CString::AllocData(int nLength) noexcept {
  if (nLength < 0 || size_t(nLength) > INT_MAX - sizeof(CStringData) - 1) return nullptr;
  void* p = PlatformAlloc(sizeof(CStringData) + size_t(nLength) + 1);
  if (!p) return nullptr;
  CStringData* pData = static_cast<CStringData*>(p);
  pData->nRefs = 1;
  pData->nDataLength = nLength;
  pData->nAllocLength = nLength;
  pData->data()[nLength] = '\0';
  return pData;
}

void CString::Release(CStringData* pData) noexcept {
  if (pData->nRefs >= 0 && __atomic_sub_fetch(&pData->nRefs, 1, __ATOMIC_ACQ_REL) == 0)
    PlatformFree(pData);
}

void CString::SetOutOfMemory() noexcept {
  CStringData* pOld = GetData();
  m_pchData = s_outOfMemory.chars;
  Release(pOld);
}

CString::CString(const char* psz) noexcept : CString() {
  if (psz) Assign(psz, int(strnlen(psz, INT_MAX)));
}

CString::CString(const CString& src) noexcept : m_pchData(src.m_pchData) {
  CStringData* pData = GetData();
  if (pData->nRefs >= 0) __atomic_add_fetch(&pData->nRefs, 1, __ATOMIC_RELAXED);
}

CString::~CString() { Release(GetData()); }

CString& CString::operator=(const CString& src) noexcept {
  CString copy(src);
  char* pch = copy.m_pchData;
  copy.m_pchData = m_pchData;
  m_pchData = pch;
  return *this;
}

CString& CString::operator=(const char* psz) noexcept {
  if (!psz) psz = "";
  Assign(psz, int(strnlen(psz, INT_MAX)));
  return *this;
}

CString& CString::operator+=(const CString& str) noexcept {
  if (str.IsOutOfMemory())
    SetOutOfMemory();
  else
    Append(str.m_pchData, str.GetLength());
  return *this;
}

CString& CString::operator+=(const char* psz) noexcept {
  if (psz) Append(psz, int(strnlen(psz, INT_MAX)));
  return *this;
}

CString operator+(const CString& a, const CString& b) noexcept {
  CString result(a);
  result += b;
  return result;
}

CString operator+(const CString& a, const char* b) noexcept {
  CString result(a);
  result += b;
  return result;
}

// The new text may lie inside this string's own buffer: it is copied
// before the old buffer is let go.
void CString::Assign(const char* pch, int nLength) noexcept {
  CStringData* pOld = GetData();
  if (pOld->nRefs == 1 && nLength <= pOld->nAllocLength) {
    memmove(m_pchData, pch, size_t(nLength));
    m_pchData[nLength] = '\0';
    pOld->nDataLength = nLength;
    return;
  }
  if (nLength == 0) {
    m_pchData = s_empty.chars;
    Release(pOld);
    return;
  }
  CStringData* pNew = AllocData(nLength);
  if (!pNew) return SetOutOfMemory();
  memcpy(pNew->data(), pch, size_t(nLength));
  m_pchData = pNew->data();
  Release(pOld);
}

void CString::Append(const char* pch, int nLength) noexcept {
  if (nLength == 0 || IsOutOfMemory()) return;
  CStringData* pOld = GetData();
  int nOld = pOld->nDataLength;
  if (nLength > INT_MAX - nOld) return SetOutOfMemory();
  if (pOld->nRefs == 1 && nOld + nLength <= pOld->nAllocLength) {
    memmove(m_pchData + nOld, pch, size_t(nLength));
    pOld->nDataLength = nOld + nLength;
    m_pchData[nOld + nLength] = '\0';
    return;
  }
  CStringData* pNew = AllocData(nOld + nLength);
  if (!pNew) return SetOutOfMemory();
  memcpy(pNew->data(), m_pchData, size_t(nOld));
  memcpy(pNew->data() + nOld, pch, size_t(nLength));
  m_pchData = pNew->data();
  Release(pOld);
}

char* CString::GetBuffer(int nMinLength) noexcept {
  CStringData* pOld = GetData();
  if (nMinLength < pOld->nDataLength) nMinLength = pOld->nDataLength;
  if (pOld->nRefs != 1 || nMinLength > pOld->nAllocLength) {
    CStringData* pNew = AllocData(nMinLength);
    if (!pNew) {
      SetOutOfMemory();
      return nullptr;
    }
    memcpy(pNew->data(), m_pchData, size_t(pOld->nDataLength) + 1);
    pNew->nDataLength = pOld->nDataLength;
    m_pchData = pNew->data();
    Release(pOld);
  }
  return m_pchData;
}

void CString::ReleaseBuffer(int nNewLength) noexcept {
  CStringData* pData = GetData();
  if (pData->nRefs < 0) return;  // never handed out by GetBuffer
  if (nNewLength < 0 || nNewLength > pData->nAllocLength)
    nNewLength = int(strnlen(m_pchData, size_t(pData->nAllocLength)));
  pData->nDataLength = nNewLength;
  m_pchData[nNewLength] = '\0';
}

int CString::Find(const char* pszSub) const noexcept {
  if (!pszSub) return -1;
  return FindOnCharacterStart(m_pchData, size_t(GetLength()), pszSub, strlen(pszSub),
                              c_nFindQuickWork);
}
