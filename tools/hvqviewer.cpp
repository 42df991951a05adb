// A sample viewer for ".hvq" documents: registered for the type, it is
// what the shell starts when the library opens a project. It shows one
// window titled "HVQ Viewer - <full path of the document>". It reads its
// command line as Unicode, so that any path reaches it whole.
//
//   hvqviewer.exe DOCUMENT
// HVQ_VIEWER_LOG=FILE   append the document's path as given, one line each,
//                       in UTF-8
// HVQ_VIEWER_SECONDS=N  close after N seconds; 0: record and exit at once
// HVQ_VIEWER_LATE=MS    show the window only MS milliseconds after the
//                       start, as a program that takes time to load does
// HVQ_VIEWER_WAIT=FILE  show the window only once FILE exists (a minute at
//                       most): a program still loading until it is told
#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <string>

namespace {

std::wstring g_path;

LRESULT CALLBACK ViewerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      InflateRect(&rc, -16, -16);
      const std::wstring text = L"Project document:\n" + g_path;
      DrawTextW(dc, text.c_str(), -1, &rc, DT_LEFT | DT_WORDBREAK);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_TIMER:
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Record(const wchar_t* path) {
  wchar_t log[MAX_PATH];
  if (!GetEnvironmentVariableW(L"HVQ_VIEWER_LOG", log, MAX_PATH)) return;
  HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string line(size_t(WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0, nullptr, nullptr)),
                   '\0');
  WideCharToMultiByte(CP_UTF8, 0, path, -1, &line[0], int(line.size()), nullptr, nullptr);
  line.back() = '\n';
  DWORD written = 0;
  WriteFile(file, line.data(), DWORD(line.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc != 2) {
    MessageBoxW(nullptr, L"usage: hvqviewer DOCUMENT", L"HVQ Viewer", MB_OK);
    return 2;
  }
  Record(argv[1]);
  char seconds[32] = "";
  const bool limited = GetEnvironmentVariableA("HVQ_VIEWER_SECONDS", seconds, sizeof seconds) > 0;
  if (limited && atoi(seconds) <= 0) return 0;

  char late[32] = "";
  if (GetEnvironmentVariableA("HVQ_VIEWER_LATE", late, sizeof late) > 0) Sleep(DWORD(atoi(late)));
  wchar_t wait[MAX_PATH] = L"";
  if (GetEnvironmentVariableW(L"HVQ_VIEWER_WAIT", wait, MAX_PATH) > 0)
    for (int i = 0; i < 600 && GetFileAttributesW(wait) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);

  wchar_t full[MAX_PATH * 4] = L"";
  GetFullPathNameW(argv[1], MAX_PATH * 4, full, nullptr);
  g_path = full;

  WNDCLASSW wc = {};
  wc.lpfnWndProc = ViewerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"HvqViewer";
  RegisterClassW(&wc);
  const std::wstring title = L"HVQ Viewer - " + g_path;
  HWND hwnd = CreateWindowExW(0, L"HvqViewer", title.c_str(), WS_OVERLAPPEDWINDOW, 120, 120, 560,
                              240, nullptr, nullptr, wc.hInstance, nullptr);
  ShowWindow(hwnd, SW_SHOWNORMAL);
  if (limited) SetTimer(hwnd, 1, UINT(atoi(seconds)) * 1000u, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
