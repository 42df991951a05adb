#include <string>
#include <string_view>

#include "fixture.h"
#include "reference.h"

using CStringTest = SimTest;

TEST_F(CStringTest, CopiesShareOneBufferUntilOneOfThemChanges) {
  {
    CString a("deck");
    CString b(a);
    EXPECT_EQ(static_cast<const char*>(a), static_cast<const char*>(b));
    EXPECT_EQ(sim::LiveAllocations(), 1);
    b += ".hvq";
    EXPECT_STREQ(a, "deck");
    EXPECT_STREQ(b, "deck.hvq");
    EXPECT_EQ(sim::LiveAllocations(), 2);
    a = b;
    EXPECT_EQ(sim::LiveAllocations(), 1);
    EXPECT_STREQ(a + b, "deck.hvqdeck.hvq");
  }
  EXPECT_EQ(sim::LiveAllocations(), 0);
}

TEST_F(CStringTest, AppendsAndAssignsFromItsOwnText) {
  {
    CString s("abc");
    s += s;
    EXPECT_STREQ(s, "abcabc");
    s = static_cast<const char*>(s) + 3;
    EXPECT_STREQ(s, "abc");
    s += static_cast<const char*>(s) + 1;
    EXPECT_STREQ(s, "abcbc");
    EXPECT_EQ(s.GetLength(), 5);
    s = nullptr;
    EXPECT_TRUE(s.IsEmpty());
  }
  EXPECT_EQ(sim::LiveAllocations(), 0);
}

// A string that could not grow is out of memory until it is assigned a new
// text, and so is whatever is built from it; nothing it held is leaked.
TEST_F(CStringTest, RunningOutOfMemoryStaysWithTheStringAndWhatIsBuiltFromIt) {
  CString a("deck");
  CString shared(a);
  sim::FailAllocation(1);
  a += ".hvq";
  sim::FailAllocation(0);
  EXPECT_TRUE(a.IsOutOfMemory());
  EXPECT_STREQ(a, "");
  EXPECT_STREQ(shared, "deck");
  a += "more";
  CString built = shared + a + "x";
  EXPECT_TRUE(a.IsOutOfMemory());
  EXPECT_TRUE(built.IsOutOfMemory());
  EXPECT_TRUE(CString(built).IsOutOfMemory());
  a = "again";
  EXPECT_FALSE(a.IsOutOfMemory());
  EXPECT_STREQ(a, "again");
  sim::FailAllocation(1);
  EXPECT_EQ(a.GetBuffer(100), nullptr);
  EXPECT_TRUE(a.IsOutOfMemory());
  sim::FailAllocation(0);
  a = CString();
  built = CString();
  EXPECT_EQ(sim::LiveAllocations(), 1);
}

TEST_F(CStringTest, GetBufferGivesAPrivateBufferAndReleaseBufferSetsTheLength) {
  CString a("title");
  CString b(a);
  char* p = b.GetBuffer(10);
  strcpy(p, "new title");
  b.ReleaseBuffer();
  EXPECT_STREQ(a, "title");
  EXPECT_STREQ(b, "new title");
  EXPECT_EQ(b.GetLength(), 9);
  b.GetBuffer(0);
  b.ReleaseBuffer(3);
  EXPECT_STREQ(b, "new");
}

TEST_F(CStringTest, FindStepsOverWholeCharactersOfTheCodePage) {
  struct Case {
    const char* text;
    const char* sub;
    int cp1252;
    int cp936;
  };
  const Case cases[] = {
      {"", "", 0, 0},
      {"abc", "", 0, 0},
      {"abc", "abcd", -1, -1},
      {"data.hvq", "a.hvq", 3, 3},
      {"\xB0"
       "a.hvq",
       "a.hvq", 1, -1},  // 'a' is the trail byte
      {"\xB0"
       "a.hvq a.hvq",
       "a.hvq", 1, 7},  // a later whole one counts
      {"\xB0\xB0"
       "a.hvq",
       "a.hvq", 2, 2},  // two bytes: one character
      {"\xB0\xB0"
       "a",
       "\xB0"
       "a",
       1, -1},  // starts on a trail byte
      {"x\xB0\xB0\xB0"
       "a",
       "\xB0"
       "a",
       3, 3},  // lead, trail, then a whole one
      {"\xD5\xE2\xCA\xC7 deck.hvq", "deck.hvq", 5, 5},
      {"ab\xB0", "\xB0", 2, 2},
      {"x\x81\xB0\x81\xB0\x81\xB0\x81", "\xB0\x81", 2,
       -1},  // every hit on a trail byte  // a lead byte as the last byte
      {"aaaaaaaaab", "aaab", 6, 6},
  };
  for (const Case& c : cases) {
    for (int cp : {1252, 936}) {
      sim::SetCodePage(cp);
      const int expected = cp == 936 ? c.cp936 : c.cp1252;
      EXPECT_EQ(CString(c.text).Find(c.sub), expected) << c.text << " / " << c.sub << " @" << cp;
      EXPECT_EQ(reference::Find(c.text, c.sub, cp), expected) << c.text;
    }
  }
}

