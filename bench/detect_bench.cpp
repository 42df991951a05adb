// CheckPrjOpened against its floor: a bare loop written for the purpose,
// EnumWindows with GetWindowTextA into a fixed buffer and a byte search,
// in the same process over the same windows. 1,000 windows with short
// titles and 100 with 64 KiB titles; the match in the last window
// enumerated, or no match at all.
#include <string_view>
#include <vector>

#include "../tests/e2e/e2e.h"
#include "bench.h"

namespace {

struct BareSearch {
  std::string_view needle;
  bool found;
};

char g_buffer[256 * 1024];

BOOL CALLBACK BareProc(HWND hwnd, LPARAM lParam) {
  BareSearch* s = reinterpret_cast<BareSearch*>(lParam);
  const int n = GetWindowTextA(hwnd, g_buffer, sizeof g_buffer);
  const size_t at = std::string_view(g_buffer, n > 0 ? size_t(n) : 0).find(s->needle);
  if (at != std::string_view::npos && at >= 1) {
    s->found = true;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK LastOf(HWND hwnd, LPARAM lParam) {
  auto* w = reinterpret_cast<std::pair<const std::vector<HWND>*, HWND>*>(lParam);
  for (HWND mine : *w->first)
    if (mine == hwnd) w->second = hwnd;
  return TRUE;
}

std::string Title(size_t length, int i, const std::string& tail) {
  std::string t = "Viewer " + std::to_string(i) + " - C:\\work\\";
  while (t.size() + tail.size() < length) t += char('a' + (t.size() * 7 + i) % 26);
  return t + tail;
}

void Scenario(const e2e::Hvq& hvq, int count, size_t titleLength, bool match, int reps) {
  std::vector<HWND> windows;
  for (int i = 0; i < count; ++i)
    windows.push_back(e2e::MakeWindow(Title(titleLength, i, "other.hvq"), false));
  std::pair<const std::vector<HWND>*, HWND> last{&windows, nullptr};
  EnumWindows(LastOf, reinterpret_cast<LPARAM>(&last));
  if (match) SetWindowTextA(last.second, Title(titleLength, 0, "bench.hvq").c_str());

  volatile int opened = 0;
  BareSearch bare{"bench.hvq", false};
  const bench::Pair p = bench::Compare(
      reps, [&] { opened = hvq.CheckPrjOpened("bench"); },
      [&] {
        bare.found = false;
        EnumWindows(BareProc, reinterpret_cast<LPARAM>(&bare));
      });
  if ((opened == 1) != match || bare.found != match) printf("| (wrong answer) |\n");
  char what[128];
  snprintf(what, sizeof what, "CheckPrjOpened, %d windows of %zu-byte titles, %s", count,
           titleLength, match ? "match in the last enumerated" : "no match");
  bench::Row(what, "CheckPrjOpened", "bare loop", p, titleLength > 1000 ? "<= 1.25" : "<= 1.10");
  for (HWND w : windows) DestroyWindow(w);
}

}  // namespace

int main() {
  e2e::Hvq hvq = e2e::LoadHvq();
  if (!hvq.module) return 1;
  Scenario(hvq, 1000, 48, true, 21);
  Scenario(hvq, 1000, 48, false, 21);
  Scenario(hvq, 100, 64 * 1024, true, 11);
  Scenario(hvq, 100, 64 * 1024, false, 11);
  return 0;
}
