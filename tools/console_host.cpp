// hvqlaunch.exe, the console host: loads hvqlaunch.dll from beside this
// program and calls its wide C entry points, for scripts and people. Its
// arguments are read as Unicode and what it prints reads right whatever
// the code page: Unicode to a console, UTF-8 when redirected.
//
//   hvqlaunch start [--no-message] FOLDER NAME
//                                  prepare and open the project, or bring it
//                                  forward when it is open; print what
//                                  happened: opened, already open, opening,
//                                  out of memory, open cancelled, or open
//                                  failed: REASON
//   hvqlaunch check NAME           print 1 (exit 0) when the project is open,
//                                  0 (exit 1) when it is not
//   hvqlaunch doctor FOLDER NAME   say what start would do and why, changing
//                                  nothing; exit 0 when start would find the
//                                  project open or open its document, 1 when
//                                  it would show the failure message
//   hvqlaunch --version            this program's version and the DLL's
//   hvqlaunch --help | -h | /?     the usage, on standard output
// A usage error names what was wrong and exits with 2; a DLL that cannot be
// loaded or lacks the entry points, with 3.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <memory>
#include <string>
#include <vector>

#include "hvqlaunch.h"

namespace {

typedef std::wstring String;

const wchar_t kUsage[] =
    L"usage: hvqlaunch start [--no-message] FOLDER NAME\n"
    L"       hvqlaunch check NAME\n"
    L"       hvqlaunch doctor FOLDER NAME\n"
    L"       hvqlaunch --version | --help\n"
    L"  start   seeds FOLDER\\3d from the template once, then opens FOLDER\\NAME.hvq\n"
    L"          through the shell unless a window already shows NAME.hvq (then it\n"
    L"          brings that window forward) or a launch of it is still starting,\n"
    L"          from any program of this desktop (a second quick start prints\n"
    L"          opening and exits 0); prints one line: opened, already open,\n"
    L"          opening, out of memory, open cancelled (the user declined the\n"
    L"          program's consent prompt) or open failed: REASON. On failure it\n"
    L"          shows the message box first, unless --no-message\n"
    L"  check   prints 1 and exits 0 when a window shows NAME.hvq, else prints 0, exits 1\n"
    L"  doctor  says what start would do and why, and changes nothing; exits 0 when\n"
    L"          start would find the project open or open it, 1 when it would fail\n"
    L"The template must be at d:\\tolvern4\\3d\\2006.hvq (map d: or copy it there);\n"
    L"a project's 3d folder is seeded from it once and never again. The document\n"
    L"FOLDER\\NAME.hvq is the host's own: it must exist, and a program must be\n"
    L"registered for .hvq, or start shows the failure message.\n"
    L"exit codes: 0 done (start: opened, already open or opening; check: open),\n"
    L"            1 start: open failed, cancelled or out of memory; check: not open;\n"
    L"              doctor: start would fail,\n"
    L"            2 usage error, 3 hvqlaunch.dll cannot be loaded or lacks the entry\n"
    L"              points (--version: 0)\n";

const wchar_t kTemplate[] = L"d:\\tolvern4\\3d\\2006.hvq";

// Unicode to a console; UTF-8 to a file or a pipe.
void Write(DWORD stream, const String& text) {
  HANDLE handle = GetStdHandle(stream);
  DWORD mode = 0, done = 0;
  if (GetConsoleMode(handle, &mode)) {
    WriteConsoleW(handle, text.data(), DWORD(text.size()), &done, nullptr);
    return;
  }
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, 0, 0);
  std::string bytes(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &bytes[0], n, nullptr, nullptr);
  WriteFile(handle, bytes.data(), DWORD(bytes.size()), &done, nullptr);
}

void Say(const String& text) { Write(STD_OUTPUT_HANDLE, text + L"\n"); }
void Warn(const String& text) { Write(STD_ERROR_HANDLE, L"hvqlaunch: " + text + L"\n"); }

String DllPath() {
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  String dll(path);
  return dll.substr(0, dll.find_last_of(L'\\') + 1) + L"hvqlaunch.dll";
}

// The FileVersion string of a file's version resource, or "".
String FileVersion(const String& path) {
  DWORD ignored = 0;
  std::vector<char> info(GetFileVersionInfoSizeW(path.c_str(), &ignored));
  if (info.empty() || !GetFileVersionInfoW(path.c_str(), 0, DWORD(info.size()), info.data()))
    return L"";
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\FileVersion",
                      reinterpret_cast<void**>(&value), &length))
    return L"";
  return String(value, length && !value[length - 1] ? length - 1 : length);
}

