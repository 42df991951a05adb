// hvqlaunch-selftest: checks hvqlaunch.dll on this machine, end to end.
// The run of every program of the kit (selftest.h): each is its cases.
//
//   hvqlaunch-selftest [--dll PATH] [--junit FILE] [--require WHAT] [CASE|GROUP...]
//   hvqlaunch-selftest --restore | --list | --help
//
// It loads the DLL beside it (or PATH) as a host does, prints what machine
// this is, runs every case (or those named: "detect" is every case of the
// group, "detect.title-rule" one), one line each, then "N passed, N
// failed, N skipped". Exit status: 0 nothing failed, 1 something failed,
// 2 it could not run at all. What it changes on the machine it puts back
// (machine.cpp); a run that was killed is repaired by the next one.
#include "selftest.h"

#include <shellapi.h>

int SelftestMain();

namespace selftest {

Run g_run;

std::vector<Case>& Cases() {
  static std::vector<Case> s_cases;
  return s_cases;
}

namespace {
// The groups in the order they run: each needs less of the machine than
// the next.
const char* const c_groups[] = {"detect", "guest", "launch", "entry", "cstringt"};
const int c_groupCount = sizeof c_groups / sizeof *c_groups;
int GroupOf(const Case& c) {
  int i = 0;
  while (i < c_groupCount && std::string(c.name).compare(0, strlen(c_groups[i]), c_groups[i]) != 0)
    ++i;
  return i;
}
}  // namespace

namespace {

#if defined(_M_ARM64) || defined(__aarch64__)
const char c_arch[] = "ARM64";
const WORD c_machine = IMAGE_FILE_MACHINE_ARM64;
#elif defined(_WIN64)
const char c_arch[] = "x64";
const WORD c_machine = IMAGE_FILE_MACHINE_AMD64;
#else
const char c_arch[] = "x86";
const WORD c_machine = IMAGE_FILE_MACHINE_I386;
#endif

struct Result {
  std::string name;
  enum { ok, failed, skipped } status = ok;
  std::vector<std::string> failures;  // or the reason it was skipped
  std::vector<std::string> notes;
  std::string partial;  // what it could not check here, or empty
  DWORD ms = 0;
};
Result* g_current = nullptr;
std::atomic<DWORD> g_deadline{0};

const char* MachineName(USHORT machine) {
  switch (machine) {
    case IMAGE_FILE_MACHINE_I386:
      return "x86";
    case IMAGE_FILE_MACHINE_AMD64:
      return "x64";
    case IMAGE_FILE_MACHINE_ARM64:
      return "ARM64";
    case IMAGE_FILE_MACHINE_ARMNT:
      return "ARM";
  }
  return "unknown";
}

// This program's name, without ".exe".
std::string Program() {
  std::string name = Utf8(g_run.self.substr(g_run.self.find_last_of(L'\\') + 1));
  return name.size() > 4 ? name.substr(0, name.size() - 4) : name;
}

std::string Seconds(DWORD ms) {
  std::string frac = std::to_string(ms % 1000);
  return std::to_string(ms / 1000) + "." + std::string(3 - frac.size(), '0') + frac;
}

// Ends a run that cannot finish (a case past its time, Ctrl-C, the console
// closed), from a thread of its own while a case may still run: what it
// changed goes back first.
[[noreturn]] void Abandon(const std::string& why, UINT status) {
  Print(why + "\n");
  PutBack();
  ExitProcess(status);
}

DWORD WINAPI Watchdog(void*) {
  for (;;) {
    Sleep(250);
    const DWORD deadline = g_deadline;
    if (deadline && int(GetTickCount() - deadline) > 0 && g_current)
      Abandon("FAILED  " + g_current->name + ": still running after its time limit; run ended", 1);
  }
}

BOOL WINAPI Interrupted(DWORD) { Abandon("interrupted: the machine is put back as it was", 2); }

// The header: what a reader of the report needs to know of this machine.
std::string Version(HMODULE module) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
  const BYTE* p = found ? static_cast<const BYTE*>(LockResource(LoadResource(module, found))) : 0;
  const DWORD size = found ? SizeofResource(module, found) : 0;
  for (DWORD i = 0; p && i + sizeof(VS_FIXEDFILEINFO) <= size; i += 4) {
    VS_FIXEDFILEINFO info;
    memcpy(&info, p + i, sizeof info);
    if (info.dwSignature != 0xFEEF04BD) continue;
    return std::to_string(HIWORD(info.dwFileVersionMS)) + "." +
           std::to_string(LOWORD(info.dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info.dwFileVersionLS)) + "." +
           std::to_string(LOWORD(info.dwFileVersionLS));
  }
  return "none";
}

template <typename Proc>
Proc SystemProc(const wchar_t* dll, const char* name) {
  return reinterpret_cast<Proc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(dll), name)));
}

