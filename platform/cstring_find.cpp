// Substring search on whole characters: of the ANSI code page for bytes,
// of UTF-16 for wide text. One search serves both; only the rule for where
// a character starts differs.
//
// Candidates come first from a scan for the pattern's first unit, which is
// the fastest way through text where that unit is rare, as in most window
// titles. Where candidates are frequent, or long partial matches make them
// costly, the search goes on with two-way matching (Crochemore and Perrin,
// "Two-way string-matching", J. ACM 38(3), 1991): it splits the pattern at
// a critical factorisation, compares the right part forwards and then the
// left part backwards, and, for a periodic pattern, remembers how much of
// the window is already known to match, so that no text byte is compared
// more than a bounded number of times. A shift table on the window's last
// two units lets it skip ahead in ordinary text.
#include <climits>
#include <cstdint>
#include <cstring>

#include "cstring.h"
#include "platform.h"

namespace {

typedef unsigned char Byte;

// The units compared: unsigned, so that both orders of MaximalSuffix are
// the units' own.
template <typename TChar>
struct UnitOf {
  typedef TChar type;
};
template <>
struct UnitOf<char> {
  typedef unsigned char type;
};

const Byte* FindUnit(const Byte* p, Byte u, size_t n) noexcept {
  return static_cast<const Byte*>(memchr(p, u, n));
}

// 16-bit units, four at a time: a unit equal to u becomes zero in x ^ u,
// and the first zero unit of a word is found with the usual bit trick.
template <typename TUnit>
const TUnit* FindUnit(const TUnit* p, TUnit u, size_t n) noexcept {
  static_assert(sizeof(TUnit) == 2, "16-bit units");
  const uint64_t ones = 0x0001000100010001u, highs = 0x8000800080008000u;
  const uint64_t pattern = ones * u;
  const TUnit* const pEnd = p + n;
  for (; pEnd - p >= 4; p += 4) {
    uint64_t w;
    memcpy(&w, p, 8);
    w ^= pattern;
    const uint64_t zeros = (w - ones) & ~w & highs;
    if (zeros) return p + __builtin_ctzll(zeros) / 16;  // little-endian
  }
  for (; p != pEnd; ++p)
    if (*p == u) return p;
  return nullptr;
}

// Tells whether a hit starts a character. Walking back from it over bytes
// that could lead a double-byte character, the first byte that cannot (or
// a position already known to start a character) ends a character, and
// the bytes in between pair up: the hit starts one when their count is
// even. A hit that does not is a trail byte, so the next byte starts one.
// Hits are asked about in increasing order, so no byte is walked twice.
template <typename TUnit>
class CharacterStarts;

template <>
class CharacterStarts<Byte> {
 public:
  explicit CharacterStarts(const Byte* pText) noexcept : m_pText(pText) {}
  bool At(size_t iHit) noexcept {
    size_t iRun = iHit;
    while (iRun > m_iKnown && m_pText[iRun - 1] >= 0x80 && PlatformIsLeadByte(m_pText[iRun - 1]))
      --iRun;
    if ((iHit - iRun) % 2 == 0) return true;
    m_iKnown = iHit + 1;
    return false;
  }

 private:
  const Byte* m_pText;
  size_t m_iKnown = 0;
};

// In UTF-16 a hit starts a character unless it is the low half of a
// surrogate pair.
template <typename TUnit>
class CharacterStarts {
 public:
  explicit CharacterStarts(const TUnit* pText) noexcept : m_pText(pText) {}
  bool At(size_t iHit) noexcept {
    return iHit == 0 || (m_pText[iHit] & 0xFC00) != 0xDC00 ||
           (m_pText[iHit - 1] & 0xFC00) != 0xD800;
  }

