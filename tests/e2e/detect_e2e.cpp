// CheckPrjOpened against real top-level windows under Wine: this program's
// own (visible and hidden), another process's, long titles, and GBK titles
// when the process runs with code page 936 ("gbk" argument).
#include <cstring>

#include "e2e.h"

using namespace e2e;

namespace {

// The child's part: one hidden top-level window with the given title.
void RunChild(const char* title) {
  MakeWindow(title, false);
  ChildReady();
}

void TitleRule(const Hvq& hvq) {
  Log("title rule on this process's windows");
  const std::string name = Unique("deck");
  const std::string doc = name + ".hvq";
  CHECK(hvq.CheckPrjOpened(name.c_str()) == 0);

  HWND atStart = MakeWindow(doc + " - Viewer", true);
  HWND twice = MakeWindow(doc + " | " + doc, true);
  CHECK(hvq.CheckPrjOpened(name.c_str()) == 0);

  HWND hidden = MakeWindow("Viewer - C:\\work\\" + doc, false);
  CHECK(hvq.CheckPrjOpened(name.c_str()) == 1);
  CHECK(hvq.CheckPrjOpened(doc.c_str()) == 1);
  CHECK(hvq.CheckPrjOpened(nullptr) == 1);  // the bare extension
  CHECK(hvq.CheckPrjOpened(Unique("other").c_str()) == 0);
  std::string upper = name;
  upper[0] = 'D';
  CHECK(hvq.CheckPrjOpened(upper.c_str()) == 0);
  DestroyWindow(hidden);
  CHECK(hvq.CheckPrjOpened(name.c_str()) == 0);

  // "a<unique>.hvq" first stands inside the longer name, past the start.
  HWND inside = MakeWindow("d" + std::string("a") + name + ".hvq", true);
  CHECK(hvq.CheckPrjOpened(("a" + name).c_str()) == 1);
  DestroyWindow(inside);
  DestroyWindow(atStart);
  DestroyWindow(twice);
}

void OtherProcess(const Hvq& hvq) {
  Log("another process's hidden window");
  const std::string name = Unique("bridge");
  CHECK(hvq.CheckPrjOpened(name.c_str()) == 0);
  ChildProcess child("\"Other - " + name + ".hvq\"");
  CHECK(hvq.CheckPrjOpened(name.c_str()) == 1);
}

void LongTitlesAndNames(const Hvq& hvq) {
  Log("a 1 MiB title with the name at its end; a 32 KiB name");
  const std::string name = Unique("long");
  const std::string title = std::string((1 << 20) - name.size() - 4, 'x') + name + ".hvq";
  HWND hwnd = MakeWindow(title, false);
  CHECK(GetWindowTextLengthA(hwnd) == 1 << 20);
  CHECK(hvq.CheckPrjOpened(name.c_str()) == 1);
  DestroyWindow(hwnd);

  const std::string longName = std::string(32 * 1024, 'n') + name;
  hwnd = MakeWindow("V - " + longName + ".hvq", true);
  CHECK(hvq.CheckPrjOpened(longName.c_str()) == 1);
  CHECK(hvq.CheckPrjOpened(longName.substr(1).c_str()) == 1);
  DestroyWindow(hwnd);
}

// "\xB0" "a" is one double-byte character under code page 936: a name that
// begins with "a" and stands right after "\xB0" begins on its trail byte.
void TrailByte(const Hvq& hvq, bool gbk) {
  Log(gbk ? "trail byte under code page 936" : "the same bytes under code page 1252");
  const std::string name = "a" + Unique("t");
  HWND hwnd = MakeWindow("V \xB0" + name + ".hvq", true);
  CHECK(hvq.CheckPrjOpened(name.c_str()) == (gbk ? 0 : 1));
  DestroyWindow(hwnd);
}

void GbkNames(const Hvq& hvq) {
  Log("GBK titles and names");
  const std::string name = "\xB0\xA1" + Unique("g");  // 啊...
  const std::string view = "\xB2\xE9\xBF\xB4";        // 查看
  CHECK(hvq.CheckPrjOpened(name.c_str()) == 0);
  HWND atStart = MakeWindow(name + ".hvq " + view, true);
  CHECK(hvq.CheckPrjOpened(name.c_str()) == 0);
  {
    ChildProcess child("\"" + view + " - " + name + ".hvq\"");
    CHECK(hvq.CheckPrjOpened(name.c_str()) == 1);
  }
  CHECK(hvq.CheckPrjOpened(name.c_str()) == 0);
  DestroyWindow(atStart);
}

}  // namespace

int main(int argc, char** argv) {
  if (IsChild(argc, argv)) {
    RunChild(argv[3]);
    return 0;
  }
  const bool gbk = argc > 1 && strcmp(argv[1], "gbk") == 0;
  CHECK(GetACP() == (gbk ? 936u : 1252u));
  Hvq hvq = LoadHvq();
  if (!hvq.module) return Summary();
  if (gbk) {
    TrailByte(hvq, true);
    GbkNames(hvq);
  } else {
    TitleRule(hvq);
    OtherProcess(hvq);
    LongTitlesAndNames(hvq);
    TrailByte(hvq, false);
  }
  CHECK(FreeLibrary(hvq.module) != FALSE);
  return Summary();
}