void PrintHeader() {
  std::string windows = "unknown";
  OSVERSIONINFOW v = {sizeof v, 0, 0, 0, 0, {0}};
  typedef LONG(WINAPI * RtlGetVersionProc)(OSVERSIONINFOW*);
  if (auto rtlGetVersion = SystemProc<RtlGetVersionProc>(L"ntdll.dll", "RtlGetVersion"))
    if (rtlGetVersion(&v) == 0)
      windows = std::to_string(v.dwMajorVersion) + "." + std::to_string(v.dwMinorVersion) +
                ", build " + std::to_string(v.dwBuildNumber) +
                (v.szCSDVersion[0] ? " " + Utf8(v.szCSDVersion) : "");
  typedef const char*(CDECL * WineVersionProc)();
  auto wineVersion = SystemProc<WineVersionProc>(L"ntdll.dll", "wine_get_version");
  g_run.wine = wineVersion != nullptr;

  std::string machine = c_arch;
  typedef BOOL(WINAPI * IsWow64Process2Proc)(HANDLE, USHORT*, USHORT*);
  USHORT process = 0, native = 0;
  BOOL wow64 = FALSE;
  if (auto isWow64Process2 = SystemProc<IsWow64Process2Proc>(L"kernel32.dll", "IsWow64Process2")) {
    if (isWow64Process2(GetCurrentProcess(), &process, &native)) machine = MachineName(native);
  } else if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64) {
    machine = "x64";
  }
  // An x86 program on x64 Windows runs natively through WOW64; only x86 or
  // x64 code on an ARM64 machine is emulated.
  const std::string running = machine == c_arch    ? ", natively"
                              : machine == "ARM64" ? ", emulated"
                                                   : " (WOW64)";

  wchar_t language[LOCALE_NAME_MAX_LENGTH] = L"";
  GetLocaleInfoW(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), LOCALE_SNAME, language,
                 LOCALE_NAME_MAX_LENGTH);
  std::string elevated = "unknown";
  HANDLE token;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    TOKEN_ELEVATION elevation = {};
    DWORD got = 0;
    if (GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &got))
      elevated = elevation.TokenIsElevated ? "yes" : "no";
    CloseHandle(token);
  }
  Print(Program() + " " HVQLAUNCH_VERSION_STRING "\n");
  Print("windows:   " + windows + "\n");
  Print("process:   " + std::string(c_arch) + " on an " + machine + " machine" + running + "\n");
  Print("wine:      " + (wineVersion ? std::string(wineVersion()) : std::string("no")) + "\n");
  Print("code page: " + std::to_string(GetACP()) + " (ANSI), UI language " + Utf8(language) + "\n");
  Print("elevated:  " + elevated + "\n");
}

// Reads the architecture of a PE file: 0 when it is none.
WORD MachineOf(const std::wstring& path) {
  const std::string bytes = ReadAll(path);
  if (bytes.size() < 0x40 || bytes.compare(0, 2, "MZ") != 0) return 0;
  DWORD pe = 0;
  memcpy(&pe, &bytes[0x3C], 4);
  if (pe > bytes.size() - 6 || bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return 0;
  WORD machine = 0;
  memcpy(&machine, &bytes[pe + 4], 2);
  return machine;
}

bool LoadDll(const std::wstring& path, std::string& error) {
  wchar_t full[MAX_PATH * 4];
  GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
  g_run.dllPath = full;
  const std::string named = Utf8(g_run.dllPath);
  if (GetFileAttributesW(full) == INVALID_FILE_ATTRIBUTES) {
    error = "no DLL at " + named + " (give another with --dll PATH)";
    return false;
  }
  const WORD machine = MachineOf(full);
  if (machine != c_machine) {
    error = named + " is " +
            (machine ? "a DLL for " + std::string(MachineName(machine)) : "not a Windows DLL") +
            "; this hvqlaunch-selftest is for " + c_arch + ": run the one of that DLL's package";
    return false;
  }
  g_run.dll = LoadLibraryW(full);
  if (!g_run.dll) {
    const DWORD code = GetLastError();
    error = named + " does not load (error " + std::to_string(code) + ")";
    if (code == 4551)  // ERROR_SYSTEM_INTEGRITY_POLICY_VIOLATION
      error +=
          ": application control (Smart App Control or a WDAC policy) blocks it; "
          "see docs\\selftest.md on downloaded packages";
    else if (code == ERROR_ACCESS_DISABLED_BY_POLICY)
      error += ": a group policy (software restriction or AppLocker) blocks it";
    return false;
  }
  Print("dll:       " + named + ", file version " + Version(g_run.dll) + "\n");
  return true;
}

std::string Xml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += (unsigned char)c < 0x20 && c != '\n' ? ' ' : c;
    }
  }
  return out;
}

