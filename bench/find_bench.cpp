// CString::Find against std::string_view::find on 1 MiB texts, under code
// pages 1252 and 936: a match at the end, no match, and repeated
// near-matches; then Find on 4 MiB against 1 MiB, to show it stays linear.
#include <string>
#include <string_view>

#include "bench.h"
#include "cstring.h"
#include "sim.h"

namespace {

volatile int g_sink;

void Measure(const char* what, const std::string& text, const char* name, int codePage) {
  sim::SetCodePage(codePage);
  const CString str(text.c_str());
  const std::string_view view(text);
  const bench::Pair p = bench::Compare(
      15, [&] { g_sink = str.Find(name); }, [&] { g_sink = int(view.find(name)); });
  char label[128];
  snprintf(label, sizeof label, "%s, code page %d", what, codePage);
  bench::Row(label, "CString::Find", "string_view::find", p, "report");
}

std::string Filler(size_t size, const std::string& unit) {
  std::string s;
  while (s.size() + unit.size() <= size) s += unit;
  s.append(size - s.size(), 'x');
  return s;
}

}  // namespace

int main() {
  sim::Reset();
  const size_t kMiB = 1 << 20;
  const char* name = "deck.hvq";
  const std::string atEnd = Filler(kMiB - 8, "Viewer - C:\\work\\bridge ") + name;
  const std::string none = Filler(kMiB, "Viewer - C:\\work\\bridge ");
  const std::string gbk = Filler(kMiB - 8, "\xB2\xE9\xBF\xB4 - ") + name;
  const std::string near = Filler(kMiB - 8, "deck.hv\xB0\xA1") + name;
  for (int cp : {1252, 936}) {
    Measure("Find in 1 MiB, match at the end", atEnd, name, cp);
    Measure("Find in 1 MiB, no match", none, name, cp);
    Measure("Find in 1 MiB of GBK text, match at the end", gbk, name, cp);
    Measure("Find in 1 MiB of near-matches", near, name, cp);
  }
  for (int cp : {1252, 936}) {
    sim::SetCodePage(cp);
    const CString big(Filler(4 * kMiB - 8, "deck.hv\xB0\xA1").append(name).c_str());
    const CString small(near.c_str());
    const bench::Pair p = bench::Compare(
        9, [&] { g_sink = big.Find(name); }, [&] { g_sink = small.Find(name); });
    char label[96];
    snprintf(label, sizeof label, "Find linearity: 4 MiB against 1 MiB, code page %d", cp);
    bench::Row(label, "4 MiB", "1 MiB", p, "about 4");
  }
  return 0;
}
