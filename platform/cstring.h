// CString and CStringW: growable, reference-counted strings of multibyte
// bytes (the process's ANSI code page) or of UTF-16 code units, one class
// template over the character type.
//
// The object is one pointer to the characters; a 12-byte header stands
// right before them: the reference count, the length and the allocated
// length, both in characters. Copies share one buffer until one of them
// changes. A count of -1 marks a buffer that is never counted nor freed:
// the shared empty string and strings built over static literals
// (CStringLiteral).
//
// Running out of memory throws nothing: the string that could not grow
// becomes the out-of-memory string (empty, IsOutOfMemory true), and stays
// so through every copy, concatenation and append until it is assigned a
// new text. A caller builds what it needs, then checks once.
#pragma once

#include <cstddef>

// A UTF-16 code unit: the system's wchar_t on Windows, char16_t elsewhere.
#ifdef _WIN32
typedef wchar_t WideChar;
#else
typedef char16_t WideChar;
#endif

struct CStringData {
  long nRefs;        // -1: static, never counted nor freed
  int nDataLength;   // characters, without the terminator
  int nAllocLength;  // characters the buffer can hold, without the terminator
  template <typename TChar>
  TChar* data() {
    return reinterpret_cast<TChar*>(this + 1);
  }
};

// A string buffer laid out at compile time, for constants that must not
// allocate when the library loads.
template <typename TChar, size_t N>
struct CStringLiteral {
  CStringData hdr;
  TChar chars[N];
};

// From ASCII text, for either character type.
template <typename TChar, size_t N>
constexpr CStringLiteral<TChar, N> MakeCStringLiteral(const char (&text)[N]) {
  CStringLiteral<TChar, N> lit{{-1, int(N - 1), int(N - 1)}, {}};
  for (size_t i = 0; i < N; ++i) lit.chars[i] = TChar(text[i]);
  return lit;
}

// ASCII text as a null-terminated array of either character type, for the
// literals the launch code shares between both.
template <typename TChar, size_t N>
struct AsciiText {
  TChar sz[N];
  constexpr AsciiText(const char (&text)[N]) : sz{} {
    for (size_t i = 0; i < N; ++i) sz[i] = TChar(text[i]);
  }
  constexpr operator const TChar*() const { return sz; }
};

// The search behind CString::Find, over any text: the first offset of pText
// where pSub occurs and a character starts, or -1. It looks for the places
// where the first and last units stand while candidates are few, and goes
// over to two-way matching, linear in the worst case, once they have cost
// nQuickWork more than the text they covered (0: at once).
template <typename TChar>
int FindOnCharacterStart(const TChar* pText, size_t nText, const TChar* pSub, size_t nSub,
                         size_t nQuickWork) noexcept;
constexpr size_t c_nFindQuickWork = 256;

template <typename TChar>
class CStringOf {
 public:
  constexpr CStringOf() noexcept : m_pchData(s_empty.chars) {}
  template <size_t N>
  constexpr explicit CStringOf(CStringLiteral<TChar, N>& lit) noexcept : m_pchData(lit.chars) {}
  CStringOf(const TChar* psz) noexcept;  // null gives the empty string
  CStringOf(const CStringOf& src) noexcept;
  ~CStringOf();

  CStringOf& operator=(const CStringOf& src) noexcept;
  CStringOf& operator=(const TChar* psz) noexcept;
  CStringOf& operator+=(const CStringOf& str) noexcept;
  CStringOf& operator+=(const TChar* psz) noexcept;
  friend CStringOf operator+(const CStringOf& a, const CStringOf& b) noexcept {
    CStringOf result(a);
    result += b;
    return result;
  }
  friend CStringOf operator+(const CStringOf& a, const TChar* b) noexcept {
    CStringOf result(a);
    result += b;
    return result;
  }

  int GetLength() const noexcept { return GetData()->nDataLength; }
  int GetAllocLength() const noexcept { return GetData()->nAllocLength; }
  bool IsEmpty() const noexcept { return GetLength() == 0; }
  bool IsOutOfMemory() const noexcept { return m_pchData == s_outOfMemory.chars; }
  operator const TChar*() const noexcept { return m_pchData; }

  // Offset of the first occurrence of pszSub that begins on a whole
  // character (CharacterStarts below), or -1. Case-sensitive.
  int Find(const TChar* pszSub) const noexcept;
  int Find(const CStringOf& strSub) const noexcept {
    return FindOnCharacterStart(m_pchData, size_t(GetLength()), strSub.m_pchData,
                                size_t(strSub.GetLength()), c_nFindQuickWork);
  }

  // Direct access for readers that fill the string: GetBuffer makes the
  // buffer this object's own and able to hold nMinLength characters plus
  // the terminator (null, and the string out of memory, when it cannot);
  // ReleaseBuffer sets the length (-1: up to the first NUL).
  TChar* GetBuffer(int nMinLength) noexcept;
  void ReleaseBuffer(int nNewLength = -1) noexcept;

 private:
  CStringData* GetData() const noexcept { return reinterpret_cast<CStringData*>(m_pchData) - 1; }
  static CStringData* AllocData(int nLength) noexcept;  // count 1, length nLength; or null
  static void Release(CStringData* pData) noexcept;
  void SetOutOfMemory() noexcept;
  void Assign(const TChar* pch, int nLength) noexcept;
  void Append(const TChar* pch, int nLength) noexcept;

  static CStringLiteral<TChar, 1> s_empty;
  static CStringLiteral<TChar, 1> s_outOfMemory;
  TChar* m_pchData;
};

// Both are made once, in cstring.cpp.
extern template class CStringOf<char>;
extern template class CStringOf<WideChar>;
typedef CStringOf<char> CString;
typedef CStringOf<WideChar> CStringW;

// Characters, up to the terminator (at most INT_MAX).
int StringLength(const char* psz) noexcept;
int StringLength(const WideChar* psz) noexcept;

// How many units the character at p takes, nLeft units being left: a
// double-byte character of the ANSI code page, or a surrogate pair, is 2.
int CharacterLength(const char* p, size_t nLeft) noexcept;
int CharacterLength(const WideChar* p, size_t nLeft) noexcept;