bool WriteJUnit(const std::wstring& path, const std::vector<Result>& results, int failed,
                int skipped, DWORD ms) {
  const std::string counts = "tests=\"" + std::to_string(results.size()) + "\" failures=\"" +
                             std::to_string(failed) + "\" errors=\"0\" skipped=\"" +
                             std::to_string(skipped) + "\" time=\"" + Seconds(ms) + "\"";
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites " + counts +
                    ">\n <testsuite name=\"" + Program() + " " + c_arch + "\" " + counts + ">\n";
  for (const Result& r : results) {
    const size_t dot = r.name.find('.');
    xml += "  <testcase classname=\"hvqlaunch." + r.name.substr(0, dot) + "\" name=\"" +
           r.name.substr(dot + 1) + "\" time=\"" + Seconds(r.ms) + "\">\n";
    if (!r.partial.empty())
      xml += "   <properties><property name=\"partial\" value=\"" + Xml(r.partial) +
             "\"/></properties>\n";
    std::string body;
    for (const std::string& line : r.failures) body += line + "\n";
    if (r.status == Result::failed)
      xml += "   <failure message=\"" + Xml(r.failures[0]) + "\">" + Xml(body) + "</failure>\n";
    else if (r.status == Result::skipped)
      xml += "   <skipped message=\"" + Xml(r.failures[0]) + "\"/>\n";
    std::string notes = r.partial.empty() ? "" : "partial: " + r.partial + "\n";
    for (const std::string& line : r.notes) notes += line + "\n";
    if (!notes.empty()) xml += "   <system-out>" + Xml(notes) + "</system-out>\n";
    xml += "  </testcase>\n";
  }
  return WriteAll(path, xml + " </testsuite>\n</testsuites>\n");
}

bool Selected(const std::string& name, const std::vector<std::string>& wanted) {
  for (const std::string& w : wanted)
    if (name == w || name.compare(0, w.size() + 1, w + ".") == 0) return true;
  return wanted.empty();
}

const char c_usage[] =
    "usage: hvqlaunch-selftest [--dll PATH] [--junit FILE] [--require WHAT] [CASE|GROUP...]\n"
    "       hvqlaunch-selftest --restore | --list | --help\n"
    "Checks hvqlaunch.dll (the one beside this program, or PATH) on this machine and\n"
    "prints one line per case. --junit also writes the results as JUnit XML.\n"
    "--require template,association fails the cases that would be skipped or partial\n"
    "for the want of the template on d: or of the association of .hvq.\n"
    "--restore only puts back what a run that was ended halfway left.\n"
    "Exit status: 0 nothing failed, 1 something failed, 2 it could not run.\n";

// Whether a top-level window can be made here and its title read back:
// a session without a usable desktop gives empty titles, and every
// detection would fail for it.
bool DesktopUsable() {
  HWND probe = MakeWindow("hvqlaunch-selftest desktop probe", false);
  char title[64] = "";
  GetWindowTextA(probe, title, sizeof title);
  if (probe) DestroyWindow(probe);
  return lstrcmpA(title, "hvqlaunch-selftest desktop probe") == 0;
}

// Whether Windows lets this program take the foreground, with its own
// window: not in a session no one sees, and not where focus rules refuse
// it. Why not, or empty.
std::wstring ForegroundRefused() {
  USEROBJECTFLAGS flags = {};
  if (GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                nullptr) &&
      !(flags.dwFlags & WSF_VISIBLE))
    return L"this session is not interactive";
  HWND probe = MakeWindow("hvqlaunch-selftest foreground probe", true);
  const bool front = SetForegroundWindow(probe) && GetForegroundWindow() == probe;
  DestroyWindow(probe);
  return front ? L"" : L"Windows refused this program the foreground (SetForegroundWindow)";
}

