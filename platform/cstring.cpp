#include "cstring.h"

#include <climits>
#include <cstring>

#include "platform.h"

template <typename TChar>
CStringLiteral<TChar, 1> CStringOf<TChar>::s_empty = MakeCStringLiteral<TChar>("");
template <typename TChar>
CStringLiteral<TChar, 1> CStringOf<TChar>::s_outOfMemory = MakeCStringLiteral<TChar>("");

template <typename TChar>
static int Length(const TChar* psz) noexcept {
  int n = 0;
  while (n < INT_MAX && psz[n]) ++n;
  return n;
}

int StringLength(const char* psz) noexcept { return Length(psz); }

int StringLength(const WideChar* psz) noexcept { return Length(psz); }

int CharacterLength(const char* p, size_t nLeft) noexcept {
  const unsigned char ch = static_cast<unsigned char>(*p);
  return ch >= 0x80 && nLeft > 1 && PlatformIsLeadByte(ch) ? 2 : 1;
}

// Only a high surrogate followed by a low one is a pair: a lone half is a
// character of its own, so nothing after it is ever skipped.
int CharacterLength(const WideChar* p, size_t nLeft) noexcept {
  return nLeft > 1 && (p[0] & 0xFC00) == 0xD800 && (p[1] & 0xFC00) == 0xDC00 ? 2 : 1;
}

template <typename TChar>
CStringData* CStringOf<TChar>::AllocData(int nLength) noexcept {
  const size_t nMax = (INT_MAX - sizeof(CStringData)) / sizeof(TChar) - 1;
  if (nLength < 0 || size_t(nLength) > nMax) return nullptr;
  void* p = PlatformAlloc(sizeof(CStringData) + (size_t(nLength) + 1) * sizeof(TChar));
  if (!p) return nullptr;
  CStringData* pData = static_cast<CStringData*>(p);
  pData->nRefs = 1;
  pData->nDataLength = nLength;
  pData->nAllocLength = nLength;
  pData->data<TChar>()[nLength] = 0;
  return pData;
}

template <typename TChar>
void CStringOf<TChar>::Release(CStringData* pData) noexcept {
  if (pData->nRefs >= 0 && __atomic_sub_fetch(&pData->nRefs, 1, __ATOMIC_ACQ_REL) == 0)
    PlatformFree(pData);
}

template <typename TChar>
void CStringOf<TChar>::SetOutOfMemory() noexcept {
  CStringData* pOld = GetData();
  m_pchData = s_outOfMemory.chars;
  Release(pOld);
}

template <typename TChar>
CStringOf<TChar>::CStringOf(const TChar* psz) noexcept : CStringOf() {
  if (psz) Assign(psz, StringLength(psz));
}

template <typename TChar>
CStringOf<TChar>::CStringOf(const CStringOf& src) noexcept : m_pchData(src.m_pchData) {
  CStringData* pData = GetData();
  if (pData->nRefs >= 0) __atomic_add_fetch(&pData->nRefs, 1, __ATOMIC_RELAXED);
}

template <typename TChar>
CStringOf<TChar>::~CStringOf() {
  Release(GetData());
}

template <typename TChar>
CStringOf<TChar>& CStringOf<TChar>::operator=(const CStringOf& src) noexcept {
  CStringOf copy(src);
  TChar* pch = copy.m_pchData;
  copy.m_pchData = m_pchData;
  m_pchData = pch;
  return *this;
}

template <typename TChar>
CStringOf<TChar>& CStringOf<TChar>::operator=(const TChar* psz) noexcept {
  static const TChar chEmpty = 0;
  if (!psz) psz = &chEmpty;
  Assign(psz, StringLength(psz));
  return *this;
}

template <typename TChar>
CStringOf<TChar>& CStringOf<TChar>::operator+=(const CStringOf& str) noexcept {
  if (str.IsOutOfMemory())
    SetOutOfMemory();
  else
    Append(str.m_pchData, str.GetLength());
  return *this;
}

template <typename TChar>
CStringOf<TChar>& CStringOf<TChar>::operator+=(const TChar* psz) noexcept {
  if (psz) Append(psz, StringLength(psz));
  return *this;
}

// The new text may lie inside this string's own buffer: it is copied
// before the old buffer is let go.
template <typename TChar>
void CStringOf<TChar>::Assign(const TChar* pch, int nLength) noexcept {
  CStringData* pOld = GetData();
  if (pOld->nRefs == 1 && nLength <= pOld->nAllocLength) {
    memmove(m_pchData, pch, size_t(nLength) * sizeof(TChar));
    m_pchData[nLength] = 0;
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
  memcpy(pNew->data<TChar>(), pch, size_t(nLength) * sizeof(TChar));
  m_pchData = pNew->data<TChar>();
  Release(pOld);
}

template <typename TChar>
void CStringOf<TChar>::Append(const TChar* pch, int nLength) noexcept {
  if (nLength == 0 || IsOutOfMemory()) return;
  CStringData* pOld = GetData();
  int nOld = pOld->nDataLength;
  if (nLength > INT_MAX - nOld) return SetOutOfMemory();
  if (pOld->nRefs == 1 && nOld + nLength <= pOld->nAllocLength) {
    memmove(m_pchData + nOld, pch, size_t(nLength) * sizeof(TChar));
    pOld->nDataLength = nOld + nLength;
    m_pchData[nOld + nLength] = 0;
    return;
  }
  CStringData* pNew = AllocData(nOld + nLength);
  if (!pNew) return SetOutOfMemory();
  memcpy(pNew->data<TChar>(), m_pchData, size_t(nOld) * sizeof(TChar));
  memcpy(pNew->data<TChar>() + nOld, pch, size_t(nLength) * sizeof(TChar));
  m_pchData = pNew->data<TChar>();
  Release(pOld);
}

template <typename TChar>
TChar* CStringOf<TChar>::GetBuffer(int nMinLength) noexcept {
  CStringData* pOld = GetData();
  if (nMinLength < pOld->nDataLength) nMinLength = pOld->nDataLength;
  if (pOld->nRefs != 1 || nMinLength > pOld->nAllocLength) {
    CStringData* pNew = AllocData(nMinLength);
    if (!pNew) {
      SetOutOfMemory();
      return nullptr;
    }
    memcpy(pNew->data<TChar>(), m_pchData, (size_t(pOld->nDataLength) + 1) * sizeof(TChar));
    pNew->nDataLength = pOld->nDataLength;
    m_pchData = pNew->data<TChar>();
    Release(pOld);
  }
  return m_pchData;
}

template <typename TChar>
void CStringOf<TChar>::ReleaseBuffer(int nNewLength) noexcept {
  CStringData* pData = GetData();
  if (pData->nRefs < 0) return;  // never handed out by GetBuffer
  if (nNewLength < 0 || nNewLength > pData->nAllocLength) {
    nNewLength = 0;
    while (nNewLength < pData->nAllocLength && m_pchData[nNewLength]) ++nNewLength;
  }
  pData->nDataLength = nNewLength;
  m_pchData[nNewLength] = 0;
}

template <typename TChar>
int CStringOf<TChar>::Find(const TChar* pszSub) const noexcept {
  if (!pszSub) return -1;
  return FindOnCharacterStart(m_pchData, size_t(GetLength()), pszSub, size_t(StringLength(pszSub)),
                              c_nFindQuickWork);
}

template class CStringOf<char>;
template class CStringOf<WideChar>;
