// Substring search on whole characters: of the ANSI code page for bytes,
// of UTF-16 for wide text. One search serves both; only the rule for where
// a character starts differs.
//
// Candidates come first from a scan for the places where the pattern's
// first and last units both stand, a machine word of text at a time: in
// most window titles, and in most text, there are few or none. Where
// candidates are frequent and long partial matches make them costly, the
// search goes on with two-way matching (Crochemore and Perrin, "Two-way
// string-matching", J. ACM 38(3), 1991): it splits the pattern at a
// critical factorisation, compares the right part forwards and then the
// left part backwards, and, for a periodic pattern, remembers how much of
// the window is already known to match, so that no text unit is compared
// more than a bounded number of times. A shift table on the window's last
// unit lets it skip ahead over text the pattern cannot match.
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

// The first i in [i, iLast] where y[i] is a and y[i + d] is b, or
// iLast + 1; y[iLast + d] is the last unit read. A word of text at a time
// (the native one: four bytes on x86), each of its units compared in
// place: a unit equal to a becomes zero in w ^ a, and the lanes where both
// are zero are found without carries from one lane to the next.
template <typename TUnit>
size_t NextCandidate(const TUnit* y, size_t i, size_t iLast, size_t d, TUnit a, TUnit b) noexcept {
  typedef uintptr_t Word;
  const size_t nLanes = sizeof(Word) / sizeof(TUnit);
  const Word ones = Word(-1) / ((Word(1) << (8 * sizeof(TUnit))) - 1);  // 0x0101..., 0x00010001...
  const Word highs = ones << (8 * sizeof(TUnit) - 1);
  const Word lows = ~highs;
  const Word wa = ones * a, wb = ones * b;
  const auto Zeros = [&](size_t k) {
    Word w1, w2;
    memcpy(&w1, y + k, sizeof w1);
    memcpy(&w2, y + k + d, sizeof w2);
    const Word z = (w1 ^ wa) | (w2 ^ wb);
    return ~(((z & lows) + lows) | z) & highs;
  };
  const auto Lane = [](Word zeros) {  // little-endian
    return size_t(__builtin_ctzll(zeros)) / (8 * sizeof(TUnit));
  };
  for (; i + 2 * nLanes <= iLast + 1; i += 2 * nLanes) {
    const Word z1 = Zeros(i), z2 = Zeros(i + nLanes);
    if (z1 | z2) return z1 ? i + Lane(z1) : i + nLanes + Lane(z2);
  }
  if (i + nLanes <= iLast + 1) {
    if (const Word z = Zeros(i)) return i + Lane(z);
    i += nLanes;
  }
  for (; i <= iLast; ++i)
    if (y[i] == a && y[i + d] == b) break;
  return i;
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

// The maximal suffix of x[0, m) under the unit order, or under the
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

// The first i in [i, iEnd) where a[i] and b[i] differ, or iEnd; eight
// bytes at a time.
template <typename TUnit>
size_t Mismatch(const TUnit* a, const TUnit* b, size_t i, size_t iEnd) noexcept {
  const size_t nStep = 8 / sizeof(TUnit);
  if (i < iEnd && a[i] != b[i]) return i;
  for (; i + nStep <= iEnd; i += nStep) {
    uint64_t wa, wb;
    memcpy(&wa, a + i, 8);
    memcpy(&wb, b + i, 8);
    if (wa != wb) return i + size_t(__builtin_ctzll(wa ^ wb)) / 8 / sizeof(TUnit);  // little-endian
  }
  while (i < iEnd && a[i] == b[i]) ++i;
  return i;
}

// Two-way matching of x[0, m) in y[0, n) from offset j on (m >= 2, m <= n).
template <typename TUnit>
int TwoWay(const TUnit* y, size_t n, const TUnit* x, size_t m, size_t j,
           CharacterStarts<TUnit>& starts) noexcept {
  // A critical factorisation: the later of the two maximal suffixes starts
  // the right part, at iSplit. When the whole pattern has the right part's
  // period, a match of the right part moves the window by that period and
  // the part that then overlaps is known; otherwise by more than either
  // part's length.
  size_t nPeriod1, nPeriod2;
  const size_t iSplit1 = MaximalSuffix(x, m, false, &nPeriod1);
  const size_t iSplit2 = MaximalSuffix(x, m, true, &nPeriod2);
  const size_t iSplit = iSplit1 > iSplit2 ? iSplit1 : iSplit2;
  size_t nPeriod = iSplit1 > iSplit2 ? nPeriod1 : nPeriod2;
  const bool bPeriodic = memcmp(x, x + nPeriod, iSplit * sizeof(TUnit)) == 0;
  if (!bPeriodic) nPeriod = (iSplit > m - iSplit ? iSplit : m - iSplit) + 1;

  // How far the window may move by its last unit (by its low byte, for
  // wide text): to the last place in the pattern where such a unit stands.
  // Only while nothing of the window is known, so that no text is compared
  // twice.
  Byte shift[256];
  memset(shift, m < 255 ? Byte(m) : 255, sizeof shift);
  for (size_t i = 0; i < m; ++i) shift[x[i] & 0xFF] = m - 1 - i < 255 ? Byte(m - 1 - i) : 255;

  const size_t nLast = n - m;
  size_t nMemory = 0;  // units at the window's start known to match
  while (j <= nLast) {
    // Where nothing is known, the right part is compared from its start:
    // kept apart, so that where the window moves next never waits on the
    // shift table's answer.
    size_t i;
    if (nMemory == 0) {
      const size_t nShift = shift[y[j + m - 1] & 0xFF];
      if (nShift > 0) {
        j += nShift;
        continue;
      }
      i = Mismatch(x, y + j, iSplit, m);
    } else {
      i = Mismatch(x, y + j, iSplit > nMemory ? iSplit : nMemory, m);
    }
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

  // Each candidate costs the scan's restart, counted as 16 units, and the
  // units compared; once that is more than the units passed, candidates are
  // too common here. A pattern of one unit never needs more.
  const size_t nLast = nText - nSub;  // the last possible start
  size_t nWork = 0;
  for (size_t i = 0;; ++i) {
    i = NextCandidate(y, i, nLast, nSub - 1, x[0], x[nSub - 1]);
    if (i > nLast) return -1;
    if (nSub > 1 && nWork > nQuickWork + i) return TwoWay(y, nText, x, nSub, i, starts);
    const size_t k = Mismatch(x, y + i, 1, nSub);
    nWork += 16 + k;
    if (k == nSub && starts.At(i)) return int(i);
  }
}

template int FindOnCharacterStart(const char*, size_t, const char*, size_t, size_t) noexcept;
template int FindOnCharacterStart(const WideChar*, size_t, const WideChar*, size_t,
                                  size_t) noexcept;