bool Exists(const String& path, bool* folder = nullptr, ULONGLONG* size = nullptr) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (folder) *folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (size) *size = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

// The DLL's own rules, for the report: the searched name, the document it
// opens, the template's copy it makes, and whether the preparation accepts
// the name.
String WithExtension(const String& name) {
  return name.find(L".hvq") == String::npos ? name + L".hvq" : name;
}

String Document(const String& folder, const String& name) {
  const bool ends = name.size() >= 4 && name.compare(name.size() - 4, 4, L".hvq") == 0;
  return folder + L"\\" + name + (ends ? L"" : L".hvq");
}

String TemplateCopy(const String& folder, const String& name) {
  return folder + L"\\3d\\" + name + L".hvq";
}

bool IsPlainFileName(const String& name) { return name.find_first_of(L"\\/:") == String::npos; }

struct Shown {
  String needle;
  int count = 0;
  std::vector<WCHAR> title = std::vector<WCHAR>(1 << 16);  // one title at a time
};

BOOL CALLBACK ReportWindow(HWND hwnd, LPARAM lParam) {
  Shown* shown = reinterpret_cast<Shown*>(lParam);
  const int n = InternalGetWindowText(hwnd, shown->title.data(), int(shown->title.size()));
  const String title(shown->title.data(), size_t(n > 0 ? n : 0));
  const size_t at = title.find(shown->needle);
  if (at == String::npos) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t program[MAX_PATH] = L"?";
  if (HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)) {
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameW(process, 0, program, &size)) lstrcpyW(program, L"?");
    CloseHandle(process);
  }
  Say(L"  window \"" + title + L"\"\n    process " + std::to_wstring(pid) + L", " + program +
      (at == 0 ? L"; the name stands at the title's start, so it does not count" : L""));
  ++shown->count;
  return TRUE;
}

int Doctor(HvqCheckPrjOpenedWProc CheckPrjOpened, const String& folder, const String& name) {
  ULONGLONG size = 0;
  bool isFolder = false;
  const bool haveTemplate = Exists(kTemplate, &isFolder, &size) && !isFolder;
  Say(String(L"template ") + kTemplate + L": " +
      (haveTemplate ? L"present, " + std::to_wstring(size) + L" bytes" : String(L"missing")));

  const String dir = folder + L"\\3d", copy = TemplateCopy(folder, name);
  if (folder.empty() || !IsPlainFileName(name)) {
    Say(String(L"preparation: none (") +
        (folder.empty() ? L"the working folder is empty" : L"the name is not a plain file name") +
        L")");
  } else if (Exists(dir)) {
    Say(dir + L" exists: the project is prepared and nothing in it is created again");
    int missing = 0;
    if (!Exists(copy)) {
      Say(L"  missing: " + copy + L", the template's copy (never made again): copy " + kTemplate +
          L" to " + copy + L" by hand");
      ++missing;
    }
    for (const String& part : {String(L"images"), String(L"treepics")})
      if (!Exists(dir + L"\\" + part)) {
        Say(L"  missing: " + dir + L"\\" + part + L" (never made again): create that folder");
        ++missing;
      }
    if (!missing) Say(L"  it holds " + name + L".hvq, images and treepics");
  } else if (!Exists(folder)) {
    Say(folder + L" does not exist: nothing would be prepared");
  } else if (haveTemplate) {
    Say(dir + L" would be created with " + copy +
        L" (a copy of the template), images and treepics");
  } else {
    Say(dir + L" would be created with images and treepics but without " + copy +
        L", since the template is missing, and would never get it: put the template at " +
        kTemplate + L" first, or copy it to " + copy + L" by hand afterwards");
  }

  const String needle = WithExtension(name);
  const int opened = CheckPrjOpened(name.c_str());
  Say(String(L"open: ") + (opened ? L"yes" : L"no") + L" (windows whose title contains " + needle +
      L":)");
  Shown shown{needle};
  EnumWindows(ReportWindow, reinterpret_cast<LPARAM>(&shown));
  if (!shown.count) Say(L"  none");
  if (opened) {
    Say(L"start would open nothing: the project is shown open");
    return 0;
  }

  const String document = Document(folder, name);
  Say(L"document " + document + L": " + (Exists(document) ? L"present" : L"missing"));
  wchar_t program[MAX_PATH * 2] = L"";
  DWORD length = MAX_PATH * 2;
  const bool registered = SUCCEEDED(
      AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_EXECUTABLE, L".hvq", L"open", program, &length));
  Say(String(L"program for .hvq: ") + (registered ? program : L"none registered"));
  if (registered && Exists(document)) {
    Say(L"start would ask the shell to open " + document);
    return 0;
  }
  Say(L"start would ask the shell to open " + document +
      L", which would fail and show the message");
  return 1;
}

