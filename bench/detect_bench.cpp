// CheckPrjOpened against its floor: a bare loop written for the purpose
// that reads each title the same way (the caption the system keeps, into a
// fixed buffer, converted to the ANSI code page) and searches it, in the
// same process over the same windows. 1,000 windows with short titles and
// 100 with 64 KiB titles, owned by this process or by another one; the
// match in the last window enumerated, or no match at all.
#include <string_view>
#include <vector>

#include "../tests/e2e/e2e.h"
#include "bench.h"

namespace {

struct BareSearch {
  std::string_view needle;
  bool found;
};

WCHAR g_wide[256 * 1024];
char g_buffer[512 * 1024];

BOOL CALLBACK BareProc(HWND hwnd, LPARAM lParam) {
  BareSearch* s = reinterpret_cast<BareSearch*>(lParam);
  const int nWide = InternalGetWindowText(hwnd, g_wide, sizeof g_wide / sizeof g_wide[0]);
  const int n = nWide > 0 ? WideCharToMultiByte(CP_ACP, 0, g_wide, nWide, g_buffer, sizeof g_buffer,
                                                nullptr, nullptr)
                          : 0;
  const size_t at = std::string_view(g_buffer, n > 0 ? size_t(n) : 0).find(s->needle);
  if (at != std::string_view::npos && at >= 1) {
    s->found = true;
    return FALSE;
  }
  return TRUE;
}

std::string Title(size_t length, int i, const std::string& tail) {
  std::string t = "Viewer " + std::to_string(i) + " - C:\\work\\";
  while (t.size() + tail.size() < length) t += char('a' + (t.size() * 7 + i) % 26);
  return t + tail;
}

// Makes count windows of this process; when match is set, the one that is
// enumerated last shows the project "bench".
std::vector<HWND> MakeWindows(int count, size_t titleLength, bool match) {
  std::vector<HWND> windows;
  for (int i = 0; i < count; ++i)
    windows.push_back(e2e::MakeWindow(Title(titleLength, i, "other.hvq"), false));
  struct Last {
    const std::vector<HWND>* mine;
    HWND last;
    static BOOL CALLBACK Proc(HWND hwnd, LPARAM lParam) {
      Last* l = reinterpret_cast<Last*>(lParam);
      for (HWND w : *l->mine)
        if (w == hwnd) l->last = hwnd;
      return TRUE;
    }
  } last{&windows, nullptr};
  EnumWindows(Last::Proc, reinterpret_cast<LPARAM>(&last));
  if (match) SetWindowTextA(last.last, Title(titleLength, 0, "bench.hvq").c_str());
  return windows;
}

void Scenario(const e2e::Hvq& hvq, int count, size_t titleLength, bool match, bool other,
              int reps) {
  std::vector<HWND> windows;
  std::unique_ptr<e2e::ChildProcess> child;
  if (other)
    child = std::make_unique<e2e::ChildProcess>(
        std::to_string(count) + " " + std::to_string(titleLength) + " " + (match ? "1" : "0"));
  else
    windows = MakeWindows(count, titleLength, match);

  volatile int opened = 0;
  BareSearch bare{"bench.hvq", false};
  const bench::Pair p = bench::Compare(
      reps, [&] { opened = hvq.CheckPrjOpened("bench"); },
      [&] {
        bare.found = false;
        EnumWindows(BareProc, reinterpret_cast<LPARAM>(&bare));
      });
  if ((opened == 1) != match || bare.found != match) printf("| (wrong answer) |\n");
  char what[160];
  snprintf(what, sizeof what, "CheckPrjOpened, %d windows of %zu-byte titles of %s, %s", count,
           titleLength, other ? "another process" : "this process",
           match ? "match in the last enumerated" : "no match");
  bench::Row(what, "CheckPrjOpened", "bare loop", p, titleLength > 1000 ? "<= 1.25" : "<= 1.10");
  for (HWND w : windows) DestroyWindow(w);
}

// Narrow and wide detection against the floor: one InternalGetWindowText
// per window into a fixed buffer, and nothing else. 1,000 windows of this
// process, no match.
BOOL CALLBACK FloorProc(HWND hwnd, LPARAM) {
  InternalGetWindowText(hwnd, g_wide, sizeof g_wide / sizeof g_wide[0]);
  return TRUE;
}

void AgainstTheFloor(const e2e::Hvq& hvq) {
  const std::vector<HWND> windows = MakeWindows(1000, 48, false);
  const auto checkW = e2e::Export<HvqCheckPrjOpenedWProc>(hvq.module, "HvqCheckPrjOpenedW",
                                                          HVQ_CHECKPRJOPENEDW_ORDINAL);
  volatile int opened = 0;
  const auto floor = [] { EnumWindows(FloorProc, 0); };
  bench::Row("Narrow detection, 1000 windows of 48-byte titles, no match", "CheckPrjOpened",
             "the floor",
             bench::Compare(
                 1001, [&] { opened = hvq.CheckPrjOpened("bench"); }, floor),
             "<= 1.10");
  bench::Row("Wide detection, 1000 windows of 48-byte titles, no match", "HvqCheckPrjOpenedW",
             "the floor",
             bench::Compare(
                 1001, [&] { opened = checkW(L"bench"); }, floor),
             "<= 1.05");
  for (HWND w : windows) DestroyWindow(w);
}

// One window whose 1 MiB title is "a" repeated, searched for a name of m
// "a"s and a "b": the worst case for a search that compares from every
// candidate. Against the same search for a name that is not there at all.
void WorstCaseTitle(const e2e::Hvq& hvq) {
  HWND hwnd = e2e::MakeWindow(std::string(1 << 20, 'a'), false);
  for (size_t m : {1024u, 32768u}) {
    const std::string name = std::string(m, 'a') + "b";
    volatile int opened = 0;
    const bench::Pair p = bench::Compare(
        11, [&] { opened = hvq.CheckPrjOpened(name.c_str()); },
        [&] { opened = hvq.CheckPrjOpened("bench-none"); });
    char what[160];
    snprintf(what, sizeof what,
             "CheckPrjOpened, one window with a 1 MiB title of a, name of %zu a + b", m);
    bench::Row(what, "that name", "a short name", p, "report");
  }
  DestroyWindow(hwnd);
}

}  // namespace

int main(int argc, char** argv) {
  if (e2e::IsChild(argc, argv) && argc == 6) {
    MakeWindows(atoi(argv[3]), size_t(atoi(argv[4])), argv[5][0] == '1');
    e2e::ChildReady();
    return 0;
  }
  e2e::Hvq hvq = e2e::LoadHvq();
  if (!hvq.module) return 1;
  AgainstTheFloor(hvq);
  if (argc > 1 && strcmp(argv[1], "floor") == 0) return 0;  // those rows alone
  for (bool other : {false, true}) {
    Scenario(hvq, 1000, 48, true, other, 21);
    Scenario(hvq, 1000, 48, false, other, 21);
    Scenario(hvq, 100, 64 * 1024, true, other, 11);
    Scenario(hvq, 100, 64 * 1024, false, other, 11);
  }
  WorstCaseTitle(hvq);
  return 0;
}
