// Timing shared by the benchmarks, native and Windows alike: each figure is
// the median of several repetitions, and two things compared are measured
// alternately in the same process so that a noisy machine affects both
// alike. The Windows ones are programs of the self-test's kit, without a C
// runtime: the clock is the performance counter there, and a row is text
// the program reports.
#pragma once

#include <algorithm>
#include <string>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#else
#include <chrono>
#endif

namespace bench {

template <typename F>
double Microseconds(F&& f) {
#ifdef _WIN32
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  f();
  QueryPerformanceCounter(&end);
  return double(end.QuadPart - start.QuadPart) * 1e6 / double(frequency.QuadPart);
#else
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
      .count();
#endif
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

// A figure of at least 0 with `places` decimals, below 4e9 in its last
// place (in 32 bits: x86 programs of the kit have no 64-bit division).
inline std::string Fixed(double v, int places) {
  unsigned scale = 1;
  for (int i = 0; i < places; ++i) scale *= 10;
  const double scaled = v > 0 ? v * double(scale) + 0.5 : 0;
  const unsigned n = scaled < 4e9 ? unsigned(scaled) : 4000000000u;
  if (places == 0) return std::to_string(n);
  std::string fraction = std::to_string(n % scale);
  fraction.insert(0, size_t(places) - fraction.size(), '0');
  return std::to_string(n / scale) + "." + fraction;
}

// One Markdown row: what, the measured side, its reference, the ratio and
// the target ("" when there is none).
inline std::string Row(const std::string& what, const std::string& a, const std::string& b, Pair p,
                       const std::string& target) {
  return "| " + what + " | " + a + ": " + Fixed(p.a, 1) + " us | " + b + ": " + Fixed(p.b, 1) +
         " us | " + Fixed(p.Ratio(), 2) + " | " + target + " |";
}

}  // namespace bench
