// The wide and plain C entry points end to end on code page 1252: a folder
// and a name outside it found, prepared and opened exactly, the wide
// CheckPrjOpened exports, a climbing wide name that writes nothing, the A
// forms, a folder past the plain file calls' limits, the reporting entry
// points' outcomes and flags, and launches still starting as other
// processes see them. Built for either architecture.
#include <vector>

#include "e2e.h"

using namespace e2e;

namespace {

std::string Utf8(const std::wstring& text) {
  std::string out(size_t(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, 0, 0)), 0);
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], int(out.size()), nullptr, nullptr);
  out.pop_back();
  return out;
}

void WriteFileW(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// The lines the sample viewer has recorded, after waiting for `count`.
std::vector<std::string> ViewerLog(size_t count) {
  std::vector<std::string> lines;
  for (int i = 0; i < 200 && lines.size() < count; ++i) {
    PumpMessages(50);
    lines.clear();
    std::istringstream in(ReadFile("d:\\viewer.log"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
  }
  return lines;
}

// "PROGRAM start FOLDER NAME" in a process of its own, which launches and
// exits at once: its outcome.
int StartElsewhere(const std::string& folder, const std::string& name) {
  std::string cmd = "\"" + ExeDir() + "unicode_e2e.exe\" start " + folder + " " + name;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return -100;
  DWORD code = DWORD(-100);
  if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0)
    GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return int(code);
}

}  // namespace

int main(int argc, char** argv) {
  HMODULE module = LoadLibraryA((ExeDir() + "hvqlaunch.dll").c_str());
  if (argc == 4 && strcmp(argv[1], "start") == 0 && module)
    return Export<HvqStartVRAN3DExAProc>(module, "HvqStartVRAN3DExA", HVQ_STARTVRAN3DEXA_ORDINAL)(
        argv[2], argv[3], HVQ_NO_MESSAGE);
  CHECK(GetACP() == 1252);
  if (!CHECK(module != nullptr)) return Summary();
  auto checkA =
      Export<HvqCheckPrjOpenedAProc>(module, "HvqCheckPrjOpenedA", HVQ_CHECKPRJOPENEDA_ORDINAL);
  auto checkW =
      Export<HvqCheckPrjOpenedWProc>(module, "HvqCheckPrjOpenedW", HVQ_CHECKPRJOPENEDW_ORDINAL);
  auto startA = Export<HvqStartVRAN3DAProc>(module, "HvqStartVRAN3DA", HVQ_STARTVRAN3DA_ORDINAL);
  auto startW = Export<HvqStartVRAN3DWProc>(module, "HvqStartVRAN3DW", HVQ_STARTVRAN3DW_ORDINAL);
  const HvqCheckPrjOpenedWideProc checkWide[] = {
      Export<HvqCheckPrjOpenedWideProc>(module, HVQ_CHECKPRJOPENED_WCHAR_NAME,
                                        HVQ_CHECKPRJOPENED_WCHAR_ORDINAL),
      Export<HvqCheckPrjOpenedWideProc>(module, HVQ_CHECKPRJOPENED_USHORT_NAME,
                                        HVQ_CHECKPRJOPENED_USHORT_ORDINAL)};
  auto startExA =
      Export<HvqStartVRAN3DExAProc>(module, "HvqStartVRAN3DExA", HVQ_STARTVRAN3DEXA_ORDINAL);
  auto startExW =
      Export<HvqStartVRAN3DExWProc>(module, "HvqStartVRAN3DExW", HVQ_STARTVRAN3DEXW_ORDINAL);
  if (!checkA || !checkW || !startA || !startW || !checkWide[0] || !checkWide[1] || !startExA ||
      !startExW)
    return Summary();

  Log("a title outside the code page shows the project, past its start only");
  const std::string unique = Unique("");
  const std::wstring name = L"模型" + std::wstring(unique.begin(), unique.end());
  HWND window = MakeWindow("", true);
  SetWindowTextW(window, (L"Viewer - C:\\работа\\" + name + L".hvq").c_str());
  CHECK(checkW(name.c_str()) == 1);
  CHECK(checkWide[0](name.c_str()) == 1 && checkWide[1]((name + L".hvq").c_str()) == 1);
  SetWindowTextW(window, (name + L".hvq - Viewer").c_str());
  CHECK(checkW(name.c_str()) == 0);
  SetWindowTextA(window, ("Viewer - deck" + unique + ".hvq").c_str());
  CHECK(checkA(("deck" + unique).c_str()) == 1);
  DestroyWindow(window);

  Log("a wide folder and name are prepared and opened exactly");
  const std::string templateBytes("HVQ\0\x01\xFFtemplate", 14);
  CreateDirectoryW(L"d:\\tolvern4", nullptr);
  CreateDirectoryW(L"d:\\tolvern4\\3d", nullptr);
  WriteFileW(L"d:\\tolvern4\\3d\\2006.hvq", templateBytes);
  const std::wstring folder = L"d:\\работа";
  CreateDirectoryW(folder.c_str(), nullptr);
  WriteFileW(folder + L"\\" + name + L".hvq", "document");
  RegisterViewer(true);
  SetEnvironmentVariableA("HVQ_VIEWER_LOG", "d:\\viewer.log");
  SetEnvironmentVariableA("HVQ_VIEWER_SECONDS", "0");
  startW(folder.c_str(), name.c_str());
  std::vector<std::string> log = ViewerLog(1);
  CHECK(log.size() == 1 && log[0] == Utf8(folder + L"\\" + name + L".hvq"));
  const std::wstring dir = folder + L"\\3d";  // snapshots key paths in lower case, as these are
  CHECK((Snapshot(folder) == Tree{{folder + L"\\" + name + L".hvq", "document"},
                                  {dir, "<dir>"},
                                  {dir + L"\\" + name + L".hvq", templateBytes},
                                  {dir + L"\\images", "<dir>"},
                                  {dir + L"\\treepics", "<dir>"}}));

  Log("a climbing wide name writes nothing; the failed open shows the message once");
  const Tree before = Snapshot(L"d:");
  {
    BoxDismisser dismisser;
    startW(folder.c_str(), L"..\\..\\злой");
    CHECK(dismisser.Count() == 1);
  }
  CHECK(Snapshot(L"d:") == before);

  Log("the A forms behave as the original exports");
  CreateDirectoryW(L"d:\\plain", nullptr);
  WriteFileW(L"d:\\plain\\deck.hvq", "document");
  startA("d:\\plain", "deck");
  log = ViewerLog(2);
  CHECK(log.size() == 2 && log[1] == "d:\\plain\\deck.hvq");
  CHECK(ReadFile("d:\\plain\\3d\\deck.hvq") == templateBytes);

  Log("a folder past the plain file calls' limits is prepared whole");
  std::wstring deep = L"d:\\plain";
  for (wchar_t c = 'a'; c < 'f'; ++c)
    CreateDirectoryW((deep += L"\\" + std::wstring(50, c)).c_str(), 0);
  CHECK(startExA(Utf8(deep).c_str(), "deck", HVQ_NO_MESSAGE) == HVQ_E_OPEN_FAILED);
  CHECK(GetFileAttributesW((deep + L"\\3d\\deck.hvq").c_str()) != INVALID_FILE_ATTRIBUTES);
  CHECK(GetFileAttributesW((deep + L"\\3d\\treepics").c_str()) == FILE_ATTRIBUTE_DIRECTORY);

  Log("the reporting entry points: a second call while the viewer starts opens nothing");
  SetEnvironmentVariableA("HVQ_VIEWER_SECONDS", "4");
  SetEnvironmentVariableA("HVQ_VIEWER_LATE", "1500");
  CHECK(startExW(folder.c_str(), name.c_str(), 0) == HVQ_OPENED);
  Sleep(100);
  CHECK(startExA("d:\\plain", "deck", 4) == HVQ_E_INVALID_FLAGS);
  CHECK(startExW(folder.c_str(), name.c_str(), HVQ_NO_MESSAGE) == HVQ_OPENING);
  for (int i = 0; i < 100 && checkW(name.c_str()) == 0; ++i) PumpMessages(50);
  CHECK(startExW(folder.c_str(), name.c_str(), 0) == HVQ_ALREADY_OPEN);
  CHECK(ViewerLog(3).size() == 3);  // one viewer started, not two

  Log("other processes see a launch starting, narrow or wide, after its launcher exited");
  WriteFileW(L"d:\\plain\\late.hvq", "document");
  CHECK(StartElsewhere("d:\\plain", "late") == HVQ_OPENED);
  Sleep(100);
  CHECK(StartElsewhere("d:\\plain", "late") == HVQ_OPENING);
  CHECK(startExW(L"d:\\plain", L"late", HVQ_NO_MESSAGE) == HVQ_OPENING);
  for (int i = 0; i < 100 && checkA("late") == 0; ++i) PumpMessages(50);
  CHECK(StartElsewhere("d:\\plain", "late") == HVQ_ALREADY_OPEN);
  CHECK(ViewerLog(4).size() == 4);

  Log("failures say why, with a box or without; HVQ_ACTIVATE brings an open project forward");
  for (const unsigned flags : {0u, unsigned(HVQ_NO_MESSAGE)}) {
    BoxDismisser dismisser;
    CHECK(startExA("d:\\plain", "missing", flags) == HVQ_E_OPEN_FAILED);
    CHECK(GetLastError() == ERROR_FILE_NOT_FOUND);
    CHECK(dismisser.Count() == (flags ? 0 : 1));
  }
  window = MakeWindow("Viewer - d:\\plain\\deck.hvq", true);
  ShowWindow(window, SW_MINIMIZE);
  CHECK(startExA("d:\\plain", "deck", HVQ_ACTIVATE) == HVQ_ALREADY_OPEN);
  CHECK(!IsIconic(window) && GetForegroundWindow() == window);
  DestroyWindow(window);
  RegisterViewer(false);

  FreeLibrary(module);
  return Summary();
}
