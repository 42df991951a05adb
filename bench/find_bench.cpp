// CString::Find against glibc's memmem on the same texts (memmem called
// through a pointer, so that no loop around it folds): typical window
// titles, 1 MiB texts with a match at the end, none, or near-misses
// everywhere, the periodic worst cases for forward and for backward
// comparison with names from 64 bytes to 32 KiB, and GBK text whose
// candidates land on trail bytes. Then how the cost grows with the name.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench.h"
#include "cstring.h"
#include "sim.h"

namespace {

volatile int g_sink;
void* (*volatile g_memmem)(const void*, size_t, const void*, size_t) = memmem;

int ByteFind(const std::string& text, const std::string& sub) {
  const void* p = g_memmem(text.data(), text.size(), sub.data(), sub.size());
  return p ? int(static_cast<const char*>(p) - text.data()) : -1;
}

bench::Pair Measure(const char* what, const std::vector<std::string>& texts,
                    const std::string& name, int codePage, int reps = 15) {
  sim::SetCodePage(codePage);
  std::vector<CString> strs;
  for (const std::string& t : texts) strs.emplace_back(t.c_str());
  const bench::Pair p = bench::Compare(
      reps,
      [&] {
        for (const CString& s : strs) g_sink = s.Find(name.c_str());
      },
      [&] {
        for (const std::string& t : texts) g_sink = ByteFind(t, name);
      });
  puts(bench::Row(std::string(what) + ", code page " + std::to_string(codePage), "CString::Find",
                  "memmem", p, "<= 1.5")
           .c_str());
  return p;
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
  const std::string name = "deck.hvq";

  std::vector<std::string> titles;
  for (int i = 0; i < 1000; ++i)
    titles.push_back("Viewer " + std::to_string(i) + " - C:\\work\\bridge\\model" +
                     std::to_string(i * 7) + ".hvq");
  Measure("1,000 typical titles of about 40 bytes, no match", titles, name, 1252, 51);
  Measure("1,000 typical titles, a name whose first byte is rare", titles, "Zeta.hvq", 1252, 51);

  const std::string atEnd = Filler(kMiB - 8, "Viewer - C:\\work\\bridge ") + name;
  const std::string none = Filler(kMiB, "Viewer - C:\\work\\bridge ");
  const std::string near = Filler(kMiB, "deck.hvx ");
  const std::string nearEnd = Filler(kMiB, "beck.hvq ");
  std::string periodic;  // the name's period all along, its last byte out of place
  for (int i = 0; i < 300; ++i) periodic += "abaab";
  const std::string periodicText = Filler(kMiB, "abaab");
  periodic.back() = 'a';
  for (int cp : {1252, 936}) {
    Measure("1 MiB, match at the end", {atEnd}, name, cp);
    Measure("1 MiB, no match", {none}, name, cp);
    Measure("1 MiB of near-misses (\"deck.hvx \" repeated)", {near}, name, cp);
    Measure("1 MiB of near-misses that end like the name (\"beck.hvq \" repeated)", {nearEnd}, name,
            cp);
  }
  {
    Measure("1 MiB of \"abaab\" repeated, name of 300 such with its last byte changed",
            {periodicText}, periodic, 1252);
  }

  const std::string as(kMiB, 'a');
  double forward[2], backward[2];
  for (size_t m : {64u, 1024u, 32768u}) {
    char what[96];
    snprintf(what, sizeof what, "1 MiB of a, name a x %zu + b", m);
    const bench::Pair f = Measure(what, {as}, std::string(m, 'a') + "b", 1252);
    snprintf(what, sizeof what, "1 MiB of a, name b + a x %zu", m);
    const bench::Pair b = Measure(what, {as}, "b" + std::string(m, 'a'), 1252);
    if (m == 64 || m == 32768) {
      forward[m == 64 ? 0 : 1] = f.a;
      backward[m == 64 ? 0 : 1] = b.a;
    }
  }

  const std::string gbk = Filler(kMiB - 8, "\xB2\xE9\xBF\xB4 - ") + name;
  const std::string trails = Filler(kMiB, "\xB0\xA1");  // every other byte a candidate
  for (int cp : {1252, 936}) {
    Measure("1 MiB of GBK text, match at the end", {gbk}, name, cp);
    Measure("1 MiB of GBK text, candidates on every trail byte", {trails}, "\xA1.hvq", cp);
  }

  puts(bench::Row("Cost of a 32 KiB name against a 64-byte one, a x m + b", "32 KiB", "64 bytes",
                  {forward[1], forward[0]}, "<= 3")
           .c_str());
  puts(bench::Row("Cost of a 32 KiB name against a 64-byte one, b + a x m", "32 KiB", "64 bytes",
                  {backward[1], backward[0]}, "<= 3")
           .c_str());
  return 0;
}
