// Timing helpers shared by the benchmarks: each figure is the median of
// several repetitions, and two things compared are measured alternately in
// the same process so that a noisy machine affects both alike.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace bench {

template <typename F>
double Microseconds(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
      .count();
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct Pair {
  double a, b;
  double Ratio() const { return b > 0 ? a / b : 0; }
};

// Medians of a and b over reps alternating runs, after one warm-up each.
template <typename A, typename B>
Pair Compare(int reps, A&& a, B&& b) {
  a();
  b();
  std::vector<double> ta, tb;
  for (int i = 0; i < reps; ++i) {
    ta.push_back(Microseconds(a));
    tb.push_back(Microseconds(b));
  }
  return {Median(ta), Median(tb)};
}

// The same, with untimed set-up before each run.
template <typename A, typename B, typename SA, typename SB>
Pair Compare(int reps, A&& a, B&& b, SA&& setupA, SB&& setupB) {
  std::vector<double> ta, tb;
  for (int i = 0; i <= reps; ++i) {
    setupA();
    const double da = Microseconds(a);
    setupB();
    const double db = Microseconds(b);
    if (i == 0) continue;  // warm-up
    ta.push_back(da);
    tb.push_back(db);
  }
  return {Median(ta), Median(tb)};
}

// One Markdown row: what, the measured side, its reference, the ratio and
// the target ("" when there is none).
inline void Row(const char* what, const char* a, const char* b, Pair p, const char* target) {
  printf("| %s | %s: %.1f us | %s: %.1f us | %.2f | %s |\n", what, a, p.a, b, p.b, p.Ratio(),
         target);
  fflush(stdout);
}

}  // namespace bench
