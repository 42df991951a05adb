// The pieces of a host that the cases share: the DLL's exports, windows,
// other processes, files, message boxes, and the viewer that ".hvq" opens
// with during a run, which is this program.
#include <algorithm>

#include "selftest.h"

namespace selftest {

std::string Narrow(const std::wstring& text, UINT codePage) {
  const int n = WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), 0, 0, 0, 0);
  std::string out(size_t(n), '\0');
  if (n) WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), &out[0], n, 0, 0);
  return out;
}

std::string Utf8(const std::wstring& text) { return Narrow(text, CP_UTF8); }

std::wstring Wide(const std::string& text, UINT codePage) {
  const int n = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), 0, 0);
  std::wstring out(size_t(n), L'\0');
  if (n) MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), &out[0], n);
  return out;
}

bool NeedTemplate() {
  if (!g_run.noTemplate.empty()) Skip(g_run.noTemplate);
  return g_run.noTemplate.empty();
}

bool NeedAssociation() {
  if (!g_run.noAssociation.empty()) Skip(g_run.noAssociation);
  return g_run.noAssociation.empty() && NeedTemplate();
}

bool NeedAnsiRoot() {
  if (g_run.rootA.empty())
    Skip(L"the work folder " + g_run.root + L" has no name in the ANSI code page");
  return !g_run.rootA.empty();
}

bool NeedLeadBytes() {
  CPINFO info = {};
  const bool dbcs = GetCPInfo(CP_ACP, &info) && info.LeadByte[0];
  if (!dbcs)
    Skip(L"the ANSI code page (" + Wide(std::to_string(GetACP())) + L") has no lead bytes");
  return dbcs;
}

FARPROC ExportOf(const char* name, int ordinal) {
  FARPROC byName = GetProcAddress(g_run.dll, name);
  CHECK(byName != nullptr && byName == GetProcAddress(g_run.dll, MAKEINTRESOURCEA(ordinal)));
  return byName;
}

int CheckPrjOpened(const char* name) {
  return Export<HvqCheckPrjOpenedProc>(HVQ_CHECKPRJOPENED_NAME, HVQ_CHECKPRJOPENED_ORDINAL)(name);
}

void Start(const std::string& folder, const std::string& name) {
#ifdef _WIN64
  Export<HvqStartVRAN3DAProc>("HvqStartVRAN3DA", HVQ_STARTVRAN3DA_ORDINAL)(folder.c_str(),
                                                                           name.c_str());
#else
  HostString f(folder, -1), n(name, -1);
  Export<HvqStartVRAN3DProc>(HVQ_STARTVRAN3D_NAME, HVQ_STARTVRAN3D_ORDINAL)(f.Arg(), n.Arg());
#endif
}

std::wstring At(const std::wstring& relative) { return g_run.root + L"\\" + relative; }
std::string AtA(const std::string& relative) { return g_run.rootA + "\\" + relative; }

std::string Unique(const char* stem) {
  return std::string(stem) + std::to_string(GetCurrentProcessId()) + "x" +
         std::to_string(GetTickCount() % 100000);
}

namespace {
bool Spawn(const std::wstring& args, PROCESS_INFORMATION& pi) {
  std::wstring cmd = L"\"" + g_run.self + L"\" --dll \"" + g_run.dllPath + L"\" " + args;
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  return CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
}

// A case that needs another process cannot run where none can be started.
void NoSecondProcess() {
  Skip(L"no second process can be started here (error " + Wide(std::to_string(GetLastError())) +
       L")");
}
}  // namespace

ChildProcess::ChildProcess(const std::string& title) {
  const std::string event = Unique("hvqready");
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, event.c_str());
  if (Spawn(L"--child " + Wide(event) + L" \"" + Wide(title) + L"\"", m_pi))
    CHECK(WaitForSingleObject(ready, 60000) == WAIT_OBJECT_0);
  else
    NoSecondProcess();
  CloseHandle(ready);
}

ChildProcess::~ChildProcess() {
  if (!m_pi.hProcess) return;
  TerminateProcess(m_pi.hProcess, 0);
  WaitForSingleObject(m_pi.hProcess, 10000);
  CloseHandle(m_pi.hProcess);
  CloseHandle(m_pi.hThread);
}

int RunChild(const char* event, const char* title) {
  MakeWindow(title, false);
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, event);
  SetEvent(ready);
  CloseHandle(ready);
  PumpMessages(120000);  // ended by the parent long before
  return 0;
}

int StartElsewhere(const std::string& folder, const std::string& name) {
  PROCESS_INFORMATION pi = {};
  if (!Spawn(L"--start \"" + Wide(folder) + L"\" \"" + Wide(name) + L"\"", pi)) {
    NoSecondProcess();
    return -100;
  }
  DWORD code = DWORD(-100);
  if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0)
    GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return int(code);
}

std::string ReadAll(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  std::string buffer(65536, '\0');
  DWORD got = 0;
  while (::ReadFile(file, &buffer[0], DWORD(buffer.size()), &got, nullptr) && got)
    bytes.append(buffer, 0, got);
  CloseHandle(file);
  return bytes;
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsEmptyFolder(const std::wstring& path) { return IsFolder(path) && Snapshot(path).empty(); }

std::vector<std::string> ViewerLog(size_t count) {
  std::vector<std::string> lines;
  for (int i = 0; i < 200; ++i) {
    lines.clear();
    const std::string log = ReadAll(g_run.viewerLog);
    for (size_t at = 0, end; (end = log.find('\n', at)) != std::string::npos; at = end + 1)
      lines.push_back(log.substr(at, end - at));
    if (lines.size() >= count) break;
    PumpMessages(50);
  }
  return lines;
}

namespace {
void Snapshot(const std::wstring& folder, Tree& tree) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    std::wstring key = path;
    CharLowerW(&key[0]);
    const bool dir = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    tree.emplace_back(key, dir ? L"<dir>"
                               : Wide(std::to_string(data.nFileSizeLow)) + L" " +
                                     Wide(std::to_string(data.ftLastWriteTime.dwLowDateTime)) +
                                     L" " +
                                     Wide(std::to_string(data.ftLastWriteTime.dwHighDateTime)));
    if (dir) Snapshot(path, tree);
  } while (FindNextFileW(find, &data));
  FindClose(find);
}
}  // namespace

