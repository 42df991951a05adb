// CString: a growable, reference-counted multibyte byte string.
//
// The object is one pointer to the characters; a 12-byte header stands
// right before them: the reference count, the length and the allocated
// length. Copies share one buffer until one of them changes. A count of -1
// marks a buffer that is never counted nor freed: the shared empty string
// and strings built over static literals (CStringLiteral).
//
// Running out of memory throws nothing: the string that could not grow
// becomes the out-of-memory string (empty, IsOutOfMemory true), and stays
// so through every copy, concatenation and append until it is assigned a
// new text. A caller builds what it needs, then checks once.
#pragma once

#include <cstddef>

struct CStringData {
  long nRefs;        // -1: static, never counted nor freed
  int nDataLength;   // bytes, without the terminator
  int nAllocLength;  // bytes the buffer can hold, without the terminator
  char* data() { return reinterpret_cast<char*>(this + 1); }
};

// A string buffer laid out at compile time, for constants that must not
// allocate when the library loads.
template <size_t N>
struct CStringLiteral {
  CStringData hdr;
  char chars[N];
};

template <size_t N>
constexpr CStringLiteral<N> MakeCStringLiteral(const char (&text)[N]) {
  CStringLiteral<N> lit{{-1, int(N - 1), int(N - 1)}, {}};
  for (size_t i = 0; i < N; ++i) lit.chars[i] = text[i];
  return lit;
}

class CString {
 public:
  constexpr CString() noexcept : m_pchData(s_empty.chars) {}
  template <size_t N>
  constexpr explicit CString(CStringLiteral<N>& lit) noexcept : m_pchData(lit.chars) {}
  CString(const char* psz) noexcept;  // null gives the empty string
  CString(const CString& src) noexcept;
  ~CString();

  CString& operator=(const CString& src) noexcept;
  CString& operator=(const char* psz) noexcept;
  CString& operator+=(const CString& str) noexcept;
  CString& operator+=(const char* psz) noexcept;
  friend CString operator+(const CString& a, const CString& b) noexcept;
  friend CString operator+(const CString& a, const char* b) noexcept;

  int GetLength() const noexcept { return GetData()->nDataLength; }
  int GetAllocLength() const noexcept { return GetData()->nAllocLength; }
  bool IsEmpty() const noexcept { return GetLength() == 0; }
  bool IsOutOfMemory() const noexcept { return m_pchData == s_outOfMemory.chars; }
  operator const char*() const noexcept { return m_pchData; }

  // Byte offset of the first occurrence of pszSub that begins on a whole
  // character of the process's ANSI code page, or -1. Case-sensitive.
  int Find(const char* pszSub) const noexcept;

  // Direct access for readers that fill the string: GetBuffer makes the
  // buffer this object's own and able to hold nMinLength bytes plus the
  // terminator (null, and the string out of memory, when it cannot);
  // ReleaseBuffer sets the length (-1: up to the first NUL).
  char* GetBuffer(int nMinLength) noexcept;
  void ReleaseBuffer(int nNewLength = -1) noexcept;

 private:
  CStringData* GetData() const noexcept { return reinterpret_cast<CStringData*>(m_pchData) - 1; }
  static CStringData* AllocData(int nLength) noexcept;  // count 1, length nLength; or null
  static void Release(CStringData* pData) noexcept;
  void SetOutOfMemory() noexcept;
  void Assign(const char* pch, int nLength) noexcept;
  void Append(const char* pch, int nLength) noexcept;

  static CStringLiteral<1> s_empty;
  static CStringLiteral<1> s_outOfMemory;
  char* m_pchData;
};

// The search behind CString::Find, over any bytes: the first offset of
// pText where pSub occurs and a character of the ANSI code page starts, or
// -1. It looks for the first byte with memchr while candidates are few,
// and goes over to two-way matching, linear in the worst case, once they
// have cost nQuickWork more than the text they covered (0: at once).
int FindOnCharacterStart(const char* pText, size_t nText, const char* pSub, size_t nSub,
                         size_t nQuickWork) noexcept;
constexpr size_t c_nFindQuickWork = 256;