TEST_F(CStringTest, FindOverALongTextWithManyNearMatches) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "deck.hv\xB0\xA1";
  text += "deck.hvq";
  for (int cp : {1252, 936}) {
    sim::SetCodePage(cp);
    EXPECT_EQ(CString(text.c_str()).Find("deck.hvq"), int(text.size()) - 8);
    EXPECT_EQ(CString(text.c_str()).Find("deck.hvx"), -1);
  }
  // A long run of double-byte characters whose every hit is a trail byte.
  std::string run = "x";
  for (int i = 0; i < 100000; ++i) run += "\x81\xB0";
  run += "\x81";
  sim::SetCodePage(936);
  EXPECT_EQ(CString(run.c_str()).Find("\xB0\x81"), -1);
  sim::SetCodePage(1252);
  EXPECT_EQ(CString(run.c_str()).Find("\xB0\x81"), 2);
}

// Two-way matching, which takes over from the quick scan, against the
// reference on every pattern and text over two-letter alphabets, both
// single-byte and with a GBK lead byte.
TEST_F(CStringTest, TwoWayMatchesTheReferenceOnEverySmallCase) {
  // Every pattern of up to mMax letters in every text of up to nMax, from
  // each quick-work start, against the reference.
  const auto Every = [](auto letters, size_t mMax, size_t nMax, std::vector<size_t> quicks,
                        auto reference) {
    const auto Spell = [&](unsigned bits, size_t length) {
      decltype(letters) s;
      for (size_t i = 0; i < length; ++i) s += letters[(bits >> i) & 1];
      return s;
    };
    int mismatches = 0;
    for (size_t m = 1; m <= mMax; ++m) {
      for (unsigned pb = 0; pb < (1u << m); ++pb) {
        const auto sub = Spell(pb, m);
        for (size_t n = m; n <= nMax; ++n) {
          for (unsigned tb = 0; tb < (1u << n); ++tb) {
            const auto text = Spell(tb, n);
            for (size_t quick : quicks)
              if (FindOnCharacterStart(text.data(), n, sub.data(), m, quick) !=
                      reference(text, sub) &&
                  ++mismatches <= 5)
                ADD_FAILURE() << "text " << tb << " / pattern " << pb << " of " << n << "/" << m;
          }
        }
      }
    }
    EXPECT_EQ(mismatches, 0);
  };
  // Single-byte, and with a GBK lead byte.
  for (const auto& [letters, cp] : {std::pair{"ab", 1252}, std::pair{"a\xB0", 936}}) {
    sim::SetCodePage(cp);
    Every(std::string(letters), 7, 10, {0},
          [cp = cp](const std::string& text, const std::string& sub) {
            return reference::Find(text, sub, cp);
          });
  }
  // UTF-16 over the two halves of a surrogate pair.
  Every(std::u16string(u"\xD83D\xDE00"), 6, 9, {0, c_nFindQuickWork},
        [](const std::u16string& text, const std::u16string& sub) {
          return reference::Find(text, sub);
        });
}

// The periodic worst cases, for forward and for backward comparison, with
// names up to 32 KiB: answered right, and in linear time (the test's own
// time limit would catch a search that compares from every candidate).
TEST_F(CStringTest, FindIsRightOnThePeriodicWorstCases) {
  const std::string text(1 << 20, 'a');
  const CString str(text.c_str());
  for (size_t m : {64u, 1024u, 32768u}) {
    const std::string forward = std::string(m, 'a') + "b";
    const std::string backward = "b" + std::string(m, 'a');
    EXPECT_EQ(str.Find(forward.c_str()), -1);
    EXPECT_EQ(str.Find(backward.c_str()), -1);
    EXPECT_EQ(CString((text + forward).c_str()).Find(forward.c_str()), int(text.size()));
    EXPECT_EQ(CString((text + backward).c_str()).Find(backward.c_str()), int(text.size()));
    EXPECT_EQ(str.Find(std::string(m, 'a').c_str()), 0);
  }
}
