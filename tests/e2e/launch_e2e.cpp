// StartVRAN3D end to end under Wine: real folders on drive d:, the template
// copy, the shell's file-type association (".hvq" registered to the sample
// viewer, which records each document it is asked to open), a real viewer
// window, the message box, and the string convention of the boundary.
// Runs with code page 936; the message box also under code page 1252
// ("cp1252" argument).
#include <cstring>
#include <sstream>
#include <vector>

#include "e2e.h"

using namespace e2e;

namespace {

const char kLog[] = "d:\\viewer.log";

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsEmptyFolder(const std::string& path) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
  int entries = 0;
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (strcmp(data.cFileName, ".") && strcmp(data.cFileName, "..")) ++entries;
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  return IsFolder(path) && entries == 0;
}

std::vector<std::string> ViewerLog() {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(kLog));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool WaitFor(DWORD ms, bool (*done)(void*), void* context) {
  const DWORD end = GetTickCount() + ms;
  while (!done(context)) {
    if (int(end - GetTickCount()) <= 0) return false;
    PumpMessages(50);
  }
  return true;
}

bool LogHasLines(void* n) { return ViewerLog().size() >= *static_cast<size_t*>(n); }

bool SameText(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

void FreshProject(const Hvq& hvq, const std::string& templateBytes) {
  Log("a fresh project is seeded from the template and its document opened");
  CreateDirectoryA("d:\\work", nullptr);
  CreateDirectoryA("d:\\work\\bridge", nullptr);
  WriteFile("d:\\work\\bridge\\deck.hvq", "the project's document");
  Start(hvq, "d:\\work\\bridge", "deck");
  CHECK(ReadFile("d:\\work\\bridge\\3d\\deck.hvq") == templateBytes);
  CHECK(IsEmptyFolder("d:\\work\\bridge\\3d\\images"));
  CHECK(IsEmptyFolder("d:\\work\\bridge\\3d\\treepics"));
  size_t lines = 1;
  CHECK(WaitFor(20000, LogHasLines, &lines));
  CHECK(ViewerLog().size() == 1 && SameText(ViewerLog()[0], "d:\\work\\bridge\\deck.hvq"));

  Log("a prepared project is left as it is: nothing restored or overwritten");
  RemoveDirectoryA("d:\\work\\bridge\\3d\\images");
  WriteFile("d:\\work\\bridge\\3d\\deck.hvq", "changed by the user");
  Start(hvq, "d:\\work\\bridge", "deck");
  CHECK(!IsFolder("d:\\work\\bridge\\3d\\images"));
  CHECK(ReadFile("d:\\work\\bridge\\3d\\deck.hvq") == "changed by the user");
  lines = 2;
  CHECK(WaitFor(20000, LogHasLines, &lines));
}

struct OpenName {
  std::string doc;
  HWND found;
};

BOOL CALLBACK FindViewer(HWND hwnd, LPARAM lParam) {
  OpenName* open = reinterpret_cast<OpenName*>(lParam);
  char title[512] = "";
  GetWindowTextA(hwnd, title, sizeof title);
  if (strstr(title, "HVQ Viewer - ") == title && strstr(title, open->doc.c_str())) {
    open->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

bool ViewerShown(void* open) {
  static_cast<OpenName*>(open)->found = nullptr;
  EnumWindows(FindViewer, reinterpret_cast<LPARAM>(open));
  return static_cast<OpenName*>(open)->found != nullptr;
}

void AlreadyOpen(const Hvq& hvq) {
  Log("a project open in a real viewer window is not opened again");
  const std::string name = Unique("open");
  CreateDirectoryA("d:\\work\\open", nullptr);
  WriteFile("d:\\work\\open\\" + name + ".hvq", "document");
  SetEnvironmentVariableA("HVQ_VIEWER_SECONDS", "60");
  const size_t before = ViewerLog().size();
  Start(hvq, "d:\\work\\open", name);
  OpenName open = {name + ".hvq", nullptr};
  CHECK(WaitFor(20000, ViewerShown, &open));
  CHECK(hvq.CheckPrjOpened(name.c_str()) == 1);

  RemoveDirectoryA("d:\\work\\open\\3d\\treepics");
  Start(hvq, "d:\\work\\open", name);
  PumpMessages(2000);
  CHECK(ViewerLog().size() == before + 1);
  CHECK(!IsFolder("d:\\work\\open\\3d\\treepics"));  // prepared before: left alone

  DWORD pid = 0;
  GetWindowThreadProcessId(open.found, &pid);
  HANDLE viewer = OpenProcess(SYNCHRONIZE, FALSE, pid);
  PostMessageA(open.found, WM_CLOSE, 0, 0);
  CHECK(viewer && WaitForSingleObject(viewer, 10000) == WAIT_OBJECT_0);
  if (viewer) CloseHandle(viewer);
  SetEnvironmentVariableA("HVQ_VIEWER_SECONDS", "0");
}

// Watches for this process's message boxes from a second thread while the
// launch runs on the first, reads each, and presses its OK button.
struct BoxWatch {
  HWND active = nullptr;
  std::atomic<bool> launchReturned{false};
  std::atomic<int> boxes{0};
  std::atomic<bool> pressedBeforeReturn{false};
  std::wstring text, caption;
  HWND owner = nullptr;
  bool ownerDisabled = false;
};

DWORD WINAPI WatchBoxes(void* context) {
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

void LaunchShowingOneMessage(const Hvq& hvq, const std::string& folder, const std::string& name) {
  BoxWatch watch;
  HWND host = MakeWindow("Host window", true);
  SetForegroundWindow(host);
  SetActiveWindow(host);
  PumpMessages(200);
  watch.active = GetActiveWindow();
  HANDLE thread = CreateThread(nullptr, 0, WatchBoxes, &watch, 0, nullptr);
  Start(hvq, folder, name);
  watch.launchReturned = true;
  CHECK(WaitForSingleObject(thread, 40000) == WAIT_OBJECT_0);
  CloseHandle(thread);
  CHECK(watch.boxes == 1);
  CHECK(watch.pressedBeforeReturn);
  CHECK(watch.text == L"\u6253\u5f00\u5931\u8d25!");  // 打开失败!
  CHECK(watch.caption == L"launch_e2e");
  CHECK(watch.active == host);
  CHECK(watch.owner == host);
  CHECK(watch.ownerDisabled);
  CHECK(IsWindowEnabled(host));
  DestroyWindow(host);
}

void ShellFailures(const Hvq& hvq) {
  Log("a missing document: one message box, pressed, then the call returns");
  CreateDirectoryA("d:\\work\\ghost", nullptr);
  const size_t before = ViewerLog().size();
  LaunchShowingOneMessage(hvq, "d:\\work\\ghost", "ghost");
  CHECK(IsFolder("d:\\work\\ghost\\3d\\images"));

  Log("no program registered for the type: the same message");
  RegisterViewer(false);
  LaunchShowingOneMessage(hvq, "d:\\work\\bridge", "deck");
  RegisterViewer(true);
  CHECK(ViewerLog().size() == before);

  Log("a missing working folder: nothing created, the message shown");
  LaunchShowingOneMessage(hvq, "d:\\work\\missing", "deck");
  CHECK(GetFileAttributesA("d:\\work\\missing") == INVALID_FILE_ATTRIBUTES);
}

void StringConvention(const Hvq& hvq) {
  Log("the boundary releases each string argument exactly once");
  const std::string name = Unique("counted");
  HWND shown = MakeWindow("Viewer - " + name + ".hvq", false);  // keeps the shell out
  CreateDirectoryA("d:\\work\\counted", nullptr);
  HostString folder("d:\\work\\counted", 2), fixed(name, -1);
  hvq.StartVRAN3D(folder.Arg(), fixed.Arg());
  CHECK(folder.Refs() == 1);
  CHECK(fixed.Refs() == -1);
  CHECK(IsFolder("d:\\work\\counted\\3d"));

  // The same string as folder and name: the name searched is the folder's.
  HWND shownToo = MakeWindow("Viewer - d:\\work\\counted.hvq", false);
  HostString both("d:\\work\\counted", 3);
  hvq.StartVRAN3D(both.Arg(), both.Arg());
  CHECK(both.Refs() == 1);
  DestroyWindow(shown);
  DestroyWindow(shownToo);
}

}  // namespace

int main(int argc, char** argv) {
  const bool cp1252 = argc > 1 && strcmp(argv[1], "cp1252") == 0;
  CHECK(GetACP() == (cp1252 ? 1252u : 936u));
  Hvq hvq = LoadHvq();
  if (!hvq.module) return Summary();
  if (cp1252) {
    Log("under code page 1252 the message still reads as written");
    LaunchShowingOneMessage(hvq, "d:\\work\\missing", "deck");
    FreeLibrary(hvq.module);
    return Summary();
  }
  SetEnvironmentVariableA("HVQ_VIEWER_LOG", kLog);
  SetEnvironmentVariableA("HVQ_VIEWER_SECONDS", "0");
  RegisterViewer(true);

  std::string templateBytes;
  for (int i = 0; i < 100 * 1024; ++i) templateBytes += char((i * 7919) >> 3);
  CreateDirectoryA("d:\\tolvern4", nullptr);
  CreateDirectoryA("d:\\tolvern4\\3d", nullptr);
  WriteFile("d:\\tolvern4\\3d\\2006.hvq", templateBytes);

  FreshProject(hvq, templateBytes);
  AlreadyOpen(hvq);
  ShellFailures(hvq);
  StringConvention(hvq);
  CHECK(ReadFile("d:\\tolvern4\\3d\\2006.hvq") == templateBytes);

  RegisterViewer(false);
  FreeLibrary(hvq.module);
  return Summary();
}