Tree Snapshot(const std::wstring& folder) {
  Tree tree;
  Snapshot(folder, tree);
  std::sort(tree.begin(), tree.end());
  return tree;
}

HWND FindMessageBox() {
  struct Finder {
    static BOOL CALLBACK Proc(HWND hwnd, LPARAM lParam) {
      DWORD pid = 0;
      GetWindowThreadProcessId(hwnd, &pid);
      char cls[64] = "";
      GetClassNameA(hwnd, cls, sizeof cls);
      if (pid != GetCurrentProcessId() || lstrcmpA(cls, "#32770") != 0 || !IsWindowVisible(hwnd))
        return TRUE;
      *reinterpret_cast<HWND*>(lParam) = hwnd;
      return FALSE;
    }
  };
  HWND box = nullptr;
  EnumWindows(Finder::Proc, reinterpret_cast<LPARAM>(&box));
  return box;
}

BoxDismisser::BoxDismisser() { m_thread = CreateThread(nullptr, 0, Run, this, 0, nullptr); }

BoxDismisser::~BoxDismisser() {
  m_stop = true;
  WaitForSingleObject(m_thread, 10000);
  CloseHandle(m_thread);
}

DWORD WINAPI BoxDismisser::Run(void* self) {
  BoxDismisser* d = static_cast<BoxDismisser*>(self);
  while (!d->m_stop) {
    if (HWND box = FindMessageBox()) {
      ++d->m_count;
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      for (int i = 0; i < 500 && IsWindow(box); ++i) Sleep(2);
    }
    Sleep(2);
  }
  return 0;
}

namespace {
DWORD EnvNumber(const wchar_t* name, DWORD otherwise) {
  wchar_t text[32] = L"";
  if (!GetEnvironmentVariableW(name, text, 32)) return otherwise;
  DWORD n = 0;
  for (const wchar_t* p = text; *p >= L'0' && *p <= L'9'; ++p) n = n * 10 + DWORD(*p - L'0');
  return n;
}
}  // namespace

int StartAsAnotherHost(const std::wstring& folder, const std::wstring& name, int missing) {
  HMODULE module = LoadLibraryW(g_run.dllPath.c_str());
  auto start = reinterpret_cast<HvqStartVRAN3DExWProc>(
      reinterpret_cast<void*>(GetProcAddress(module, "HvqStartVRAN3DExW")));
  return start ? start(folder.c_str(), name.c_str(), HVQ_NO_MESSAGE) : missing;
}

std::string CreationTime(HANDLE process) {
  FILETIME created = {}, exited, kernel, user;
  GetProcessTimes(process, &created, &exited, &kernel, &user);
  return std::to_string(created.dwHighDateTime) + " " + std::to_string(created.dwLowDateTime);
}

// The viewer, as the shell starts it for a document: it records the
// document in the run's log (HVQ_VIEWER_LOG) and itself beside it (a file
// named after the log and its process id that holds its time of creation,
// for EndViewers), and, unless
// HVQ_VIEWER_SECONDS is 0, shows a window titled "HVQ Viewer - " and the
// full path for that many seconds (10 unless set), HVQ_VIEWER_LATE
// milliseconds after it starts. With HVQ_VIEWER_RELAUNCH it first launches
// the same document itself, as a second host would while the first
// launch is still starting, and records what it was told.
int View(const wchar_t* document) {
  wchar_t log[MAX_PATH * 2] = L"";
  if (GetEnvironmentVariableW(L"HVQ_VIEWER_LOG", log, MAX_PATH * 2)) {
    HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, 0, nullptr);
    std::wstring path = document;
    WriteAll(std::wstring(log) + L"." + Wide(std::to_string(GetCurrentProcessId())),
             CreationTime(GetCurrentProcess()));
    std::string line = Utf8(path) + "\n";
    if (EnvNumber(L"HVQ_VIEWER_RELAUNCH", 0)) {
      const size_t slash = path.find_last_of(L'\\');
      std::wstring name = path.substr(slash + 1);
      name.resize(name.size() - 4);  // without ".hvq"
      const int told = StartAsAnotherHost(path.substr(0, slash), name, -1);
      line = "told " + std::to_string(told) + " " + line;
    }
    DWORD written = 0;
    WriteFile(file, line.data(), DWORD(line.size()), &written, nullptr);
    CloseHandle(file);
  }
  const DWORD seconds = EnvNumber(L"HVQ_VIEWER_SECONDS", 10);
  if (!seconds) return 0;
  Sleep(EnvNumber(L"HVQ_VIEWER_LATE", 0));
  wchar_t full[MAX_PATH * 4] = L"";
  GetFullPathNameW(document, MAX_PATH * 4, full, nullptr);
  const std::wstring title = L"HVQ Viewer - " + std::wstring(full);
  HWND hwnd = CreateWindowExW(0, L"STATIC", title.c_str(), WS_OVERLAPPEDWINDOW, 120, 120, 560, 240,
                              nullptr, nullptr, nullptr, nullptr);
  ShowWindow(hwnd, SW_SHOWNORMAL);
  const DWORD end = GetTickCount() + seconds * 1000;
  while (IsWindow(hwnd) && int(end - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  return 0;
}

}  // namespace selftest
