// hvqlaunch-selftest-viewer: the program ".hvq" opens with while the
// self-test runs. It is a windowed program, as a real viewer is, so that
// a launch opens no console of its own.
//
//   hvqlaunch-selftest-viewer --dll PATH DOCUMENT
//
// It records the document in the run's log (HVQ_VIEWER_LOG), and itself
// beside it: a file named after the log and its process id that holds its
// time of creation, so that the run ends it by id and only while the id
// is its own. Then, unless HVQ_VIEWER_SECONDS is 0, it shows a window
// titled "HVQ Viewer - " and the document's full path, for that many
// seconds (10 unless set) or until the window is closed.
// - HVQ_VIEWER_WAIT names an event: the window shows only once the case
//   sets it (up to a minute), as a viewer that is slow to start would.
// - HVQ_VIEWER_RELAUNCH: it first launches the same document itself with
//   the DLL of PATH, as a second host would while the first launch is
//   still starting, and records what it was told: "told N DOCUMENT".
#include "desktop.h"
// after windows.h
#include <shellapi.h>

int SelftestMain();
using selftest::CreationTime;
using selftest::StartAsAnotherHost;

namespace {

std::string Utf8(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), 0, 0, 0, 0);
  std::string out(size_t(n), '\0');
  if (n) WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n, 0, 0);
  return out;
}

std::wstring Env(const wchar_t* name) {
  wchar_t text[MAX_PATH * 2] = L"";
  return GetEnvironmentVariableW(name, text, MAX_PATH * 2) < MAX_PATH * 2 ? text : L"";
}

DWORD EnvNumber(const wchar_t* name, DWORD otherwise) {
  const std::wstring text = Env(name);
  if (text.empty()) return otherwise;
  DWORD n = 0;
  for (const wchar_t* p = text.c_str(); *p >= L'0' && *p <= L'9'; ++p)
    n = n * 10 + DWORD(*p - L'0');
  return n;
}

void Append(const std::wstring& path, const std::string& bytes, DWORD disposition) {
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, disposition, 0, nullptr);
  DWORD written = 0;
  if (file == INVALID_HANDLE_VALUE) return;
  WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

int SelftestMain() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc != 4 || std::wstring(argv[1]) != L"--dll") return 2;
  const std::wstring dll = argv[2], document = argv[3];

  const std::wstring log = Env(L"HVQ_VIEWER_LOG");
  if (!log.empty()) {
    const std::string pid = std::to_string(GetCurrentProcessId());
    Append(log + L"." + std::wstring(pid.begin(), pid.end()), CreationTime(GetCurrentProcess()),
           CREATE_ALWAYS);
    std::string line = Utf8(document) + "\n";
    if (EnvNumber(L"HVQ_VIEWER_RELAUNCH", 0)) {
      const size_t slash = document.find_last_of(L'\\');
      std::wstring name = document.substr(slash + 1);
      name.resize(name.size() > 4 ? name.size() - 4 : 0);  // without ".hvq"
      const int told = StartAsAnotherHost(dll.c_str(), document.substr(0, slash), name, -1);
      line = "told " + std::to_string(told) + " " + line;
    }
    Append(log, line, OPEN_ALWAYS);
  }
  const DWORD seconds = EnvNumber(L"HVQ_VIEWER_SECONDS", 10);
  if (!seconds) return 0;
  const std::wstring wait = Env(L"HVQ_VIEWER_WAIT");
  if (!wait.empty()) {
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, wait.c_str());
    if (event) WaitForSingleObject(event, 60000);
    if (event) CloseHandle(event);
  }
  wchar_t full[MAX_PATH * 4] = L"";
  GetFullPathNameW(document.c_str(), MAX_PATH * 4, full, nullptr);
  const std::wstring title = L"HVQ Viewer - " + std::wstring(full);
  HWND hwnd = CreateWindowExW(0, L"STATIC", title.c_str(), WS_OVERLAPPEDWINDOW, 120, 120, 560, 240,
                              nullptr, nullptr, nullptr, nullptr);
  ShowWindow(hwnd, SW_SHOWNORMAL);
  const DWORD end = GetTickCount() + seconds * 1000;
  while (IsWindow(hwnd) && int(end - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  return 0;
}
