// The launch through the narrow entry (on x86 the original StartVRAN3D
// with the host's CString): real folders, the template's copy, the shell's
// association to this program as the viewer, a real viewer window, the
// failure box, found and closed here, the string convention of the
// boundary, and hostile names and folders.
#include "selftest.h"

namespace selftest {
namespace {

// A path the viewer recorded (UTF-8) and one of the ANSI code page name
// one document, both in their long forms.
bool SameDocument(const std::string& logged, const std::string& path) {
  return SamePath(Wide(logged, CP_UTF8), Wide(path));
}

CASE("launch.fresh-project") {
  if (!NeedAnsiRoot() || !NeedAssociation()) return;
  for (const wchar_t* f : {L"work", L"work\\bridge"}) CreateDirectoryW(At(f).c_str(), nullptr);
  WriteAll(At(L"work\\bridge\\deck.hvq"), "the project's document");
  SetEnvironmentVariableW(L"HVQ_VIEWER_SECONDS", L"0");
  const size_t before = ViewerLog().size();
  Start(AtA("work\\bridge"), "deck");
  CHECK(Copied(At(L"work\\bridge\\3d\\deck.hvq")));
  CHECK(IsEmptyFolder(At(L"work\\bridge\\3d\\images")));
  CHECK(IsEmptyFolder(At(L"work\\bridge\\3d\\treepics")));
  std::vector<std::string> log = ViewerLog(before + 1);
  CHECK_EQ(log.size(), before + 1);
  CHECK(log.size() == before + 1 && SameDocument(log.back(), AtA("work\\bridge\\deck.hvq")));

  // A prepared project is left as it is: nothing restored or overwritten.
  RemoveDirectoryW(At(L"work\\bridge\\3d\\images").c_str());
  WriteAll(At(L"work\\bridge\\3d\\deck.hvq"), "changed by the user");
  Start(AtA("work\\bridge"), "deck");
  CHECK(!IsFolder(At(L"work\\bridge\\3d\\images")));
  CHECK(ReadAll(At(L"work\\bridge\\3d\\deck.hvq")) == "changed by the user");
  CHECK_EQ(ViewerLog(before + 2).size(), before + 2);
}

struct OpenName {
  std::string doc;
  HWND found;
  static BOOL CALLBACK Find(HWND hwnd, LPARAM lParam) {
    OpenName* open = reinterpret_cast<OpenName*>(lParam);
    char title[1024] = "";
    GetWindowTextA(hwnd, title, sizeof title);
    const std::string t = title;
    if (t.compare(0, 13, "HVQ Viewer - ") == 0 && t.find(open->doc) != std::string::npos) {
      open->found = hwnd;
      return FALSE;
    }
    return TRUE;
  }
  bool Shown() {
    found = nullptr;
    EnumWindows(Find, reinterpret_cast<LPARAM>(this));
    return found != nullptr;
  }
};

CASE("launch.already-open") {
  // A project open in a real viewer window is not opened again.
  if (!NeedAnsiRoot() || !NeedAssociation()) return;
  const std::string name = Unique("open");
  CreateDirectoryW(At(L"open").c_str(), nullptr);
  WriteAll(At(L"open\\" + Wide(name) + L".hvq"), "document");
  SetEnvironmentVariableW(L"HVQ_VIEWER_SECONDS", L"60");
  const size_t before = ViewerLog().size();
  Start(AtA("open"), name);
  OpenName open = {name + ".hvq", nullptr};
  CHECK(WaitFor(20000, [&] { return open.Shown(); }));
  CHECK_EQ(CheckPrjOpened(name.c_str()), 1);

  // The shell would have started a viewer before the launch returned.
  RemoveDirectoryW(At(L"open\\3d\\treepics").c_str());
  const int viewers = Viewers();
  Start(AtA("open"), name);
  CHECK_EQ(Viewers(), viewers);
  CHECK_EQ(ViewerLog().size(), before + 1);
  CHECK(!IsFolder(At(L"open\\3d\\treepics")));  // prepared before: left alone

  DWORD pid = 0;
  GetWindowThreadProcessId(open.found, &pid);
  HANDLE viewer = OpenProcess(SYNCHRONIZE, FALSE, pid);
  PostMessageA(open.found, WM_CLOSE, 0, 0);
  CHECK(viewer && WaitForSingleObject(viewer, 10000) == WAIT_OBJECT_0);
  if (viewer) CloseHandle(viewer);
  SetEnvironmentVariableW(L"HVQ_VIEWER_SECONDS", L"0");
}

// Watches for this process's message boxes from a second thread while the
// launch runs on the first, reads each, and presses its OK button.
struct BoxWatch {
  std::atomic<bool> launchReturned{false};
  std::atomic<int> boxes{0};
  std::atomic<bool> pressedBeforeReturn{false};
  std::wstring text, caption;
  HWND owner = nullptr;
  bool ownerDisabled = false;