 private:
  const TUnit* m_pText;
};

// The maximal suffix of x[0, m) under the byte order, or under the
// reverse order: where it starts, and its period.
template <typename TUnit>
size_t MaximalSuffix(const TUnit* x, size_t m, bool bReverse, size_t* pPeriod) noexcept {
  size_t iBefore = SIZE_MAX;  // the suffix starts at iBefore + 1
  size_t j = 0, k = 1, p = 1;
  while (j + k < m) {
    const TUnit a = x[j + k];
    const TUnit b = x[iBefore + k];
    if (a == b) {
      if (k == p) {
        j += p;
        k = 1;
      } else {
        ++k;
      }
    } else if ((a < b) != bReverse) {
      j += k;
      k = 1;
      p = j - iBefore;
    } else {
      iBefore = j;
      j = iBefore + 1;
      k = p = 1;
    }
  }
  *pPeriod = p;
  return iBefore + 1;
}

template <typename TUnit>
inline size_t PairHash(const TUnit* p) noexcept {
  return (size_t(p[0]) * 37 + p[1]) & 0xFF;
}

// The first i in [i, iEnd) where a[i] and b[i] differ, or iEnd; eight
// bytes at a time.
template <typename TUnit>
size_t Mismatch(const TUnit* a, const TUnit* b, size_t i, size_t iEnd) noexcept {
  const size_t nStep = 8 / sizeof(TUnit);
  for (; i + nStep <= iEnd; i += nStep) {
    uint64_t wa, wb;
    memcpy(&wa, a + i, 8);
    memcpy(&wb, b + i, 8);
    if (wa != wb) return i + size_t(__builtin_ctzll(wa ^ wb)) / 8 / sizeof(TUnit);  // little-endian
  }
  while (i < iEnd && a[i] == b[i]) ++i;
  return i;
}

// A critical factorisation of x[0, m): the later of the two maximal
// suffixes, the period of the right part, and whether the whole pattern
// has that period; if not, the shift after a match of the right part.
template <typename TUnit>
void Factorise(const TUnit* x, size_t m, size_t* piSplit, size_t* pnPeriod,
               bool* pbPeriodic) noexcept {
  size_t nPeriod1, nPeriod2;
  const size_t iSplit1 = MaximalSuffix(x, m, false, &nPeriod1);
  const size_t iSplit2 = MaximalSuffix(x, m, true, &nPeriod2);
  const size_t iSplit = iSplit1 > iSplit2 ? iSplit1 : iSplit2;
  size_t nPeriod = iSplit1 > iSplit2 ? nPeriod1 : nPeriod2;
  *pbPeriodic = memcmp(x, x + nPeriod, iSplit * sizeof(TUnit)) == 0;
  if (!*pbPeriodic) nPeriod = (iSplit > m - iSplit ? iSplit : m - iSplit) + 1;
  *piSplit = iSplit;
  *pnPeriod = nPeriod;
}

// Two-way matching of x[0, m) in y[0, n) from offset j on (m >= 2, m <= n).
template <typename TUnit>
int TwoWay(const TUnit* y, size_t n, const TUnit* x, size_t m, size_t j,
           CharacterStarts<TUnit>& starts) noexcept {
  // How far the window may move, by its last two bytes: to the last place
  // in the pattern where a pair of that hash ends; 0 for the pattern's own
  // last pair (or one that shares its hash). The skip loop makes constant
  // steps over pairs the pattern lacks, so its next read never waits for
  // the last one.
  const Byte nMax = m - 1 < 255 ? Byte(m - 1) : 255;
  Byte shift[256];
  memset(shift, nMax, sizeof shift);
  for (size_t i = 0; i + 1 < m; ++i)
    shift[PairHash(x + i)] = m - 2 - i < 255 ? Byte(m - 2 - i) : 255;

  const size_t nLast = n - m;
  size_t nMemory = 0;  // bytes at the window's start known to match
  int nShortLeaps = 0;
  // The critical factorisation, found when the first window needs it: the
  // right part starts at iSplit.
  size_t iSplit = SIZE_MAX, nPeriod = 0;
  bool bPeriodic = false;
  while (j <= nLast) {
    const size_t nShift = shift[PairHash(y + j + m - 2)];
    if (nShift > 0) {
      nMemory = 0;
      // Over a last byte that is not the pattern's, go straight to the next
      // place where the pattern's last byte stands, as long as that gains
      // more than a step most of the time.
      if (nShortLeaps < 8 && y[j + m - 1] != x[m - 1]) {
        const TUnit* pLast = FindUnit(y + j + m, x[m - 1], n - (j + m));
        if (!pLast) return -1;
        const size_t jNext = size_t(pLast - y) - (m - 1);
        if (jNext - j < nMax + 32u) ++nShortLeaps;
        j = jNext;
      } else if (nShift == nMax) {
        do j += nMax;
        while (j <= nLast && shift[PairHash(y + j + m - 2)] == nMax);
      } else {
        j += nShift;
      }
      continue;
    }
    if (iSplit == SIZE_MAX) Factorise(x, m, &iSplit, &nPeriod, &bPeriodic);
    size_t i = Mismatch(x, y + j, iSplit > nMemory ? iSplit : nMemory, m);
    if (i < m) {
      j += i - iSplit + 1;
      nMemory = 0;
      continue;
    }
    i = iSplit;
    while (i > nMemory && x[i - 1] == y[i - 1 + j]) --i;
    if (i <= nMemory && starts.At(j)) return int(j);
    j += nPeriod;
    nMemory = bPeriodic ? m - nPeriod : 0;
  }
  return -1;
}

}  // namespace

template <typename TChar>
int FindOnCharacterStart(const TChar* pText, size_t nText, const TChar* pSub, size_t nSub,
                         size_t nQuickWork) noexcept {
  typedef typename UnitOf<TChar>::type Unit;
  if (nSub > nText || nText > size_t(INT_MAX)) return -1;
  if (nSub == 0) return 0;
  const Unit* const y = reinterpret_cast<const Unit*>(pText);
  const Unit* const x = reinterpret_cast<const Unit*>(pSub);
  CharacterStarts<Unit> starts(y);

  // Each candidate costs a scan call, counted as 16 units, and the units
  // compared; once that is more than the units passed, the pattern's first
  // unit is too common here. A pattern of one unit never needs more.
  const size_t nLast = nText - nSub;  // the last possible start
  size_t iFrom = 0;
  size_t nWork = 0;
  while (iFrom <= nLast) {
    if (nSub > 1 && nWork > nQuickWork + iFrom) return TwoWay(y, nText, x, nSub, iFrom, starts);
    const Unit* pHit = FindUnit(y + iFrom, x[0], nLast - iFrom + 1);
    if (!pHit) return -1;
    const size_t iHit = size_t(pHit - y);
    iFrom = iHit + 1;
    const size_t k = Mismatch(x, y + iHit, 1, nSub);
    nWork += 16 + k;
    if (k == nSub && starts.At(iHit)) return int(iHit);
  }
  return -1;
}

template int FindOnCharacterStart(const char*, size_t, const char*, size_t, size_t) noexcept;
template int FindOnCharacterStart(const WideChar*, size_t, const WideChar*, size_t,
                                  size_t) noexcept;
