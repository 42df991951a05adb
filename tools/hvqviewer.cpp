// A sample viewer for ".hvq" documents: registered for the type, it is
// what the shell starts when the library opens a project. It shows one
// window titled "HVQ Viewer - <full path of the document>".
//
//   hvqviewer.exe DOCUMENT
// HVQ_VIEWER_LOG=FILE   append the document's path as given, one line each
// HVQ_VIEWER_SECONDS=N  close after N seconds; 0: record and exit at once
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::string g_path;

LRESULT CALLBACK ViewerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      InflateRect(&rc, -16, -16);
      const std::string text = "Project document:\n" + g_path;
      DrawTextA(dc, text.c_str(), -1, &rc, DT_LEFT | DT_WORDBREAK);
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
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void Record(const char* path) {
  char log[MAX_PATH];
  if (!GetEnvironmentVariableA("HVQ_VIEWER_LOG", log, MAX_PATH)) return;
  HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string line = std::string(path) + "\n";
  DWORD written = 0;
  WriteFile(file, line.data(), DWORD(line.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    MessageBoxA(nullptr, "usage: hvqviewer DOCUMENT", "HVQ Viewer", MB_OK);
    return 2;
  }
  Record(argv[1]);
  char seconds[32] = "";
  const bool limited = GetEnvironmentVariableA("HVQ_VIEWER_SECONDS", seconds, sizeof seconds) > 0;
  if (limited && atoi(seconds) <= 0) return 0;

  char full[MAX_PATH * 4] = "";
  GetFullPathNameA(argv[1], sizeof full, full, nullptr);
  g_path = full;

  WNDCLASSA wc = {};
  wc.lpfnWndProc = ViewerProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = "HvqViewer";
  RegisterClassA(&wc);
  const std::string title = "HVQ Viewer - " + g_path;
  HWND hwnd = CreateWindowExA(0, "HvqViewer", title.c_str(), WS_OVERLAPPEDWINDOW, 120, 120, 560,
                              240, nullptr, nullptr, wc.hInstance, nullptr);
  ShowWindow(hwnd, SW_SHOWNORMAL);
  if (limited) SetTimer(hwnd, 1, UINT(atoi(seconds)) * 1000u, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