  static DWORD WINAPI Run(void* context) {
    BoxWatch* watch = static_cast<BoxWatch*>(context);
    const DWORD end = GetTickCount() + 30000;
    DWORD quietUntil = 0;
    while (int(end - GetTickCount()) > 0) {
      if (watch->launchReturned && !quietUntil) quietUntil = GetTickCount() + 1000;
      if (quietUntil && int(quietUntil - GetTickCount()) <= 0) break;
      if (HWND box = FindMessageBox()) {
        wchar_t text[256] = L"", caption[256] = L"";
        GetWindowTextW(GetDlgItem(box, 0xFFFF), text, 256);
        GetWindowTextW(box, caption, 256);
        if (++watch->boxes == 1) {
          watch->text = text;
          watch->caption = caption;
          watch->owner = GetWindow(box, GW_OWNER);
          watch->ownerDisabled = watch->owner && !IsWindowEnabled(watch->owner);
        }
        watch->pressedBeforeReturn = !watch->launchReturned;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        while (IsWindow(box) && int(end - GetTickCount()) > 0) Sleep(20);
      }
      Sleep(20);
    }
    return 0;
  }
};

// One launch that ends in the failure box: exactly one, its text as
// written, owned by the host's active window, pressed before the call
// returned.
void LaunchShowingOneMessage(const std::string& folder, const std::string& name) {
  BoxWatch watch;
  HWND host = MakeWindow("Host window", true);
  SetForegroundWindow(host);
  SetActiveWindow(host);
  PumpMessages(200);
  const HWND active = GetActiveWindow();
  HANDLE thread = CreateThread(nullptr, 0, BoxWatch::Run, &watch, 0, nullptr);
  Start(folder, name);
  watch.launchReturned = true;
  CHECK(WaitForSingleObject(thread, 40000) == WAIT_OBJECT_0);
  CloseHandle(thread);
  CHECK_EQ(watch.boxes.load(), 1);
  CHECK(watch.pressedBeforeReturn);
  CHECK_EQ(watch.text, std::wstring(L"\u6253\u5f00\u5931\u8d25!"));  // 打开失败!
  CHECK_EQ(watch.caption, std::wstring(L"hvqlaunch-selftest"));
  if (HaveForeground()) {  // the box's owner is the host's active window
    CHECK(active == host);
    CHECK(watch.owner == host);
    CHECK(watch.ownerDisabled);
  }
  CHECK(IsWindowEnabled(host));
  DestroyWindow(host);
}

CASE("launch.failure-box") {
  if (!NeedAnsiRoot() || !NeedAssociation()) return;
  // A missing document: one message box, pressed, then the call returns.
  CreateDirectoryW(At(L"ghost").c_str(), nullptr);
  const size_t before = ViewerLog().size();
  LaunchShowingOneMessage(AtA("ghost"), "ghost");
  CHECK(IsFolder(At(L"ghost\\3d\\images")));

  // No program registered for the type: the same message.
  CreateDirectoryW(At(L"unregistered").c_str(), nullptr);
  WriteAll(At(L"unregistered\\deck.hvq"), "document");
  Associate(false);
  LaunchShowingOneMessage(AtA("unregistered"), "deck");
  Associate(true);
  CHECK_EQ(ViewerLog().size(), before);

  // A missing working folder: nothing created, the message shown.
  LaunchShowingOneMessage(AtA("missing"), "deck");
  CHECK(GetFileAttributesW(At(L"missing").c_str()) == INVALID_FILE_ATTRIBUTES);
}

#ifndef _WIN64
CASE("launch.string-convention") {
  // The original boundary releases each string argument exactly once.
  if (!NeedAnsiRoot()) return;
  const std::string name = Unique("counted");
  const std::string folder = AtA("counted");
  HWND shown = MakeWindow("Viewer - " + name + ".hvq", false);  // keeps the shell out
  CreateDirectoryW(At(L"counted").c_str(), nullptr);
  auto start = Export<HvqStartVRAN3DProc>(HVQ_STARTVRAN3D_NAME, HVQ_STARTVRAN3D_ORDINAL);
  HostString counted(folder, 2), fixed(name, -1);
  start(counted.Arg(), fixed.Arg());
  CHECK_EQ(counted.Refs(), 1L);
  CHECK_EQ(fixed.Refs(), -1L);
  CHECK(IsFolder(At(L"counted\\3d")));

  // The same string as folder and name: the name searched is the folder's.
  HWND shownToo = MakeWindow("Viewer - " + folder + ".hvq", false);
  HostString both(folder, 3);
  start(both.Arg(), both.Arg());
  CHECK_EQ(both.Refs(), 1L);
  DestroyWindow(shown);
  DestroyWindow(shownToo);
}
#endif

// Hostile input: names and folders of 32 KiB, multibyte names, a name
// whose last byte is a lead byte, names holding separators and "..", an
// empty working folder. No call crashes, writes land only on the paths the
// call names (the "3d" folder, the copy, "images" and "treepics", as
// Windows resolves them), names that are not plain file names and an empty
// folder write nothing, and no file that existed is ever changed.
std::wstring Full(const std::string& path) {
  const std::wstring wide = Wide(path);
  std::vector<wchar_t> full(wide.size() + MAX_PATH);
  GetFullPathNameW(wide.c_str(), DWORD(full.size()), full.data(), nullptr);
  std::wstring key = full.data();
  CharLowerW(&key[0]);
  while (key.size() > 3 && key.back() == L'\\') key.pop_back();
  return key;
}

struct Outcome {
  int changed = 0;  // entries that existed and are no longer the same
  int stray = 0;    // entries that appeared outside the named paths
  int created = 0;  // entries that appeared on the named paths
};

// One launch; the project is never open, so every call reaches the shell,
// which fails: no program is registered for the type. What changed is
// seen in the hostile cases' own folder, which every name they give
// climbs into at most.
Outcome Launch(const std::string& folder, const std::string& name) {
  const Tree before = Snapshot(At(L"h"));
  Start(folder, name);
  const Tree after = Snapshot(At(L"h"));
  const std::string dir = folder + "\\3d";
  const std::wstring named[] = {Full(dir), Full(dir + "\\" + name + ".hvq"), Full(dir + "\\images"),
                                Full(dir + "\\treepics")};
  Outcome r;
  size_t j = 0;
  for (const auto& entry : after) {  // both sorted by path
    while (j < before.size() && before[j].first < entry.first) ++j, ++r.changed;  // gone
    if (j < before.size() && before[j].first == entry.first) {
      if (before[j++].second != entry.second && entry.second != L"<dir>") ++r.changed;
      continue;
    }
    bool ok = false;
    for (const std::wstring& n : named) ok = ok || n == entry.first;
    if (ok) {
      ++r.created;
    } else {
      ++r.stray;
      Note("stray entry: " + Utf8(entry.first));
    }
  }
  r.changed += int(before.size() - j);
  return r;
}

CASE("launch.hostile", 300) {
  if (!NeedAnsiRoot()) return;
  const bool copies = HaveTemplate();
  CPINFO info = {};
  GetCPInfo(CP_ACP, &info);
  const bool dbcs = info.LeadByte[0] != 0;
  Associate(false);
  const std::string h = AtA("h\\d\\h");  // three levels below the folder snapshots look at
  for (const char* f : {"h", "h\\d", "h\\d\\h"}) CreateDirectoryA(AtA(f).c_str(), nullptr);
  WriteAll(Wide(h + "\\victim.hvq"), "the user's own document");
  WriteAll(At(L"h\\d\\victim.hvq"), "another document of the user's");
  for (int i = 1; i <= 10; ++i) CreateDirectoryA((h + "\\w" + std::to_string(i)).c_str(), nullptr);
  CreateDirectoryA((h + "\\w7\\sub").c_str(), nullptr);
  WriteAll(Wide(h + "\\w7\\sub\\deck.hvq"), "existing document in sub");

  wchar_t current[MAX_PATH * 2] = L"";
  GetCurrentDirectoryW(MAX_PATH * 2, current);
  SetCurrentDirectoryA((h + "\\w10").c_str());  // where an empty folder's paths would land
  BoxDismisser dismisser;
  struct Hostile {
    const char* what;
    std::string folder, name;
    int created;  // entries expected on the named paths
  };
  const Hostile cases[] = {
      {"a 32 KiB name", h + "\\w1", std::string(32 * 1024, 'n'), 0},  // no copy: nothing
      {"a 32 KiB folder", h + "\\" + std::string(32 * 1024, 'f'), "deck", 0},
      {"a multibyte name", h + "\\w2", "\xB0\xA1\xB2\xE9\xBF\xB4", 4},
      // Under a code page with lead bytes, the last one swallows the dot:
      // the copy's name is not a valid one.
      {"a lead byte as the name's last byte", h + "\\w3",
       "deck" + std::string(1, dbcs ? char(info.LeadByte[0]) : '\xB0'), dbcs ? 3 : 4},
      // Names that are not plain file names, and an empty folder: nothing.
      {"a name that climbs onto an existing file", h + "\\w4", "..\\..\\victim", 0},
      {"a name that climbs to the folder above", h + "\\w5", "..\\..\\..\\victim", 0},
      {"a name that climbs with forward slashes", h + "\\w5", "../../victim", 0},
      {"a name with a missing sub-folder", h + "\\w6", "missing\\deck", 0},
      {"a name onto an existing file in a sub-folder", h + "\\w7", "..\\sub\\deck", 0},
      {"a name that names a program", h + "\\w8", "..\\..\\..\\windows\\notepad.exe", 0},
      {"a name that is a full path", h + "\\w8", h + "\\abs", 0},
      {"an empty working folder", "", "deck", 0},
      {"a folder that climbs", h + "\\w9\\..\\w9", "deck", 4},
      {"separators only", h + "\\w9\\\\\\", "\\\\", 0},
  };
  int boxes = 0;
  for (const Hostile& c : cases) {
    const Outcome r = Launch(c.folder, c.name);
    const int created = copies || c.created < 4 ? c.created : 3;  // no template, no copy
    ++boxes;
    if (!CHECK(r.changed == 0 && r.stray == 0 && r.created == created))
      Note(std::string(c.what) + ": " + std::to_string(r.changed) + " changed, " +
           std::to_string(r.stray) + " stray, " + std::to_string(r.created) + " created (" +
           std::to_string(created) + " expected)");
  }
  SetCurrentDirectoryW(current);
  PumpMessages(300);
  CHECK_EQ(dismisser.Count(), boxes);  // every open failed: nothing was run
  CHECK(ReadAll(Wide(h + "\\victim.hvq")) == "the user's own document");
  CHECK(ReadAll(At(L"h\\d\\victim.hvq")) == "another document of the user's");
  Associate(true);
}

}  // namespace
}  // namespace selftest