bool ParseRequire(const std::wstring& what) {
  for (size_t at = 0; at <= what.size();) {
    size_t comma = what.find(L',', at);
    if (comma == std::wstring::npos) comma = what.size();
    const std::wstring item = what.substr(at, comma - at);
    if (item == L"template")
      g_run.requireTemplate = true;
    else if (item == L"association")
      g_run.requireAssociation = true;
    else
      return false;
    at = comma + 1;
  }
  return true;
}

}  // namespace

bool Check(bool ok, const char* what, const char* file, int line) {
  if (!ok && g_current) {
    const char* base = file;
    for (const char* p = file; *p; ++p)
      if (*p == '/' || *p == '\\') base = p + 1;
    g_current->failures.push_back(std::string(base) + ":" + std::to_string(line) + ": " + what);
  }
  return ok;
}

bool CheckEq(const std::string& got, const std::string& wanted, const char* what, const char* file,
             int line) {
  return Check(got == wanted, (std::string(what) + ": expected " + wanted + ", got " + got).c_str(),
               file, line);
}

void Fail(const std::string& why) {
  if (g_current) g_current->failures.push_back(why);
}

void Partial(const std::string& why) {
  if (g_current && g_current->partial.find(why) == std::string::npos)
    g_current->partial += (g_current->partial.empty() ? "" : ", ") + why;
}

void Skip(const std::wstring& why) {
  if (g_current && g_current->status != Result::skipped) {
    g_current->status = Result::skipped;
    g_current->failures.insert(g_current->failures.begin(), Utf8(why));
  }
}

void Note(const std::string& text) {
  if (g_current) g_current->notes.push_back(text);
}

void Print(const std::string& text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode, written = 0;
  if (GetConsoleMode(out, &mode)) {
    const std::wstring wide = Wide(text, CP_UTF8);
    WriteConsoleW(out, wide.c_str(), DWORD(wide.size()), &written, nullptr);
  } else {
    WriteFile(out, text.data(), DWORD(text.size()), &written, nullptr);
  }
}

}  // namespace selftest

using namespace selftest;

