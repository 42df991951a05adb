// The pieces of a host that the cases share: the DLL's exports, windows,
// other processes, files and message boxes.
#include <algorithm>

#include "selftest.h"
// after windows.h
#include <tlhelp32.h>

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

bool NeedAssociation() {
  if (g_run.noAssociation.empty()) return true;
  if (g_run.requireAssociation)
    Fail("required, but " + Utf8(g_run.noAssociation));
  else
    Skip(g_run.noAssociation);
  return false;
}

bool HaveTemplate() {
  if (g_run.noTemplate.empty()) return true;
  if (g_run.requireTemplate)
    Fail("required, but " + Utf8(g_run.noTemplate));
  else
    Partial("no template");
  return false;
}

bool Copied(const std::wstring& copy) {
  if (HaveTemplate()) return ReadAll(copy) == g_run.templateBytes;
  return GetFileAttributesW(copy.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool HaveForeground() {
  if (g_run.noForeground.empty()) return true;
  Partial("no foreground");
  Note("not checked: " + Utf8(g_run.noForeground));
  return false;
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

std::wstring LongPath(const std::wstring& path) {
  const DWORD n = GetLongPathNameW(path.c_str(), nullptr, 0);
  std::wstring out(n, L'\0');
  if (n && GetLongPathNameW(path.c_str(), &out[0], n) == n - 1) return out.substr(0, n - 1);
  const size_t slash = path.find_last_of(L'\\');  // long as far as it exists
  if (slash == std::wstring::npos || slash + 1 == path.size() || slash < 3) return path;
  return LongPath(path.substr(0, slash)) + path.substr(slash);
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) ==
         CSTR_EQUAL;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return SameText(LongPath(a), LongPath(b));
}

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

std::string PaddedTitle(size_t length, int i, const std::string& tail) {
  if (!length) return tail;
  std::string t = "Viewer " + std::to_string(i) + " - C:\\work\\";
  while (t.size() + tail.size() < length) t += char('a' + (t.size() * 7 + size_t(i)) % 26);
  return t + tail;
}

ChildProcess::ChildProcess(const std::string& tail, int count, size_t length) {
  const std::string event = Unique("hvqready");
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, event.c_str());
  if (Spawn(L"--child " + Wide(event) + L" " + Wide(std::to_string(count)) + L" " +
                Wide(std::to_string(length)) + L" \"" + Wide(tail) + L"\"",
            m_pi))
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

int RunChild(const char* event, int count, size_t length, const std::string& tail) {
  for (int i = 0; i < count; ++i) MakeWindow(PaddedTitle(length, i, tail), false);
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, event);
  SetEvent(ready);
  CloseHandle(ready);
  PumpMessages(600000);  // ended by the parent long before
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

bool WriteAll(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = ::WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  return CloseHandle(file) && ok;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsEmptyFolder(const std::wstring& path) { return IsFolder(path) && Snapshot(path).empty(); }

std::vector<std::string> ViewerLog(size_t count) {
  std::vector<std::string> lines;
  WaitFor(10000, [&] {
    lines.clear();
    const std::string log = ReadAll(g_run.viewerLog);
    for (size_t at = 0, end; (end = log.find('\n', at)) != std::string::npos; at = end + 1)
      lines.push_back(log.substr(at, end - at));
    return lines.size() >= count;
  });
  return lines;
}

namespace {
const wchar_t c_viewerExe[] = L"hvqlaunch-selftest-viewer.exe";

// The processes this one started, directly or through its own children,
// with their programs' names.
std::vector<std::pair<DWORD, std::wstring>> Descendants() {
  std::vector<PROCESSENTRY32W> all;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    all.push_back(entry);
  CloseHandle(snapshot);
  std::vector<std::pair<DWORD, std::wstring>> found = {{GetCurrentProcessId(), L""}};
  for (size_t i = 0; i < found.size(); ++i)
    for (const PROCESSENTRY32W& p : all)
      if (p.th32ParentProcessID == found[i].first && p.th32ProcessID != found[i].first)
        found.push_back({p.th32ProcessID, p.szExeFile});
  found.erase(found.begin());
  return found;
}

bool NamedOneOf(const std::wstring& exe, std::initializer_list<const wchar_t*> names) {
  for (const wchar_t* name : names)
    if (lstrcmpiW(exe.c_str(), name) == 0) return true;
  return false;
}
}  // namespace

int Viewers() {
  int n = 0;
  for (const auto& p : Descendants()) n += NamedOneOf(p.second, {c_viewerExe});
  return n;
}

bool ShellDialogClosed() {
  const std::wstring self = g_run.self.substr(g_run.self.find_last_of(L'\\') + 1);
  std::vector<DWORD> others;  // consoles and terminals are no dialog
  for (const auto& p : Descendants())
    if (!NamedOneOf(p.second, {c_viewerExe, self.c_str(), L"conhost.exe", L"OpenConsole.exe",
                               L"WindowsTerminal.exe"}))
      others.push_back(p.first);
  if (others.empty()) return false;
  struct Found {
    const std::vector<DWORD>& pids;
    HWND hwnd;
    static BOOL CALLBACK Proc(HWND hwnd, LPARAM lParam) {
      Found* f = reinterpret_cast<Found*>(lParam);
      DWORD pid = 0;
      GetWindowThreadProcessId(hwnd, &pid);
      if (!IsWindowVisible(hwnd) || std::find(f->pids.begin(), f->pids.end(), pid) == f->pids.end())
        return TRUE;
      f->hwnd = hwnd;
      return FALSE;
    }
  } found = {others, nullptr};
  EnumWindows(Found::Proc, reinterpret_cast<LPARAM>(&found));
  if (!found.hwnd) return false;
  wchar_t title[256] = L"";
  GetWindowTextW(found.hwnd, title, 256);
  PostMessageW(found.hwnd, WM_CLOSE, 0, 0);
  Fail("the shell put up a window in place of the launch, \"" + Utf8(title) +
       "\", and it was "
       "closed: .hvq does not open straight with this program's viewer here");
  return true;
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

}  // namespace selftest
