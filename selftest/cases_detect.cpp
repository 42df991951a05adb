// Detection against real top-level windows: this program's own (visible
// and hidden), another process's, long titles, and multibyte titles where
// the ANSI code page has lead bytes.
#include "selftest.h"

namespace selftest {
namespace {

CASE("detect.title-rule") {
  const std::string name = Unique("deck");
  const std::string doc = name + ".hvq";
  CHECK_EQ(CheckPrjOpened(name.c_str()), 0);

  HWND atStart = MakeWindow(doc + " - Viewer", true);
  HWND twice = MakeWindow(doc + " | " + doc, true);
  CHECK_EQ(CheckPrjOpened(name.c_str()), 0);

  HWND hidden = MakeWindow("Viewer - C:\\work\\" + doc, false);
  CHECK_EQ(CheckPrjOpened(name.c_str()), 1);
  CHECK_EQ(CheckPrjOpened(doc.c_str()), 1);
  CHECK_EQ(CheckPrjOpened(nullptr), 1);  // the bare extension
  CHECK_EQ(CheckPrjOpened(Unique("other").c_str()), 0);
  std::string upper = name;
  upper[0] = 'D';
  CHECK_EQ(CheckPrjOpened(upper.c_str()), 0);
  DestroyWindow(hidden);
  CHECK_EQ(CheckPrjOpened(name.c_str()), 0);

  // "a<unique>.hvq" first stands inside the longer name, past the start.
  HWND inside = MakeWindow("da" + name + ".hvq", true);
  CHECK_EQ(CheckPrjOpened(("a" + name).c_str()), 1);
  DestroyWindow(inside);
  DestroyWindow(atStart);
  DestroyWindow(twice);
}

CASE("detect.other-process") {
  const std::string name = Unique("bridge");
  CHECK_EQ(CheckPrjOpened(name.c_str()), 0);
  ChildProcess child("Other - " + name + ".hvq");
  CHECK_EQ(CheckPrjOpened(name.c_str()), 1);
}

CASE("detect.long-titles") {
  // A 1 MiB title with the name at its end; a 32 KiB name.
  const std::string name = Unique("long");
  const std::string title = std::string((1 << 20) - name.size() - 4, 'x') + name + ".hvq";
  HWND hwnd = MakeWindow(title, false);
  CHECK_EQ(GetWindowTextLengthA(hwnd), 1 << 20);
  CHECK_EQ(CheckPrjOpened(name.c_str()), 1);
  DestroyWindow(hwnd);

  const std::string longName = std::string(32 * 1024, 'n') + name;
  hwnd = MakeWindow("V - " + longName + ".hvq", true);
  CHECK_EQ(CheckPrjOpened(longName.c_str()), 1);
  CHECK_EQ(CheckPrjOpened(longName.substr(1).c_str()), 1);
  DestroyWindow(hwnd);
}

// A lead byte of the code page before "a": under a code page with lead
// bytes the name then begins on a trail byte and is not found; elsewhere
// "\xB0" is a character of its own and the name is found.
CASE("detect.trail-byte") {
  CPINFO info = {};
  GetCPInfo(CP_ACP, &info);
  const char lead = info.LeadByte[0] ? char(info.LeadByte[0]) : '\xB0';
  const std::string name = "a" + Unique("t");
  HWND hwnd = MakeWindow(std::string("V ") + lead + name + ".hvq", true);
  CHECK_EQ(CheckPrjOpened(name.c_str()), info.LeadByte[0] ? 0 : 1);
  DestroyWindow(hwnd);
}

// Names and titles of double-byte characters: "\xB0\xA1" is one under
// code page 936 (啊); under another code page with lead bytes its own
// first lead byte makes one.
CASE("detect.multibyte-names") {
  if (!NeedLeadBytes()) return;
  CPINFO info = {};
  GetCPInfo(CP_ACP, &info);
  const char lead = GetACP() == 936 ? '\xB0' : char(info.LeadByte[0]);
  const std::string name = std::string(1, lead) + "\xA1" + Unique("g");
  const std::string view = GetACP() == 936 ? "\xB2\xE9\xBF\xB4" : std::string(1, lead) + "\xA2";
  CHECK_EQ(CheckPrjOpened(name.c_str()), 0);
  HWND atStart = MakeWindow(name + ".hvq " + view, true);
  CHECK_EQ(CheckPrjOpened(name.c_str()), 0);
  {
    ChildProcess child(view + " - " + name + ".hvq");
    CHECK_EQ(CheckPrjOpened(name.c_str()), 1);
  }
  CHECK_EQ(CheckPrjOpened(name.c_str()), 0);
  DestroyWindow(atStart);
}

}  // namespace
}  // namespace selftest