int SelftestMain() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  wchar_t self[MAX_PATH * 4] = L"";
  GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  g_run.self = self;
  std::wstring dll = g_run.self.substr(0, g_run.self.find_last_of(L'\\') + 1) + L"hvqlaunch.dll";
  std::wstring junit;
  std::vector<std::string> wanted;
  bool restore = false, list = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    const bool more = i + 1 < argc;
    if (a == L"--dll" && more) {
      dll = argv[++i];
    } else if (a == L"--child" && i + 4 < argc) {  // the modes the cases start it in
      g_run.dllPath = dll;
      return RunChild(Narrow(argv[i + 1]).c_str(), _wtoi(argv[i + 2]), size_t(_wtoi(argv[i + 3])),
                      Narrow(argv[i + 4]));
    } else if (a == L"--start" && i + 2 < argc) {
      g_run.dllPath = dll;
      return StartAsAnotherHost(dll.c_str(), argv[i + 1], argv[i + 2], 100);
    } else if (a == L"--junit" && more) {
      junit = argv[++i];
    } else if (a == L"--require" && more && ParseRequire(argv[i + 1])) {
      ++i;
    } else if (a == L"--restore") {
      restore = true;
    } else if (a == L"--list") {
      list = true;
    } else if (a == L"--help" || a == L"-h" || a == L"/?") {
      Print(c_usage);
      return 0;
    } else if (a[0] == L'-') {
      Print(Program() + ": unknown option or value " + Utf8(a) + "\n" + c_usage);
      return 2;
    } else {
      wanted.push_back(Utf8(a));
    }
  }
  std::vector<Case> ordered;
  for (int g = 0; g <= c_groupCount; ++g)  // then any of no listed group
    for (const Case& c : Cases())
      if (GroupOf(c) == g) ordered.push_back(c);
  Cases() = ordered;
  if (list) {
    for (const Case& c : Cases()) Print(std::string(c.name) + "\n");
    return 0;
  }
  for (const std::string& w : wanted) {
    bool known = false;
    for (const Case& c : Cases()) known = known || Selected(c.name, {w});
    if (!known) {
      Print(Program() + ": no case or group " + w + " (--list names them)\n");
      return 2;
    }
  }
  if (!junit.empty() && !WriteAll(junit, "")) {
    Print("cannot run: cannot write " + Utf8(junit) + " (--junit)\n");
    return 2;
  }

  PrintHeader();
  if (!ClaimMachine()) {
    Print(
        "cannot run: another hvqlaunch-selftest of this user is running, in this session or "
        "another\n");
    return 2;
  }
  std::wstring repaired, error;
  if (!Repair(repaired, error)) {
    Print("cannot run: what an earlier run changed could not be put back: " + Utf8(error) + "\n");
    return 2;
  }
  if (!repaired.empty()) Print("repaired what an earlier run left: " + Utf8(repaired) + "\n");
  if (restore) {
    Print(repaired.empty() ? "nothing to put back\n" : "");
    return 0;
  }
  if (!DesktopUsable()) {
    Print(
        "cannot run: this session has no usable desktop (a window's title cannot be read "
        "back)\n");
    return 2;
  }
  std::string loadError;
  if (!LoadDll(dll, loadError)) {
    Print("cannot run: " + loadError + "\n");
    return 2;
  }
  // As docs/hosts.md asks of hosts: the shell's handlers want an apartment.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  g_run.noForeground = ForegroundRefused();
  SetConsoleCtrlHandler(Interrupted, TRUE);
  if (!SetUp(error)) {
    PutBack();
    Print("cannot run: " + Utf8(error) + "\n");
    return 2;
  }
  Print("work:      " + Utf8(g_run.root) + "\n");
  Print("template:  " +
        (g_run.noTemplate.empty() ? std::string("d:\\tolvern4\\3d\\2006.hvq, ") +
                                        std::to_string(g_run.templateBytes.size()) + " bytes"
                                  : "none: " + Utf8(g_run.noTemplate)) +
        "\n");
  Print("viewer:    " +
        (g_run.noAssociation.empty() ? std::string(".hvq opens with this program's viewer")
                                     : "none: " + Utf8(g_run.noAssociation)) +
        "\n\n");
  CloseHandle(CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));

  // HVQ_SELFTEST_HOLD=CASE: the run says "held before CASE" and waits
  // there, within that case's time limit, so that what a run ended halfway
  // leaves can be tried at a point the run chose.
  wchar_t hold[128] = L"";
  GetEnvironmentVariableW(L"HVQ_SELFTEST_HOLD", hold, 128);
  std::vector<Result> results;
  int passed = 0, failed = 0, skipped = 0, partial = 0;
  const DWORD start = GetTickCount();
  for (const Case& c : Cases()) {
    if (!Selected(c.name, wanted)) continue;
    results.emplace_back();
    Result& r = results.back();
    r.name = c.name;
    g_current = &r;
    g_deadline = GetTickCount() + DWORD(c.seconds) * 1000;
    if (Wide(c.name) == hold) {
      Print("held before " + r.name + "\n");
      Sleep(INFINITE);
    }
    const DWORD begun = GetTickCount();
    c.body();
    g_deadline = 0;
    g_current = nullptr;
    r.ms = GetTickCount() - begun;
    if (r.status != Result::skipped && !r.failures.empty()) r.status = Result::failed;
    const std::string took = " (" + Seconds(r.ms) + " s)";
    if (r.status == Result::ok) {
      ++passed;
      partial += !r.partial.empty();
      Print("ok       " + r.name + took + (r.partial.empty() ? "" : " partial: " + r.partial) +
            "\n");
    } else if (r.status == Result::skipped) {
      ++skipped;
      Print("skipped  " + r.name + ": " + r.failures[0] + "\n");
    } else {
      ++failed;
      Print("FAILED   " + r.name + took + "\n");
      for (const std::string& f : r.failures) Print("         " + f + "\n");
    }
    for (const std::string& n : r.notes) Print("         " + n + "\n");
  }
  EndViewers();
  FreeLibrary(g_run.dll);
  PutBack();
  const DWORD ms = GetTickCount() - start;
  if (!junit.empty() && !WriteJUnit(junit, results, failed, skipped, ms)) {
    Print("cannot write " + Utf8(junit) + " (--junit)\n");
    return 2;
  }
  if (partial)
    Print("\n" + std::to_string(partial) + " of the cases that passed were partial: they could " +
          "not check everything here");
  Print("\n" + std::to_string(passed) + " passed, " + std::to_string(failed) + " failed, " +
        std::to_string(skipped) + " skipped\n");
  return failed ? 1 : 0;
}