// The system's text for an error, whole: %1 is the document, other
// inserts are left out, and the number follows.
String Reason(DWORD error, const String& document) {
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  const String raw = text ? text : L"";
  LocalFree(text);
  String reason;
  for (size_t i = 0; i < raw.size(); ++i) {
    const wchar_t c = raw[i], next = i + 1 < raw.size() ? raw[i + 1] : L'\0';
    if (c == L'\r' || c == L'\n') {
      reason += L' ';
    } else if (c != L'%') {
      reason += c;
    } else if (next >= L'1' && next <= L'9') {
      if (next == L'1' && !(i + 2 < raw.size() && iswdigit(raw[i + 2]))) reason += document;
      for (++i; i + 1 < raw.size() && iswdigit(raw[i + 1]);) ++i;
      if (i + 1 < raw.size() && raw[i + 1] == L'!') i = raw.find(L'!', i + 2);  // %1!s!
      if (i == String::npos) break;
    } else if (next == L'0') {
      break;
    } else {
      if (next == L'%' || next == L'.' || next == L'!') reason += next;
      if (next == L'n' || next == L'r' || next == L't' || next == L'b') reason += L' ';
      ++i;
    }
  }
  while (!reason.empty() && reason.back() == L' ') reason.pop_back();
  const String number = L"error " + std::to_wstring(error);
  return reason.empty() ? number : reason + L" (" + number + L")";
}

// What is wrong with the arguments, or "" when nothing is.
String UsageError(int argc, wchar_t** argv, bool noMessage) {
  if (argc < 2) return L"no command given";
  const String command = argv[1];
  static const struct {
    const wchar_t* command;
    int argc;
  } commands[] = {{L"start", 4},  {L"doctor", 4}, {L"check", 3}, {L"--version", 2},
                  {L"--help", 2}, {L"-h", 2},     {L"/?", 2}};
  int wanted = 0;
  for (const auto& c : commands)
    if (command == c.command) wanted = c.argc + (noMessage ? 1 : 0);
  if (!wanted)
    return (command[0] == L'-' ? L"unknown option '" : L"unknown command '") + command + L"'";
  if (command == L"start" && argc > 2 && String(argv[2]).rfind(L"--", 0) == 0 && !noMessage)
    return L"unknown option '" + String(argv[2]) + L"' for start";
  if (argc > wanted) return L"too many arguments for " + command;
  if (argc < wanted)
    return command + L" needs " + (command == L"check" ? L"NAME" : L"FOLDER and NAME");
  return L"";
}

// One search for a title, window by window: OtherTitle stops at a window
// whose title is exactly the one sought.
struct TitleSearch {
  const String& title;
  std::vector<WCHAR> text;
};

BOOL CALLBACK OtherTitle(HWND hwnd, LPARAM lParam) {
  TitleSearch& s = *reinterpret_cast<TitleSearch*>(lParam);
  const int n = InternalGetWindowText(hwnd, s.text.data(), int(s.text.size()));
  return !(n == int(s.title.size()) && s.title.compare(0, String::npos, s.text.data(), n) == 0);
}

// True when some top-level window's title is exactly this one.
bool TitleShown(const String& title) {
  TitleSearch search{title, std::vector<WCHAR>(title.size() + 2)};
  return !EnumWindows(OtherTitle, reinterpret_cast<LPARAM>(&search));
}

// The console's title while this program searches, and the one it had
// before, put back when it exits. cmd.exe shows the command being run in
// the title ("cmd.exe - hvqlaunch start C:\work deck.hvq"), which would be
// found as a window showing the project. A terminal that shows the title
// on a window of its own takes the new one a moment later: this waits for
// that, a second at most.
class ConsoleTitle {
 public:
  static constexpr const wchar_t* kTitle = L"hvqlaunch";

  ConsoleTitle() {
    std::vector<wchar_t> title(1 << 15);
    const DWORD n = GetConsoleTitleW(title.data(), DWORD(title.size()));
    const String previous(title.data(), n < title.size() ? n : title.size() - 1);
    if (previous.empty() || previous == kTitle || !SetConsoleTitleW(kTitle)) return;
    previous_ = previous;
    for (const DWORD start = GetTickCount();
         TitleShown(previous_) && GetTickCount() - start < 1000;)
      Sleep(20);
  }
  ~ConsoleTitle() {
    if (!previous_.empty()) SetConsoleTitleW(previous_.c_str());
  }
  ConsoleTitle(const ConsoleTitle&) = delete;
  ConsoleTitle& operator=(const ConsoleTitle&) = delete;

