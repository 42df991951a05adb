#include <atomic>
#include <string>
#include <thread>

#include "fixture.h"

namespace {

struct TitleCase {
  const char* what;
  std::vector<std::string> titles;
  const char* name;
  int expected;
};

class DetectTest : public SimTest {};

TEST_F(DetectTest, TitleRule) {
  const TitleCase cases[] = {
      {"no windows", {}, "deck", 0},
      {"no title holds the name", {"Viewer - bridge.hvq", "", "deck"}, "deck", 0},
      {"name after the start", {"Notes", "Viewer - C:\\work\\deck.hvq"}, "deck", 1},
      {"name at the very start", {"deck.hvq - Viewer"}, "deck", 0},
      {"only the first occurrence counts", {"deck.hvq | deck.hvq"}, "deck", 0},
      {"found inside a longer name", {"data.hvq"}, "a", 1},
      {"inside a longer name, but first at 0", {"a.hvq data.hvq"}, "a", 0},
      {"name given with the extension", {"V - deck.hvq"}, "deck.hvq", 1},
      {"containment, not a suffix test", {"V - deck.hvq.old"}, "deck.hvq.old", 1},
      {"extension is case-sensitive", {"V - deck.HVQ"}, "deck.HVQ", 0},
      {"upper-case name gets the extension", {"V - deck.HVQ.hvq"}, "deck.HVQ", 1},
      {"title case matters", {"V - DECK.hvq"}, "deck", 0},
      {"null name is the bare extension", {"x.hvq"}, nullptr, 1},
      {"empty name is the bare extension", {".hvq first", "no extension"}, "", 0},
      {"spaces are not trimmed", {"V - deck .hvq"}, "deck", 0},
  };
  for (const TitleCase& c : cases) {
    sim::Reset();
    for (const std::string& t : c.titles) sim::AddWindow(t);
    EXPECT_EQ(CheckPrjOpened(c.name), c.expected) << c.what;
  }

  // The wide search compares UTF-16 titles as they are; a match never
  // starts on the low half of a surrogate pair.
  const struct {
    const char* what;
    std::u16string title;
    const char16_t* name;
    int expected;
  } wide[] = {
      {"outside any code page", u"V - C:\\работа\\模型.hvq", u"模型", 1},
      {"at the very start", u"模型.hvq - V", u"模型", 0},
      {"only the first occurrence", u"模型.hvq | 模型.hvq", u"模型.hvq", 0},
      {"containment", u"V - 模型.hvq.old", u"模型.hvq.old", 1},
      {"null name", u"x.hvq", nullptr, 1},
      {"on a pair's low half", u"V \xD83D\xDE00.hvq", u"\xDE00", 0},
      {"on a lone low half", u"V \xDE00.hvq", u"\xDE00", 1},
      {"on a whole pair", u"V \xD83D\xDE00.hvq", u"\xD83D\xDE00", 1},
  };
  for (const auto& c : wide) {
    sim::Reset();
    sim::AddWindow(c.title);
    EXPECT_EQ(CheckPrjOpened(c.name), c.expected) << c.what;
    EXPECT_EQ(HvqCheckPrjOpenedW(c.name), c.expected) << c.what;
    EXPECT_EQ(HvqCheckPrjOpenedWide(c.name), c.expected) << c.what;
  }
}

TEST_F(DetectTest, StopsAtTheFirstMatchingWindow) {
  sim::AddWindow("deck.hvq - Viewer");
  sim::AddWindow("Viewer - C:\\work\\deck.hvq");
  sim::AddWindow("Viewer - C:\\other\\deck.hvq");
  EXPECT_EQ(CheckPrjOpened("deck"), 1);
  EXPECT_EQ(sim::WindowsExamined(), 2);
}

TEST_F(DetectTest, HiddenWindowsCountAndUnreadableOnesNever) {
  sim::AddWindow("V - deck.hvq", /*visible=*/true, /*readable=*/false);
  EXPECT_EQ(CheckPrjOpened("deck"), 0);
  sim::AddWindow("V - deck.hvq", /*visible=*/false);
  EXPECT_EQ(CheckPrjOpened("deck"), 1);
}

TEST_F(DetectTest, EachCallStartsAfreshAndKeepsTheSearchedName) {
  sim::AddWindow("V - deck.hvq");
  EXPECT_EQ(CheckPrjOpened("deck"), 1);
  EXPECT_STREQ(g_strPrjName, "deck.hvq");
  EXPECT_EQ(CheckPrjOpened("bridge"), 0);
  EXPECT_EQ(g_nPrjOpened, 0);
  EXPECT_STREQ(g_strPrjName, "bridge.hvq");
  EXPECT_EQ(CheckPrjOpened("deck.hvq"), 1);
  EXPECT_STREQ(g_strPrjName, "deck.hvq");
}

TEST_F(DetectTest, GbkTitleWhoseTrailByteStartsTheName) {
  // "\xB0" "a" is one double-byte character under GBK: "a.hvq" in this title
  // begins on its trail byte.
  sim::AddWindow(
      "V \xB0"
      "a.hvq");
  sim::SetCodePage(936);
  EXPECT_EQ(CheckPrjOpened("a"), 0);
  sim::SetCodePage(1252);
  EXPECT_EQ(CheckPrjOpened("a"), 1);
  sim::SetCodePage(936);
  sim::AddWindow("\xD5\xE2 \xB0\xA1.hvq");  // a GBK name after a GBK word
  EXPECT_EQ(CheckPrjOpened("\xB0\xA1"), 1);
}

TEST_F(DetectTest, LongTitlesAndNamesAreReadWhole) {
  const std::string name(100000, 'n');
  sim::AddWindow(std::string(1 << 20, 'x') + name + ".hvq");
  EXPECT_EQ(CheckPrjOpened(name.c_str()), 1);
  EXPECT_EQ(g_strPrjName.GetLength(), int(name.size()) + 4);
}

// The exported boundary turns running out of memory into a quiet 0; the
// searched name is the only buffer that may still be held afterwards.
TEST_F(DetectTest, OutOfMemoryAtEveryAllocationReturnsZeroAndLeaksNothing) {
  sim::AddWindow("title without the name");
  sim::AddWindow("V - deck.hvq");
  for (long k = 1;; ++k) {
    g_strPrjName = CString();
    sim::FailAllocation(k);
    const int result = HvqCheckPrjOpened("deck");
    const bool failed = sim::Allocations() >= k;
    sim::FailAllocation(0);
    EXPECT_LE(sim::LiveAllocations(), 1) << "allocation " << k;
    if (!failed) {
      EXPECT_EQ(result, 1);
      EXPECT_GT(k, 3);  // the name, its extension, a title per window
      break;
    }
    EXPECT_EQ(result, 0) << "allocation " << k;
    EXPECT_EQ(HvqCheckPrjOpened("deck"), 1) << "after allocation " << k;
  }
}

}  // namespace

// Searches from several threads at once each get their own answer.
TEST_F(DetectTest, ConcurrentSearchesEachGetTheirOwnAnswer) {
  for (int i = 0; i < 8; ++i) sim::AddWindow("Other window " + std::to_string(i));
  sim::AddWindow("V - shown1.hvq");
  sim::AddWindow("V - shown3.hvq");
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &wrong] {
      const std::string name = (t % 2 ? "shown" : "hidden") + std::to_string(t);
      for (int i = 0; i < 200; ++i)
        if (HvqCheckPrjOpened(name.c_str()) != t % 2) ++wrong;
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong, 0);
}
