// CheckPrjOpened against its floor: a bare loop written for the purpose
// that reads each title the same way (the caption the system keeps, into a
// fixed buffer, converted to the ANSI code page) and searches it, in the
// same process over the same windows. 1,000 windows with short titles and
// 100 with 64 KiB titles, owned by this process or by another one; the
// match in the last window enumerated, or no match at all. A program of
// the self-test's kit: its rows are the notes of its cases.
#include <memory>
#include <string_view>

#include "bench.h"
#include "selftest.h"

using namespace selftest;

namespace {

// The first export, found once: the kit's CheckPrjOpened finds it at each
// call.
int Search(const char* name) {
  static const auto s_check =
      Export<HvqCheckPrjOpenedProc>(HVQ_CHECKPRJOPENED_NAME, HVQ_CHECKPRJOPENED_ORDINAL);
  return s_check(name);
}

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

// The window of the process that is enumerated last.
HWND LastOf(DWORD process) {
  struct Last {
    DWORD process;
    HWND last;
    static BOOL CALLBACK Proc(HWND hwnd, LPARAM lParam) {
      Last* l = reinterpret_cast<Last*>(lParam);
      DWORD owner = 0;
      GetWindowThreadProcessId(hwnd, &owner);
      if (owner == l->process) l->last = hwnd;
      return TRUE;
    }
  } last{process, nullptr};
  EnumWindows(Last::Proc, reinterpret_cast<LPARAM>(&last));
  return last.last;
}

// count windows of this process or another one, "other.hvq" at the end
// of their titles; when match is set, the one enumerated last shows the
// project "bench".
struct Windows {
  std::vector<HWND> mine;
  std::unique_ptr<ChildProcess> child;
  Windows(int count, size_t length, bool match, bool other) {
    DWORD process = GetCurrentProcessId();
    if (other) {
      child = std::make_unique<ChildProcess>("other.hvq", count, length);
      process = child->Id();
    } else {
      for (int i = 0; i < count; ++i)
        mine.push_back(MakeWindow(PaddedTitle(length, i, "other.hvq"), false));
    }
    if (match) CHECK(SetWindowTextA(LastOf(process), PaddedTitle(length, 0, "bench.hvq").c_str()));
  }
  ~Windows() {
    for (HWND w : mine) DestroyWindow(w);
  }
};

void Scenario(int count, size_t length, bool match, bool other, int reps) {
  const Windows windows(count, length, match, other);
  int opened = 0;
  BareSearch bare{"bench.hvq", false};
  const bench::Pair p = bench::Compare(
      reps, [&] { opened = Search("bench"); },
      [&] {
        bare.found = false;
        EnumWindows(BareProc, reinterpret_cast<LPARAM>(&bare));
      });
  CHECK_EQ(opened, int(match));
  CHECK_EQ(int(bare.found), int(match));
  Note(bench::Row("CheckPrjOpened, " + std::to_string(count) + " windows of " +
                      std::to_string(length) + "-byte titles of " +
                      (other ? "another process" : "this process") + ", " +
                      (match ? "match in the last enumerated" : "no match"),
                  "CheckPrjOpened", "bare loop", p, length > 1000 ? "<= 1.25" : "<= 1.10"));
}

// Narrow and wide detection against the floor: one InternalGetWindowText
// per window into a fixed buffer, and nothing else. 1,000 windows of this
// process, no match.
BOOL CALLBACK FloorProc(HWND hwnd, LPARAM) {
  InternalGetWindowText(hwnd, g_wide, sizeof g_wide / sizeof g_wide[0]);
  return TRUE;
}

CASE("bench.floor", 900) {
  const Windows windows(1000, 48, false, false);
  const auto checkW =
      Export<HvqCheckPrjOpenedWProc>("HvqCheckPrjOpenedW", HVQ_CHECKPRJOPENEDW_ORDINAL);
  int opened = 0;
  const auto floor = [] { EnumWindows(FloorProc, 0); };
  Note(bench::Row("Narrow detection, 1000 windows of 48-byte titles, no match", "CheckPrjOpened",
                  "the floor",
                  bench::Compare(
                      1001, [&] { opened += Search("bench"); }, floor),
                  "<= 1.10"));
  Note(bench::Row("Wide detection, 1000 windows of 48-byte titles, no match", "HvqCheckPrjOpenedW",
                  "the floor",
                  bench::Compare(
                      1001, [&] { opened += checkW(L"bench"); }, floor),
                  "<= 1.05"));
  CHECK_EQ(opened, 0);
}

CASE("bench.windows", 900) {
  for (bool other : {false, true}) {
    Scenario(1000, 48, true, other, 21);
    Scenario(1000, 48, false, other, 21);
    Scenario(100, 64 * 1024, true, other, 11);
    Scenario(100, 64 * 1024, false, other, 11);
  }
}

// One window whose 1 MiB title is "a" repeated, searched for a name of m
// "a"s and a "b": the worst case for a search that compares from every
// candidate. Against the same search for a name that is not there at all.
CASE("bench.worst-title", 900) {
  HWND hwnd = MakeWindow(std::string(1 << 20, 'a'), false);
  for (size_t m : {1024u, 32768u}) {
    const std::string name = std::string(m, 'a') + "b";
    int opened = 0;
    const bench::Pair p = bench::Compare(
        11, [&] { opened += Search(name.c_str()); }, [&] { opened += Search("bench-none"); });
    CHECK_EQ(opened, 0);
    Note(bench::Row("CheckPrjOpened, one window with a 1 MiB title of a, name of " +
                        std::to_string(m) + " a + b",
                    "that name", "a short name", p, "report"));
  }
  DestroyWindow(hwnd);
}

}  // namespace