 private:
  String previous_;
};

// What a launch did, in one line, and the exit code for it.
int Report(int result, const String& document) {
  static const struct {
    int result;
    const wchar_t* words;
  } outcomes[] = {{HVQ_OPENED, L"opened"},
                  {HVQ_ALREADY_OPEN, L"already open"},
                  {HVQ_OPENING, L"opening"},
                  {HVQ_E_OUT_OF_MEMORY, L"out of memory"}};
  for (const auto& outcome : outcomes) {
    if (outcome.result != result) continue;
    Say(outcome.words);
    return result < 0 ? 1 : 0;
  }
  if (GetLastError() == ERROR_CANCELLED) {  // the user declined the program's consent prompt
    Say(L"open cancelled");
    return 1;
  }
  Say(L"open failed: " + Reason(GetLastError(), document));
  return 1;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const String command = argc > 1 ? argv[1] : L"";
  if (argc == 2 && (command == L"--help" || command == L"-h" || command == L"/?")) {
    Write(STD_OUTPUT_HANDLE, kUsage);
    return 0;
  }
  const bool noMessage = argc > 2 && command == L"start" && String(argv[2]) == L"--no-message";
  const String error = UsageError(argc, argv, noMessage);
  if (!error.empty()) {
    Warn(error);
    Write(STD_ERROR_HANDLE, L"run hvqlaunch --help for usage\n");
    return 2;
  }
  const bool version = command == L"--version";
  const bool start = command == L"start", check = command == L"check";

  if (version) Say(L"hvqlaunch.exe " HVQLAUNCH_VERSION_STRING);
  // A drive with no disk in it fails at once rather than asking the user.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  std::unique_ptr<ConsoleTitle> title(version ? nullptr : new ConsoleTitle);
  const String dll = DllPath();
  HMODULE module = LoadLibraryW(dll.c_str());
  if (!module) {
    const String error = std::to_wstring(GetLastError());
    if (version) {
      Say(L"hvqlaunch.dll not found beside this program (" + dll + L", error " + error + L")");
      return 0;
    }
    Write(STD_ERROR_HANDLE, L"hvqlaunch: cannot load " + dll + L" (error " + error + L")\n");
    return 3;
  }
  const auto CheckPrjOpened = reinterpret_cast<HvqCheckPrjOpenedWProc>(
      reinterpret_cast<void*>(GetProcAddress(module, "HvqCheckPrjOpenedW")));
  const auto StartVRAN3D = reinterpret_cast<HvqStartVRAN3DExWProc>(
      reinterpret_cast<void*>(GetProcAddress(module, "HvqStartVRAN3DExW")));
  int status = 0;
  if (version) {
    const String dllVersion = FileVersion(dll);
    Say(L"hvqlaunch.dll " + (dllVersion.empty() ? L"without a version resource" : dllVersion) +
        L" (" + dll + L")");
  } else if (!CheckPrjOpened || !StartVRAN3D) {
    Write(STD_ERROR_HANDLE, L"hvqlaunch: " + dll + L" lacks the entry points (before 1.3)\n");
    status = 3;
  } else if (start) {
    // The shell asks a program that calls it and then exits to initialise
    // COM first: some registered programs are started through COM or DDE.
    const String folder = argv[argc - 2], name = argv[argc - 1], dir = folder + L"\\3d";
    const bool prepared = Exists(dir);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const int result =
        StartVRAN3D(folder.c_str(), name.c_str(), HVQ_ACTIVATE | (noMessage ? HVQ_NO_MESSAGE : 0));
    const DWORD error = GetLastError();
    if (SUCCEEDED(com)) CoUninitialize();
    const String copy = TemplateCopy(folder, name);
    if (!prepared && Exists(dir) && !Exists(copy))
      Warn(L"warning: prepared " + dir + L" without " + copy + L", since the template " +
           kTemplate + L" is missing; it is never copied later: copy it there by hand");
    SetLastError(error);
    status = Report(result, Document(folder, name));
  } else if (check) {
    const int opened = CheckPrjOpened(argv[2]);
    Say(std::to_wstring(opened));
    status = opened ? 0 : 1;
  } else {
    status = Doctor(CheckPrjOpened, argv[2], argv[3]);
  }
  FreeLibrary(module);
  return status;
}
